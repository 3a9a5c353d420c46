// Local moves over a per-row filter vector, judged by the real compressor.
//
// The deflate cost model ranks proposals well but not their last few
// hundred bytes: on a photo it rates Paeth on a handful of rows as good as
// Sub, while the optimal parser, whose per-block codes fit rows of alike
// statistics best, saves 0.05-0.1 % without them; on a text screenshot the
// same holds for Paeth against Up.  So the best proposal is polished with
// moves the model cannot judge: every row of one filter within a range
// (the whole image, then its halves and quarters) moved to another filter.
// Each round prices every move with the given size function (the optimal
// parser's cheapest level), takes the one that shrinks the stream most, and
// starts again from there, until no move shrinks it or the budget of
// size calls is spent.  Moves are priced on the given threads; the answer
// does not depend on them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace search {

struct PolishBudget {
  int evaluations = 60;  // size calls at most, the start's included
  int threads = 1;
  // When given and set, polishing ends after the round in progress.
  const std::atomic<bool>* stop = nullptr;
};

// Bytes of the compressed stream of a filter vector.  Called from several
// threads at once.
using FilteredSize = std::function<size_t(const std::vector<uint8_t>&)>;

struct PolishedFilters {
  std::vector<uint8_t> filters;
  size_t bytes = 0;     // size of filters
  int evaluations = 0;  // size calls made
  int moves = 0;        // moves taken
};

// starts: vectors of one filter 0..4 per row (the first row never Average,
// 3), all of one length; the moves begin from the smallest of them (the
// first of equals), each start's size call counted in the budget.
PolishedFilters PolishRowFilters(const std::vector<std::vector<uint8_t>>& starts, const FilteredSize& size,
                                 const PolishBudget& budget);

}  // namespace search
