// Opening and closing of the per-position match lists in the circular pool,
// and the rule that says when a list entry can still be believed.
//
// The pool is filled circularly: before each searched position, a fill index
// within the last 256 entries returns to 0.  Nothing stops a lap from coming
// round to a list whose position is still inside the 32 KB window (it takes
// a window's worth of positions adding hundreds of entries each), and a leap
// through such an entry would use a stranger's distance as if it shared the
// bytes.  So every list records the sweep of the pool its entries lie in:
//
// - a sweep begins when the fill index returns to 0 and the list opened
//   there is kept; when that list instead shares the previous list's
//   entries (which lie at the top of the pool), the fill goes back up there,
//   the sweep is taken back, and what was written at the bottom is noted as
//   `lowDirty`, the end of the overwritten region;
// - within one sweep the fill only moves up past closed lists, so a list of
//   the current sweep at or above `lowDirty` is intact;
// - any other entry may have been overwritten.  It is still used when the
//   candidate it names really shares the length with the searched position
//   (then the leap is exactly what an intact entry would have allowed, and
//   the parse is unchanged), and otherwise counts as "no entry".
#pragma once

#include <algorithm>
#include <cstdint>

#include "engine/deflate/ParserState.h"

namespace deflate {

struct OpenedList {
  uint32_t start;
  bool wrapped;             // this list returned the fill index to 0
  uint32_t lowDirtyBefore;  // to restore when the new sweep is taken back
};

inline OpenedList OpenList(ParserState& ps) {
  OpenedList opened{0, false, ps.lowDirty};
  if (ps.poolFill > ps.poolWrapAt) {
    ps.poolFill = 0;
    ++ps.sweep;
    ps.lowDirty = 0;
    opened.wrapped = true;
  }
  opened.start = ps.poolFill;
  return opened;
}

// Successive positions often find the same candidates (a list is then the
// tail of the previous one); share the pool entries instead of copying.
inline void CloseList(ParserState& ps, MatchList& list, const OpenedList& opened) {
  const int32_t count = int32_t(ps.poolFill - opened.start);
  if (count <= ps.prevListCount && std::equal(ps.pool.get() + opened.start, ps.pool.get() + ps.poolFill,
                                               ps.pool.get() + ps.prevListEnd - uint32_t(count))) {
    ps.poolFill = ps.prevListEnd;
    list.start = ps.prevListEnd - uint32_t(count);
    list.sweep = ps.prevListSweep;
    if (opened.wrapped) {
      --ps.sweep;
      ps.lowDirty = std::max(opened.lowDirtyBefore, opened.start + uint32_t(count));
    }
  } else {
    list.start = opened.start;
    list.sweep = ps.sweep;
  }
  list.count = int16_t(count);
  ps.prevListEnd = ps.poolFill;
  ps.prevListCount = count;
  ps.prevListSweep = list.sweep;
}

// True when entry `index` of `list` is known to hold what its position's
// search wrote there.
inline bool ListEntryIntact(const ParserState& ps, const MatchList& list, uint32_t index) {
  return list.sweep == ps.sweep && index >= ps.lowDirty;
}

}  // namespace deflate
