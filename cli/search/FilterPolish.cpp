#include "cli/search/FilterPolish.h"

#include <algorithm>

#include "cli/search/ParallelFor.h"

namespace search {

namespace {

constexpr int kFilterTypes = 5;
// The image, its halves and its quarters.
constexpr int kRangeLevels = 3;

struct Move {
  size_t first, last;  // rows, inclusive
  uint8_t from, to;
};

bool Uses(const std::vector<uint8_t>& filters, const Move& range, uint8_t filter) {
  return std::find(filters.begin() + long(range.first), filters.begin() + long(range.last) + 1, filter) !=
         filters.begin() + long(range.last) + 1;
}

// Every move over the ranges of one level (2^level parts of the image)
// that changes something.
std::vector<Move> MovesOf(const std::vector<uint8_t>& filters, int level) {
  std::vector<Move> moves;
  const size_t rows = filters.size();
  const size_t parts = std::min(size_t(1) << level, rows);
  for (size_t part = 0; part < parts; ++part) {
    const Move range{rows * part / parts, rows * (part + 1) / parts - 1, 0, 0};
    for (int from = 0; from < kFilterTypes; ++from) {
      if (!Uses(filters, range, uint8_t(from))) continue;
      for (int to = 0; to < kFilterTypes; ++to) {
        if (to != from) moves.push_back({range.first, range.last, uint8_t(from), uint8_t(to)});
      }
    }
  }
  return moves;
}

std::vector<uint8_t> Apply(std::vector<uint8_t> filters, const Move& move) {
  for (size_t y = move.first; y <= move.last; ++y) {
    if (filters[y] == move.from) filters[y] = move.to;
  }
  // The file writes Average without a row above as Sub.
  if (filters[0] == 3) filters[0] = 1;
  return filters;
}

}  // namespace

PolishedFilters PolishRowFilters(const std::vector<std::vector<uint8_t>>& starts, const FilteredSize& size,
                                 const PolishBudget& budget) {
  PolishedFilters result;
  const size_t startCount = std::min(starts.size(), size_t(std::max(budget.evaluations, 0)));
  if (startCount == 0 || starts[0].empty()) return result;
  const int threads = std::max(budget.threads, 1);
  std::vector<size_t> startBytes(startCount);
  ParallelFor(startCount, threads, [&](size_t i) { startBytes[i] = size(starts[i]); });
  const size_t first = size_t(std::min_element(startBytes.begin(), startBytes.end()) - startBytes.begin());
  result.filters = starts[first];
  result.bytes = startBytes[first];
  result.evaluations = int(startCount);
  // Whole-image moves first, as long as they gain; then the halves, then
  // the quarters.
  int level = 0;
  while (level < kRangeLevels && result.evaluations < budget.evaluations && !(budget.stop && *budget.stop)) {
    std::vector<std::vector<uint8_t>> tried;
    for (const Move& move : MovesOf(result.filters, level)) {
      if (result.evaluations + int(tried.size()) >= budget.evaluations) break;
      std::vector<uint8_t> moved = Apply(result.filters, move);
      // Moves in different ranges can land on the same vector.
      if (moved != result.filters && std::find(tried.begin(), tried.end(), moved) == tried.end()) {
        tried.push_back(std::move(moved));
      }
    }
    if (tried.empty()) {
      ++level;
      continue;
    }
    std::vector<size_t> bytes(tried.size());
    ParallelFor(tried.size(), threads, [&](size_t i) { bytes[i] = size(tried[i]); });
    result.evaluations += int(tried.size());
    // The first of equal sizes, so the answer follows the moves' order.
    const size_t best = size_t(std::min_element(bytes.begin(), bytes.end()) - bytes.begin());
    if (bytes[best] >= result.bytes) {
      ++level;
      continue;
    }
    result.filters = std::move(tried[best]);
    result.bytes = bytes[best];
    ++result.moves;
  }
  return result;
}

}  // namespace search
