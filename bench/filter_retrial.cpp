// What choosing the row filters again under the written stream's codes buys
// (cli/search/RowRetrial.h), on files velkor has already written.
//
// For each PNG: the IDAT stream's bytes as found, then the rows' filters
// chosen again under the codes of the optimal parser's stream at the code
// level, and the new rows deflated at the given level; the new stream's
// bytes and the CPU seconds of the retrial (the code level's deflate and the
// sweep) and of the last deflate.  velkor's top level does this to its
// winning file, after deflating it at level 7.
//
// Usage: filter_retrial [--code-level L] [--level L] [--threads T] [--window ROWS] [--margin BITS]
//                       [--depth D] [--out-dir DIR] PNG...
//   --window, --margin, --depth  the sweep's effort (cli/search/RowRetrial.h).
//   --out-dir  also writes each file, retried, into DIR.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/OptimalRedeflate.h"

namespace {

double CpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

size_t IdatBytes(const std::vector<uint8_t>& png) {
  size_t total = 0;
  for (size_t pos = 8; pos + 12 <= png.size();) {
    const size_t length = size_t(png[pos]) << 24 | size_t(png[pos + 1]) << 16 | size_t(png[pos + 2]) << 8 | png[pos + 3];
    if (std::memcmp(&png[pos + 4], "IDAT", 4) == 0) total += length;
    pos += 12 + length;
  }
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  int codeLevel = 5;
  int level = 7;
  search::RetrialEffort effort;
  std::vector<std::string> files;
  std::string outDir;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--code-level" && i + 1 < argc) codeLevel = std::atoi(argv[++i]);
    else if (arg == "--level" && i + 1 < argc) level = std::atoi(argv[++i]);
    else if (arg == "--threads" && i + 1 < argc) effort.threads = std::atoi(argv[++i]);
    else if (arg == "--window" && i + 1 < argc) effort.windowRows = std::atoi(argv[++i]);
    else if (arg == "--margin" && i + 1 < argc) effort.marginBits = std::atof(argv[++i]);
    else if (arg == "--depth" && i + 1 < argc) effort.chainDepth = std::atoi(argv[++i]);
    else if (arg == "--out-dir" && i + 1 < argc) outDir = argv[++i];
    else files.push_back(arg);
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: filter_retrial [--code-level L] [--level L] [--threads T] [--window ROWS] [--margin BITS]\n"
                 "                      [--depth D] [--out-dir DIR] PNG...\n");
    return 2;
  }
  std::printf("%-50s %10s %10s %8s\n", "file", "IDAT", "retried", "cpu s");
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> png{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const size_t before = IdatBytes(png);
    const double start = CpuSeconds();
    ImageDataRedeflate redeflate(png);
    redeflate.WithRetriedFilters(codeLevel, level, {effort});
    std::printf("%-50s %10zu %10zu %8.2f\n", file.substr(file.rfind('/') + 1).c_str(), before, IdatBytes(png),
                CpuSeconds() - start);
    std::fflush(stdout);
    if (!outDir.empty()) {
      std::ofstream out(outDir + "/" + file.substr(file.rfind('/') + 1), std::ios::binary);
      out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    }
  }
  return 0;
}
