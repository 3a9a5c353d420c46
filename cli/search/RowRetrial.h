// Row filters chosen again, one row at a time, under the codes the optimal
// parser wrote the image with.
//
// Every filter search before the written stream judges rows by a model of
// deflate whose statistics grow row by row; the stream the optimal parser
// then writes cuts its own blocks and codes, under which some rows would be
// cheaper with another filter.  With those codes fixed, each row in turn
// takes the filter whose bytes make the cheapest parse of it and the rows
// after it (WindowParse.h); a row changes only when that saves more than a
// margin, since the window's parse is close to, not the same as, the
// compressor's.  The answer is then deflated for real by the caller, who
// keeps it only where the stream shrinks.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/RowFilterEntry.h"
#include "engine/deflate/OptimalDeflate.h"

namespace search {

struct RetrialEffort {
  int windowRows = 2;         // rows after the changed one that are parsed with it
  int chainDepth = 64;        // of the window's match search
  double marginBits = 16.0;   // what a new filter must save over the row's current one
  int threads = 1;            // a row's five candidates are judged on these
  // When given and set, the sweep ends at the next row.
  const std::atomic<bool>* stop = nullptr;
};

struct RetriedFilters {
  std::vector<uint8_t> filters;
  int changedRows = 0;
};

// filters: one type 0..4 per row of rows (the first never Average); blocks:
// the stream FilteredStream(rows, filters) as the optimal parser wrote it.
// One sweep from the top row down.
RetriedFilters RetryRowFilters(const UnfilteredRows& rows, const std::vector<uint8_t>& filters,
                               const std::vector<deflate::WrittenBlock>& blocks, const RetrialEffort& effort);

}  // namespace search
