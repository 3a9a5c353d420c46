// Command-line options of `velkor`.
//
// The switches speak the engine's own vocabulary (its messages say "/c2",
// "/kp"), so -c, -f, -d, -s, -kp mean what the engine's letters mean.  An
// option the user gives explicitly is never second-guessed by the effort
// levels: -O2 only explores the choices the user left automatic.
#pragma once

#include <string>
#include <vector>

struct CliOptions {
  std::vector<std::string> inputs;
  std::string output;          // -o: only with one input
  int colortype = -1;          // -c
  int filter = -1;             // -f
  int bitdepth = 0;            // -d (0: automatic)
  int strategy = 0;            // -s
  double splitthreshold = 256.0;  // -b
  int numblocks = 0;           // -n
  bool randomtables = false;   // -r
  bool keeppal = false;        // -kp
  std::string keep = "iCCP,gAMA,cHRM,sRGB";  // -k: chunks kept from a PNG input
  int passes = 0;              // --passes: 0 = until converged
  int effort = 2;              // -O1, -O2, -O3
  int trials = 4;              // --trials with -O3
  int jobs = 0;                // -j: 0 = number of cores
  bool verbose = false;
  bool quiet = false;
  bool overwrite = false;      // -y
  bool force = false;          // --force: rewrite a PNG even when not smaller
  bool help = false;

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
