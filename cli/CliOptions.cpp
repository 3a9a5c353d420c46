#include "cli/CliOptions.h"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

#include "cli/ChunkNames.h"
#include "cli/EffortLevels.h"

namespace {

bool ParseInt(const std::string& text, int lo, int hi, int& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

// A block split threshold: a finite number of bytes, 0 or more.
bool ParseThreshold(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v) || v < 0.0) return false;
  out = v;
  return true;
}

bool IsKeyword(const std::string& text, const char* keyword) {
  if (text.size() != std::char_traits<char>::length(keyword)) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != keyword[i]) return false;
  }
  return true;
}

// --strip safe|all|LIST
bool ApplyStrip(CliOptions& o, const std::string& v, std::string& error) {
  if (IsKeyword(v, "safe")) {
    o.chunks = {ChunkPolicy::Mode::StripSafe, {}};
    return true;
  }
  if (IsKeyword(v, "all")) {
    o.chunks = {ChunkPolicy::Mode::StripAll, {}};
    return true;
  }
  o.chunks.mode = ChunkPolicy::Mode::StripList;
  return ParseChunkList(v, o.chunks.names, error);
}

// --keep LIST; "ALL" keeps every chunk that stays valid (the default) and
// "none" keeps none, as the older -k spelled them.
bool ApplyKeep(CliOptions& o, const std::string& v, std::string& error) {
  if (IsKeyword(v, "all")) {
    o.chunks = {ChunkPolicy::Mode::Default, {}};
    return true;
  }
  if (IsKeyword(v, "none")) {
    o.chunks = {ChunkPolicy::Mode::StripAll, {}};
    return true;
  }
  o.chunks.mode = ChunkPolicy::Mode::KeepList;
  return ParseChunkList(v, o.chunks.names, error);
}

// An option that takes a value: its short and long names, and how the value
// is stored.  apply may set error; otherwise a false answer reports the
// value as bad, with the values accepted (so that "-o7" from optipng says
// which levels there are).
struct ValueOption {
  const char* shortName;
  const char* longName;
  std::function<bool(CliOptions&, const std::string&, std::string&)> apply;
  const char* accepted = nullptr;
};

const std::vector<ValueOption>& ValueOptions() {
  using S = const std::string&;
  static const std::vector<ValueOption> table = {
      {"-c", "--color-type", [](CliOptions& o, S v, std::string&) {
         o.colortypeGiven = true;
         return ParseInt(v, 0, 6, o.colortype) && o.colortype != 1 && o.colortype != 5;
       }, "0, 2, 3, 4 or 6"},
      {"-f", "--filter", [](CliOptions& o, S v, std::string&) {
         o.filterGiven = true;
         return ParseInt(v, 0, 5, o.filter);
       }, "0..5"},
      {"-d", "--bit-depth", [](CliOptions& o, S v, std::string&) {
         return ParseInt(v, 1, 8, o.bitdepth) && (o.bitdepth & (o.bitdepth - 1)) == 0;
       }, "1, 2, 4 or 8"},
      {"-s", "--strategy", [](CliOptions& o, S v, std::string&) {
         o.strategyGiven = true;
         return ParseInt(v, 0, 4, o.strategy);
       }, "0..4"},
      {"-b", "--split-threshold", [](CliOptions& o, S v, std::string&) {
         o.splitGiven = true;
         return ParseThreshold(v, o.splitthreshold);
       }, "a number of bytes, 0 or more"},
      {"-n", "--blocks", [](CliOptions& o, S v, std::string&) {
         o.splitGiven = true;
         return ParseInt(v, 0, 1024, o.numblocks);
       }, "0..1024"},
      {"-k", "--keep", ApplyKeep},
      {nullptr, "--strip", ApplyStrip},
      {"-o", "--opt", [](CliOptions& o, S v, std::string&) { return (o.effort = FindEffortLevel(v)) >= 0; },
       "0..6 or max"},
      {"-O", nullptr, [](CliOptions& o, S v, std::string&) {
         int old = 0;
         if (!ParseInt(v, 1, 3, old)) return false;
         o.effort = EffortOfOldSwitch(old);
         return true;
       }, "1..3"},
      {nullptr, "--out", [](CliOptions& o, S v, std::string&) { return !(o.outFile = v).empty(); }},
      {nullptr, "--dir", [](CliOptions& o, S v, std::string&) { return !(o.outDir = v).empty(); }},
      {"-t", "--threads", [](CliOptions& o, S v, std::string&) { return ParseInt(v, 1, 256, o.threads); }, "1..256"},
      {"-j", "--jobs", [](CliOptions& o, S v, std::string&) { return ParseInt(v, 1, 256, o.threads); }, "1..256"},
      {nullptr, "--passes", [](CliOptions& o, S v, std::string&) { return ParseInt(v, 1, 1024, o.passes); },
       "1..1024"},
      {nullptr, "--trials", [](CliOptions& o, S v, std::string&) { return ParseInt(v, 0, 1000, o.trials); },
       "0..1000"},
  };
  return table;
}

// Finds the value option named by arg: "-c 2", "-c2", "--color-type 2",
// "--color-type=2".  hasInline tells whether arg carries the value.
const ValueOption* FindValueOption(const std::string& arg, std::string& inlineValue, bool& hasInline) {
  hasInline = false;
  const bool isLong = arg.rfind("--", 0) == 0;
  for (const ValueOption& option : ValueOptions()) {
    if (isLong && option.longName) {
      const std::string name = option.longName;
      if (arg == name) return &option;
      if (arg.rfind(name + "=", 0) == 0) {
        inlineValue = arg.substr(name.size() + 1);
        hasInline = true;
        return &option;
      }
    } else if (!isLong && option.shortName && arg.rfind(option.shortName, 0) == 0) {
      if (arg.size() > 2) {
        inlineValue = arg.substr(2);
        hasInline = true;
      }
      return &option;
    }
  }
  return nullptr;
}

bool ApplyFlag(const std::string& arg, CliOptions& o) {
  static const std::map<std::string, std::function<void(CliOptions&)>> flags = {
      {"--random-tables", [](CliOptions& x) { x.randomtables = x.randomGiven = true; }},
      {"-kp", [](CliOptions& x) { x.keeppal = true; }},
      {"--keep-palette", [](CliOptions& x) { x.keeppal = true; }},
      {"-v", [](CliOptions& x) { x.verbose = true; }},
      {"--verbose", [](CliOptions& x) { x.verbose = true; }},
      {"-q", [](CliOptions& x) { x.quiet = true; }},
      {"--quiet", [](CliOptions& x) { x.quiet = true; }},
      {"-y", [](CliOptions& x) { x.overwrite = true; }},
      {"--overwrite", [](CliOptions& x) { x.overwrite = true; }},
      {"--force", [](CliOptions& x) { x.force = true; }},
      {"-r", [](CliOptions& x) { x.recursive = true; }},
      {"--recursive", [](CliOptions& x) { x.recursive = true; }},
      {"--convert", [](CliOptions& x) { x.convert = true; }},
      {"-p", [](CliOptions& x) { x.preserve = true; }},
      {"--preserve", [](CliOptions& x) { x.preserve = true; }},
      {"-P", [](CliOptions& x) { x.pretend = true; }},
      {"--pretend", [](CliOptions& x) { x.pretend = true; }},
      {"--json", [](CliOptions& x) { x.json = true; }},
      {"--fix", [](CliOptions& x) { x.fix = true; }},
      {"--first-frame", [](CliOptions& x) { x.firstFrame = true; }},
      {"--stdout", [](CliOptions& x) { x.toStdout = true; }},
      {"-h", [](CliOptions& x) { x.help = true; }},
      {"--help", [](CliOptions& x) { x.help = true; }},
      {"--version", [](CliOptions& x) { x.version = true; }},
  };
  const auto found = flags.find(arg);
  if (found == flags.end()) return false;
  found->second(o);
  return true;
}

bool CheckCombination(const CliOptions& o, std::string& error) {
  const int destinations = int(!o.outFile.empty()) + int(!o.outDir.empty()) + int(o.toStdout);
  if (destinations > 1) {
    error = "--out, --dir and --stdout exclude each other";
    return false;
  }
  if (o.json && o.toStdout) {
    error = "--json and --stdout would both write to standard output";
    return false;
  }
  if ((!o.outFile.empty() || o.toStdout) && (o.inputs.size() != 1 || o.recursive)) {
    error = std::string(o.toStdout ? "--stdout" : "--out") + " needs exactly one input file";
    return false;
  }
  for (const std::string& input : o.inputs) {
    if (input == "-" && (o.inputs.size() != 1 || (o.outFile.empty() && !o.toStdout))) {
      error = "standard input (-) is the only input and needs --out FILE or --stdout";
      return false;
    }
  }
  return true;
}

}  // namespace

bool ParseCliOptions(int argc, char** argv, CliOptions& o, std::string& error) {
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
      o.inputs.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyFiles = true;
      continue;
    }
    if (ApplyFlag(arg, o)) continue;
    std::string value;
    bool hasInline = false;
    const ValueOption* option = FindValueOption(arg, value, hasInline);
    if (!option) {
      error = "unknown option " + arg;
      return false;
    }
    const std::string name = arg.rfind("--", 0) == 0 ? arg.substr(0, arg.find('=')) : arg.substr(0, 2);
    if (!hasInline) {
      if (i + 1 >= argc) {
        error = "option " + name + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    std::string reason;
    if (!option->apply(o, value, reason)) {
      error = reason;
      if (error.empty()) {
        error = "bad value '" + value + "' for " + name;
        if (option->accepted) error += std::string(" (") + option->accepted + ")";
      }
      return false;
    }
  }
  if (o.help || o.version) return true;
  if (o.inputs.empty()) {
    error = "no input files";
    return false;
  }
  return CheckCombination(o, error);
}

std::string CliVersion() { return "velkor 1.0\n"; }

std::string CliUsage() {
  return
      "Usage: velkor [options] FILE|FOLDER...\n"
      "Optimizes PNG files losslessly, and converts GIF, BMP, TGA, PCX, CEL, DDS and\n"
      "JPEG files to optimized PNG (NAME.png beside the input). A PNG input is\n"
      "rewritten in place only when the result is smaller. '-' reads standard input.\n"
      "\n"
      "Effort and output:\n"
      "  -o, --opt=LEVEL         effort 0..6 or max (default 2); -O1, -O2, -O3 are\n"
      "                          the older spelling of -o 1, -o 2, -o 4\n"
      "      --out=FILE          write to FILE (one input only)\n"
      "      --dir=DIR           write the results into DIR\n"
      "      --stdout            write the PNG to standard output (one input only)\n"
      "  -r, --recursive         optimize the PNG files of the folders named\n"
      "      --convert           with -r, convert the other image formats too\n"
      "  -P, --pretend           report sizes only; write nothing\n"
      "  -p, --preserve          keep the input's modification and access times\n"
      "  -y, --overwrite         overwrite an existing output file\n"
      "      --force             write even when the result is not smaller; rewrite\n"
      "                          read-only files\n"
      "      --fix               accept files with CRC or Adler-32 errors or data\n"
      "                          after IEND\n"
      "      --first-frame       write the first frame of an animated GIF\n"
      "\n"
      "Metadata (ancillary chunks of a PNG input; names are case-sensitive):\n"
      "                          by default every chunk that stays valid is kept\n"
      "      --strip=safe        keep only colour chunks and pHYs\n"
      "      --strip=all         keep none\n"
      "      --strip=LIST        drop the chunks named, e.g. tEXt,tIME\n"
      "  -k, --keep=LIST         keep only the chunks named, e.g. gAMA,sRGB\n"
      "\n"
      "Engine choices:\n"
      "  -c, --color-type=N      colour type: 0 grey, 2 RGB, 3 palette,\n"
      "                          4 grey+alpha, 6 RGBA\n"
      "  -f, --filter=N          filter: 0 None, 1 Sub, 2 Up, 3 Average, 4 Paeth,\n"
      "                          5 adaptive\n"
      "  -d, --bit-depth=N       bit depth 1, 2, 4 or 8 (grey and palette below 8)\n"
      "  -s, --strategy=N        0 Xtreme! (default), 1 Intense, 2 Longest match,\n"
      "                          3 Huffman only, 4 No compression\n"
      "  -b, --split-threshold=X block split threshold in bytes (default 256;\n"
      "                          0 = one block)\n"
      "  -n, --blocks=N          split into N blocks instead (1..1024)\n"
      "      --random-tables     start the first pass from random Huffman codes\n"
      "  -kp, --keep-palette     keep the input's palette entry for entry\n"
      "      --passes=N          stop after N compression passes\n"
      "      --trials=N          random-table runs (default: the level's)\n"
      "\n"
      "  -t, --threads=N         runs at once (default: number of cores); -j is\n"
      "                          the same\n"
      "      --json              one JSON object per file on standard output\n"
      "  -v, --verbose           engine messages, the winning trial, dropped chunks\n"
      "  -q, --quiet             errors only\n"
      "  -h, --help              this text\n"
      "      --version           the version\n"
      "\n"
      "Exit status: 0 all done, 1 some file failed, 2 bad usage, 130 interrupted,\n"
      "129 hung up, 143 terminated.\n";
}
