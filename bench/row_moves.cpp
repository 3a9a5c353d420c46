// Whether a file velkor has written could lose bytes by moving one row (or
// a few rows in a row) to another filter, judged exactly: each block the
// optimal parser cuts the rows into (one plan under the level's own seeds)
// is planned again at the written level, with the 32 KB before it as
// history and its own boundaries fixed, once with the rows as written and
// once per move that stays inside it.
//
// The filter searches judge rows by estimates; this is the measure they
// approximate, too slow for the command line (one plan of the block per
// move), so it says how far the written rows are from a local optimum.
// The same block planned under other seed salts shows how much of a move's
// difference is the parser's scatter rather than the rows.
//
// Usage: row_moves [--level L] [--threads T] [--blocks I,J,...] [--span N] PNG
//   --level   the optimal parser's level as velkor's command line counts
//             them (7 is what -o max writes with); default 7.
//   --blocks  the blocks to try (0-based, in stream order); default all.
//   --span    moves N rows in a row to one filter (each move named by its
//             first row); default 1.
// Prints per block its byte range, how many moves save bits, the block's
// bits under four salts, and the moves that cost least (bits against the
// rows as written).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/OptimalRedeflate.h"
#include "cli/PngFileScan.h"
#include "cli/PngImageData.h"
#include "cli/search/FilterSearch.h"
#include "cli/search/ParallelFor.h"

namespace {

constexpr size_t kWindow = 32768;
constexpr int kSalts = 4;
constexpr size_t kMovesShown = 5;

double CpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

struct Move {
  int row = 0;
  int filter = 0;
  int64_t bits = 0;  // against the row as written
};

}  // namespace

int main(int argc, char** argv) {
  int level = 7;
  int threads = 2;
  int span = 1;
  std::vector<size_t> blocks;
  std::string file;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--level" && i + 1 < argc) level = std::atoi(argv[++i]);
    else if (arg == "--threads" && i + 1 < argc) threads = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--span" && i + 1 < argc) span = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--blocks" && i + 1 < argc) {
      for (const char* p = argv[++i]; *p;) {
        char* end = nullptr;
        blocks.push_back(std::strtoul(p, &end, 10));
        if (end == p) break;
        p = *end == ',' ? end + 1 : end;
      }
    } else file = arg;
  }
  if (file.empty()) {
    std::fprintf(stderr, "usage: row_moves [--level L] [--threads T] [--blocks I,J,...] [--span N] PNG\n");
    return 2;
  }
  std::ifstream in(file, std::ios::binary);
  const std::vector<uint8_t> png{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const PngFileScan scan = ScanPngFile(png.data(), png.size());
  std::vector<DataStream> streams;
  std::vector<uint8_t> filtered;
  UnfilteredRows rows;
  const ImageLayout layout = LayoutOf(scan);
  if (!InflateStillImageData(png.data(), scan, streams, filtered) || layout.interlaced ||
      !UnfilteredImageRows(layout, filtered, rows)) {
    std::fprintf(stderr, "%s: not one IDAT stream of whole-byte pixels, not interlaced\n", file.c_str());
    return 1;
  }
  const size_t stride = size_t(rows.rowBytes) + 1;

  const deflate::OptimalSettings settings = OptimalSettingsOf(level);
  const double start = CpuSeconds();
  const std::vector<size_t> cuts = deflate::PlanOptimal(filtered.data(), filtered.size(), settings).Cuts();
  if (blocks.empty()) {
    for (size_t k = 0; k + 1 < cuts.size(); ++k) blocks.push_back(k);
  }
  std::printf("%s: %zu blocks at level %d\n", file.substr(file.rfind('/') + 1).c_str(), cuts.size() - 1, level);
  for (size_t block : blocks) {
    if (block + 1 >= cuts.size()) continue;
    const size_t begin = cuts[block], end = cuts[block + 1];
    const size_t history = std::min(kWindow, begin);
    // The block's own bits: the plan's total less the history's, which the
    // block does not change (its boundaries are fixed).
    const auto blockBits = [&](const std::vector<uint8_t>& stream, uint32_t salt) {
      deflate::OptimalSettings s = settings;
      s.seedSalt = salt;
      std::vector<size_t> fixed = {0};
      if (history > 0) fixed.push_back(history);
      fixed.push_back(end - begin + history);
      return deflate::PlanOptimal(stream.data() + begin - history, end - begin + history, s, &fixed).Bits();
    };
    std::vector<int64_t> salts(kSalts);
    search::ParallelFor(salts.size(), threads, [&](size_t k) { salts[k] = blockBits(filtered, uint32_t(k)); });
    std::vector<Move> moves;
    for (int y = 0; y + span <= rows.height; ++y) {
      if (size_t(y) * stride < begin || size_t(y + span) * stride > end) continue;
      for (int f = 0; f < 5; ++f) {
        bool changes = false;
        for (int k = 0; k < span; ++k) changes |= f != filtered[size_t(y + k) * stride];
        if (changes) moves.push_back({y, f, 0});
      }
    }
    search::ParallelFor(moves.size(), threads, [&](size_t i) {
      std::vector<uint8_t> moved = filtered;
      for (int k = 0; k < span; ++k) {
        uint8_t* row = &moved[size_t(moves[i].row + k) * stride];
        row[0] = uint8_t(moves[i].filter);
        search::FilterRow(rows, moves[i].row + k, moves[i].filter, row + 1);
      }
      moves[i].bits = blockBits(moved, 0) - salts[0];
    });
    std::sort(moves.begin(), moves.end(), [](const Move& a, const Move& b) { return a.bits < b.bits; });
    const auto saving = std::count_if(moves.begin(), moves.end(), [](const Move& m) { return m.bits < 0; });
    std::printf("block %zu [%zu, %zu): %zu moves, %ld save; salts", block, begin, end, moves.size(), long(saving));
    for (int64_t bits : salts) std::printf(" %lld", static_cast<long long>(bits));
    std::printf(" bits; cheapest moves");
    for (size_t i = 0; i < std::min(kMovesShown, moves.size()); ++i) {
      std::printf(" row %d %d->%d %+lld", moves[i].row, filtered[size_t(moves[i].row) * stride], moves[i].filter,
                  static_cast<long long>(moves[i].bits));
    }
    std::printf("; %.0f cpu s so far\n", CpuSeconds() - start);
    std::fflush(stdout);
  }
  return 0;
}
