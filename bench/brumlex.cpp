// bench/brumlex IN OUT [--level N] [overrides]: deflates any file into a
// zlib stream with Brumlex's optimal parser, so that it can be compared with
// `zopfli --zlib` on the same bytes.
//
// The overrides switch single parts of a level off or change their effort,
// to measure what each part buys:
//   --iterations N  --patience N  --restarts N  --more-restarts N  --refine N  --blocks N
//   --drop-rare N  --every-code-below BYTES  --last-byte-restarts N
//   --depth N  --nice N  --plain-header  --entropy|--code-lengths
//   --nearest-only|--every-code  --greedy-start|--fixed-start
//   --both-prices|--one-price
// One line on stderr: input bytes, output bytes, blocks, working memory.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/deflate/OptimalDeflate.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: brumlex IN OUT [--level 1..5] [--iterations N] [--patience N] [--restarts N] [--more-restarts N]\n"
               "       [--refine N] [--blocks N] [--drop-rare N] [--every-code-below BYTES] [--last-byte-restarts N] [--depth N] [--nice N] [--plain-header] [--entropy|--code-lengths]\n"
               "       [--nearest-only|--every-code] [--greedy-start|--fixed-start] [--both-prices|--one-price]\n");
  return 2;
}

bool ParseInt(const char* text, int& value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < 0 || v > 1000000) return false;
  value = int(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  int level = deflate::kOptimalLevelMax;
  for (int i = 3; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--level") == 0 && !ParseInt(argv[i + 1], level)) return Usage();
  }
  deflate::OptimalSettings s = deflate::OptimalLevelSettings(level);
  for (int i = 3; i < argc; ++i) {
    const std::string opt = argv[i];
    if (opt == "--plain-header") {
      s.searchHeader = false;
      continue;
    }
    if (opt == "--entropy" || opt == "--code-lengths") {
      s.entropyPrices = opt == "--entropy";
      continue;
    }
    if (opt == "--greedy-start" || opt == "--fixed-start") {
      s.greedyStart = opt == "--greedy-start";
      continue;
    }
    if (opt == "--both-prices" || opt == "--one-price") {
      s.bothPrices = opt == "--both-prices";
      continue;
    }
    if (opt == "--nearest-only" || opt == "--every-code") {
      s.matchFinder.everyDistanceCode = opt == "--every-code";
      continue;
    }
    int v = 0;
    if (i + 1 >= argc || !ParseInt(argv[i + 1], v)) return Usage();
    ++i;
    if (opt == "--level") continue;
    else if (opt == "--iterations") s.iterations = v;
    else if (opt == "--patience") s.patience = v;
    else if (opt == "--restarts") s.restarts = v;
    else if (opt == "--more-restarts") s.moreRestarts = v;
    else if (opt == "--refine") s.refineRounds = v;
    else if (opt == "--drop-rare") s.dropRareSymbols = v;
    else if (opt == "--every-code-below") s.everyDistanceCodeBelow = size_t(v);
    else if (opt == "--last-byte-restarts") s.lastByteRestarts = v;
    else if (opt == "--blocks" && v >= 1) s.maxBlocks = v;
    else if (opt == "--depth" && v >= 1) s.matchFinder.maxDepth = v;
    else if (opt == "--nice" && v >= 3) s.matchFinder.niceLength = v;
    else return Usage();
  }

  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "brumlex: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (data.size() >= 0x7FFF0000u) {
    std::fprintf(stderr, "brumlex: %s is too large\n", argv[1]);
    return 1;
  }
  std::vector<uint8_t> zlib;
  deflate::OptimalStats stats;
  deflate::OptimalDeflate(data.data(), data.size(), s, zlib, &stats);
  std::ofstream out(argv[2], std::ios::binary);
  out.write(reinterpret_cast<const char*>(zlib.data()), std::streamsize(zlib.size()));
  if (!out) {
    std::fprintf(stderr, "brumlex: cannot write %s\n", argv[2]);
    return 1;
  }
  std::fprintf(stderr, "%zu -> %zu bytes, %d blocks, %zu KB working memory\n", data.size(), zlib.size(), stats.blocks,
               stats.memoryBytes / 1024);
  return 0;
}
