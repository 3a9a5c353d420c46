#include "cli/search/RowRetrial.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "cli/search/FilterSearch.h"
#include "cli/search/ParallelFor.h"
#include "cli/search/WindowParse.h"

namespace search {
namespace {

constexpr int kFilterTypes = 5;
constexpr size_t kHistory = 32768;

}  // namespace

RetriedFilters RetryRowFilters(const UnfilteredRows& rows, const std::vector<uint8_t>& filters,
                               const std::vector<deflate::WrittenBlock>& blocks, const RetrialEffort& effort) {
  RetriedFilters result{filters, 0};
  if (rows.height <= 0 || filters.size() != size_t(rows.height) || blocks.empty()) return result;
  std::vector<uint8_t> stream = FilteredStream(rows, filters);
  const size_t stride = size_t(rows.rowBytes) + 1;
  // One judge and one copy of the window per candidate filter, so that the
  // five are judged at once and the answer does not depend on the threads.
  std::vector<std::unique_ptr<WindowParse>> judges;
  for (int f = 0; f < kFilterTypes; ++f) {
    judges.push_back(std::make_unique<WindowParse>(effort.chainDepth));
    judges.back()->SetBlocks(blocks);
  }
  std::vector<std::vector<uint8_t>> windows(kFilterTypes);
  double bits[kFilterTypes];
  for (int y = 0; y < rows.height; ++y) {
    if (effort.stop && effort.stop->load()) break;
    const size_t from = size_t(y) * stride;
    const size_t to = size_t(std::min(y + 1 + std::max(effort.windowRows, 0), rows.height)) * stride;
    const size_t windowStart = from > kHistory ? from - kHistory : 0;
    ParallelFor(kFilterTypes, effort.threads, [&](size_t f) {
      bits[f] = std::numeric_limits<double>::infinity();
      // The file writes Average without a row above as Sub.
      if (y == 0 && f == 3) return;
      std::vector<uint8_t>& window = windows[f];
      window.assign(stream.begin() + long(windowStart), stream.begin() + long(to));
      uint8_t* row = window.data() + (from - windowStart);
      row[0] = uint8_t(f);
      FilterRow(rows, y, int(f), row + 1);
      bits[f] = judges[f]->Bits(window.data(), windowStart, from, to);
    });
    const int current = result.filters[size_t(y)];
    int chosen = current;
    double best = bits[current] - effort.marginBits;
    for (int f = 0; f < kFilterTypes; ++f) {
      if (bits[f] < best) {
        best = bits[f];
        chosen = f;
      }
    }
    if (chosen == current) continue;
    result.filters[size_t(y)] = uint8_t(chosen);
    ++result.changedRows;
    stream[from] = uint8_t(chosen);
    FilterRow(rows, y, chosen, stream.data() + from + 1);
  }
  return result;
}

}  // namespace search
