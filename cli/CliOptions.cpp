#include "cli/CliOptions.h"

#include <cstdlib>
#include <functional>
#include <map>

namespace {

bool ParseInt(const std::string& text, int lo, int hi, int& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

bool ParseDouble(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return *end == '\0';
}

// An option that takes a value: its long name, and how the value is stored.
struct ValueOption {
  const char* longName;
  std::function<bool(CliOptions&, const std::string&)> apply;
};

const std::map<std::string, ValueOption>& ValueOptions() {
  static const std::map<std::string, ValueOption> table = {
      {"-c", {"--color-type", [](CliOptions& o, const std::string& v) {
                 o.colortypeGiven = true;
                 return ParseInt(v, 0, 6, o.colortype) && o.colortype != 1 && o.colortype != 5;
               }}},
      {"-f", {"--filter", [](CliOptions& o, const std::string& v) {
                 o.filterGiven = true;
                 return ParseInt(v, 0, 5, o.filter);
               }}},
      {"-d", {"--bit-depth", [](CliOptions& o, const std::string& v) {
                 return ParseInt(v, 1, 8, o.bitdepth) && (o.bitdepth & (o.bitdepth - 1)) == 0;
               }}},
      {"-s", {"--strategy", [](CliOptions& o, const std::string& v) {
                 o.strategyGiven = true;
                 return ParseInt(v, 0, 4, o.strategy);
               }}},
      {"-b", {"--split-threshold", [](CliOptions& o, const std::string& v) {
                 o.splitGiven = true;
                 return ParseDouble(v, o.splitthreshold);
               }}},
      {"-n", {"--blocks", [](CliOptions& o, const std::string& v) {
                 o.splitGiven = true;
                 return ParseInt(v, 0, 1 << 20, o.numblocks);
               }}},
      {"-k", {"--keep", [](CliOptions& o, const std::string& v) {
                 o.keep = v;
                 return !v.empty();
               }}},
      {"-o", {"--output", [](CliOptions& o, const std::string& v) {
                 o.output = v;
                 return !v.empty();
               }}},
      {"-j", {"--jobs", [](CliOptions& o, const std::string& v) { return ParseInt(v, 1, 256, o.jobs); }}},
      {"--passes", {"--passes", [](CliOptions& o, const std::string& v) { return ParseInt(v, 1, 1024, o.passes); }}},
      {"--trials", {"--trials", [](CliOptions& o, const std::string& v) { return ParseInt(v, 1, 1000, o.trials); }}},
  };
  return table;
}

// Finds the value option named by arg ("-c", "--color-type", "--color-type=2").
const ValueOption* FindValueOption(const std::string& arg, std::string& inlineValue, bool& hasInline) {
  hasInline = false;
  const auto eq = arg.find('=');
  const std::string name = arg.rfind("--", 0) == 0 && eq != std::string::npos ? arg.substr(0, eq) : arg;
  for (const auto& [shortName, option] : ValueOptions()) {
    if (name == shortName || name == option.longName) {
      if (name != arg) {
        inlineValue = arg.substr(eq + 1);
        hasInline = true;
      }
      return &option;
    }
  }
  return nullptr;
}

bool ApplyFlag(const std::string& arg, CliOptions& o) {
  if (arg == "-r" || arg == "--random-tables") return o.randomtables = o.randomGiven = true;
  if (arg == "-kp" || arg == "--keep-palette") return o.keeppal = true;
  if (arg == "-v" || arg == "--verbose") return o.verbose = true;
  if (arg == "-q" || arg == "--quiet") return o.quiet = true;
  if (arg == "-y" || arg == "--overwrite") return o.overwrite = true;
  if (arg == "--force") return o.force = true;
  if (arg == "-h" || arg == "--help") return o.help = true;
  if (arg == "-O1" || arg == "-O2" || arg == "-O3") {
    o.effort = arg[2] - '0';
    return true;
  }
  return false;
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
    if (!hasInline) {
      if (i + 1 >= argc) {
        error = "option " + arg + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (!option->apply(o, value)) {
      error = "bad value '" + value + "' for " + arg;
      return false;
    }
  }
  if (o.help) return true;
  if (o.inputs.empty()) {
    error = "no input files";
    return false;
  }
  if (!o.output.empty() && o.inputs.size() != 1) {
    error = "-o needs exactly one input file";
    return false;
  }
  return true;
}

std::string CliUsage() {
  return
      "Usage: velkor [options] FILE...\n"
      "Optimizes PNG files losslessly, and converts GIF, BMP, TGA, PCX, CEL, DDS and JPEG\n"
      "files to optimized PNG (NAME.png beside the input). A PNG input is rewritten in\n"
      "place only when the result is smaller.\n"
      "\n"
      "  -o, --output=OUT        write to OUT (one input only)\n"
      "  -c, --color-type=N      colour type: 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA\n"
      "  -f, --filter=N          filter: 0 None, 1 Sub, 2 Up, 3 Average, 4 Paeth, 5 adaptive\n"
      "  -d, --bit-depth=N       bit depth 1, 2, 4 or 8 (grey and palette below 8)\n"
      "  -s, --strategy=N        0 Xtreme! (default), 1 Intense, 2 Longest match,\n"
      "                          3 Huffman only, 4 No compression\n"
      "  -b, --split-threshold=X block split threshold in bytes (default 256; 0 = one block)\n"
      "  -n, --blocks=N          split into N blocks instead (at most 1024)\n"
      "  -r, --random-tables     start the first pass from random Huffman codes\n"
      "  -kp, --keep-palette     keep the input's palette entry for entry\n"
      "  -k, --keep=LIST         chunks to keep from a PNG input: ALL, none, or types such\n"
      "                          as gAMA,sRGB (default iCCP,gAMA,cHRM,sRGB)\n"
      "      --passes=N          stop after N compression passes\n"
      "  -O1                     one engine run with the given options\n"
      "  -O2                     also try palette vs. true colour, filter None vs.\n"
      "                          adaptive and one block vs. split, keep the smallest\n"
      "                          (default)\n"
      "  -O3                     -O2 plus --trials runs from random start tables\n"
      "      --trials=N          random-table runs for -O3 (default 4)\n"
      "  -j, --jobs=N            runs at once (default: number of cores)\n"
      "  -y, --overwrite         overwrite an existing NAME.png or OUT\n"
      "      --force             rewrite a PNG even when the result is not smaller\n"
      "  -v, --verbose           engine messages and which run won\n"
      "  -q, --quiet             errors only\n"
      "  -h, --help              this text\n"
      "\n"
      "Exit status: 0 all done, 1 some file failed, 2 bad usage.\n";
}
