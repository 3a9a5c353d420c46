// Command-line options of `velkor`.
//
// The flags follow the habits users bring from optipng, oxipng and
// zopflipng: -o LEVEL for effort, --out/--dir/--stdout for where results go,
// --strip/--keep for metadata, -r for recursion, -t/-j for threads.  The
// engine's own choices keep their letters (-c colour type, -f filter, -d bit
// depth, -s strategy, -b/-n block splitting, -kp keep palette).  An option
// the user gives explicitly is never second-guessed by the effort level.
#pragma once

#include <string>
#include <vector>

// Which ancillary chunks of a PNG input the output carries.
struct ChunkPolicy {
  enum class Mode { Default, StripSafe, StripAll, StripList, KeepList };
  Mode mode = Mode::Default;
  std::vector<std::string> names;  // for StripList and KeepList
};

struct CliOptions {
  std::vector<std::string> inputs;  // "-" is standard input
  std::string outFile;         // --out: only with one input
  std::string outDir;          // --dir
  bool toStdout = false;       // --stdout
  int colortype = -1;          // -c
  int filter = -1;             // -f
  int bitdepth = 0;            // -d (0: automatic)
  int strategy = 0;            // -s
  double splitthreshold = 256.0;  // -b
  int numblocks = 0;           // -n
  bool randomtables = false;   // --random-tables
  bool keeppal = false;        // -kp
  ChunkPolicy chunks;          // --strip, --keep
  int passes = 0;              // --passes: 0 = until converged
  int effort = 2;              // -o LEVEL: index into kEffortLevels
  int trials = -1;             // --trials: random-table runs, -1 = the level's
  int threads = 0;             // -t, -j: 0 = number of cores
  bool recursive = false;      // -r
  bool convert = false;        // --convert: other formats too when recursing
  bool preserve = false;       // -p: keep the input's times
  bool pretend = false;        // -P: sizes only, nothing written
  bool json = false;           // --json: one object per file on stdout
  bool fix = false;            // --fix: accept CRC errors and trailing data
  bool firstFrame = false;     // --first-frame: an animated GIF's first frame
  bool verbose = false;
  bool quiet = false;
  bool overwrite = false;      // -y
  bool force = false;          // --force
  bool help = false;
  bool version = false;

  bool colortypeGiven = false;
  bool filterGiven = false;
  bool strategyGiven = false;
  bool randomGiven = false;
  bool splitGiven = false;     // -b or -n
};

// Parses argv; false with a one-line reason in error on bad usage.
bool ParseCliOptions(int argc, char** argv, CliOptions& options, std::string& error);

// The --help text.
std::string CliUsage();

// The --version text.
std::string CliVersion();
