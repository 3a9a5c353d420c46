// Match search at one position.
//
// Algorithm.  The hash chain gives the nearest earlier position whose first
// three bytes equal ours.  From there the search never walks the chain
// again: every searched position keeps a list whose entry for length L is
// the nearest distance at which it matched L bytes.  When our candidate at
// distance D fails to extend past L bytes, the candidate's own list entry for
// L names the nearest position that matches the candidate - and therefore us
// - for at least L bytes, so the search leaps straight to it.  Inside a run
// of one byte value, candidates first step back to the start of their run,
// which crosses the whole run in one move.
//
// "Intense" and "Longest match" follow only the nearest distance of each
// length.  "Xtreme!" also visits farther candidates whose distance code is
// cheaper in bits than every code already seen for a length, backing off to
// the shortest length the cheaper code can improve.
#include <algorithm>
#include <bit>

#include "engine/deflate/ParserCore.h"

namespace deflate {
namespace {

constexpr int kNoCandidate = kWindow + 1;
constexpr int kLongOffer = 32;  // lengths beyond the first worth a look in the record

class PositionSearch {
 public:
  PositionSearch(ParserState& ps, const CodeTables& tables, int32_t p, int32_t costP)
      : m_ps(ps), m_tables(tables), m_p(p), m_costP(costP), m_runLength(ps.runEnd - p),
        m_listStart(ps.poolFill) {}

  // Nearest earlier position in the window with the same first three
  // bytes, as a distance; 0 for none.  A link that leaves the window ends the
  // walk: its slot may have been reused by a newer position since.
  int NearestCandidate() const {
    const uint32_t head = RingWord(m_ps, m_p) & 0xFFFFFF;
    const int32_t oldest = std::max(m_p - kWindow, 0);
    for (int32_t candidate = m_ps.hashHead[HashAt(m_ps, m_p)]; candidate >= oldest;
         candidate = m_ps.chain[candidate & kWindowMask]) {
      if ((RingWord(m_ps, candidate) & 0xFFFFFF) == head) return m_p - candidate;
    }
    return 0;
  }

  // The nearest candidate farther than `beyond` that shares p's first four
  // bytes, as a distance; kNoCandidate for none in the window.
  int FourByteMatchBeyond(int beyond) const {
    const uint32_t head = RingWord(m_ps, m_p);
    const int32_t oldest = std::max(m_p - kWindow, 0);
    for (int32_t candidate = m_ps.fourByteHead[FourByteHashAt(m_ps, m_p)]; candidate >= oldest;
         candidate = m_ps.fourByteChain[candidate & kWindowMask]) {
      if (m_p - candidate > beyond && RingWord(m_ps, candidate) == head) return m_p - candidate;
    }
    return kNoCandidate;
  }

  // Whether the walk at three bytes visits every three-byte candidate in
  // the window in order of distance: its leaps read entry 0 of each list,
  // the nearest candidate of that position, unless the position was skipped
  // or the walk steps over a run.
  bool ThreeByteWalkVisitsAll() const {
    return m_runLength != kMinMatch && m_ps.lastSkipped < std::max(m_p - kWindow, 0);
  }

  void SearchNearest(int distance);
  void SearchCheaper(int distance);

  // Writes p's list record and puts its tail in place.  The search wrote the
  // tail downwards from the top of the room above the fill, so it lies there
  // as it would in place; successive positions often find the same
  // candidates, so it is first matched against the previous tail:
  //  - the end of the previous tail: p points into it, nothing is kept;
  //  - the previous tail after a few new entries, where the previous tail
  //    ends just below the fill: only the new entries are kept, above it;
  //  - otherwise the whole tail is kept at the fill.
  void CloseList(MatchList& list) {
    const int count = m_count - m_headLength;
    const int prevCount = m_ps.prevTailCount;
    const uint32_t prevStart = m_ps.prevTailStart;
    const uint16_t* written = ScratchTop() - (count - 1);  // lowest entry first
    // The previous tail from its last entry up; at most its count entries.
    const uint16_t* previous = prevCount > 0 ? m_ps.pool + (prevStart + 1 - uint32_t(prevCount)) : nullptr;
    if (count == 0 && prevCount >= 0) {
      list.start = prevStart;
    } else if (count <= prevCount && std::equal(written, written + count, previous)) {
      list.start = prevStart - uint32_t(prevCount - count);
    } else {
      const int added = count > prevCount && prevCount > 0 && prevStart + 1 == m_listStart &&
                                std::equal(written, written + prevCount, previous)
                            ? count - prevCount
                            : count;
      std::copy(written + (count - added), written + count, m_ps.pool + m_listStart);
      list.start = m_listStart + uint32_t(added) - 1;
      m_ps.poolFill = m_listStart + uint32_t(added);
    }
    list.headDistance = uint16_t(m_headDistance);
    list.headLast = uint8_t(m_headLength > 0 ? m_headLength - 1 : 0);
    list.tailCount = uint8_t(count);
    m_ps.prevTailStart = list.start;
    m_ps.prevTailCount = count;
  }

  // The room above the fill holds one whole tail (the pool keeps it past
  // the wrap point too).
  uint16_t* ScratchTop() const { return m_ps.pool + m_listStart + (kMaxListEntries - 1); }

  // Entry j of p's closed list (j below its count).
  int Entry(const MatchList& list, int j) const {
    return j < m_headLength ? m_headDistance : m_ps.pool[list.start - uint32_t(j - m_headLength)];
  }

  int Count() const { return m_count; }

 private:
  bool Extends(int length, int distance) const {
    return RingByte(m_ps, m_p + length) == RingByte(m_ps, m_p - distance + length);
  }

  int Code(int distance) const { return m_tables.DistanceCode(distance); }

  // The smallest distance of a code (kNoCandidate for code 30, none): codes
  // grow with the distance, so the walks compare distances with it instead
  // of looking up the code of every candidate.
  static int CodeStart(int code) { return code < kDistanceCodes ? kDistanceCodeInfo[code].base : kNoCandidate; }

  // Steps a candidate back to the start of its run of p's byte; only valid
  // when the match so far is exactly p's run.
  int RunStart(int length, int distance) const {
    if (length != m_runLength) return distance;
    return distance + m_ps.runCount[(m_p - distance) & kRingMask];
  }

  // The nearest farther candidate sharing at least length bytes, read from
  // the candidate's list; kNoCandidate when there is none in the window.
  int ListedNext(int length, int distance) const {
    // At 32768 the candidate's slot is p's own (its list is being rebuilt),
    // and any further distance would leave the window anyway.
    if (distance >= kWindow) return kNoCandidate;
    const int slot = (m_p - distance) & kWindowMask;
    const int entry = length - kMinMatch;
    int leap;
    if (entry < kShortLeapLengths) {
      leap = m_ps.shortLeaps[entry][slot];
      if (leap == 0) return kNoCandidate;
    } else {
      const MatchList& list = m_ps.lists[slot];
      const int tailEntry = entry - list.headLast - 1;
      if (tailEntry < 0) {
        leap = list.headDistance;
        if (leap == 0) return kNoCandidate;
      } else {
        if (tailEntry >= list.tailCount) return kNoCandidate;
        leap = m_ps.pool[list.start - uint32_t(tailEntry)];
      }
    }
    const int next = distance + leap;
    return next > kWindow ? kNoCandidate : next;
  }

  // The first length from `from` on at which the candidate stops matching
  // (or 258): every length up to it is offered with the same distance.
  // Eight bytes at a time; the first differing byte is the lowest set byte
  // of the difference.  Bytes past the input compare as the byte-wise walk
  // would see them, so a match that runs into them ends at the same length.
  int MatchEnd(int from, int distance) const {
    for (int end = from; end < kMaxMatch; end += 8) {
      const uint64_t diff = RingWord64(m_ps, m_p + end) ^ RingWord64(m_ps, m_p - distance + end);
      if (diff != 0) return std::min(end + std::countr_zero(diff) / 8, kMaxMatch);
    }
    return kMaxMatch;
  }

  // Offers lengths from..to at one distance: the target p + L takes cost
  // p's cost + the distance code's + L's length code's when that is strictly
  // cheaper than what it holds.
  //
  // Most offers fail inside long matches: the previous position offered the
  // same targets one length longer.  Where its offer for L + 1 cost no more
  // than ours for L, the slot of p + L already holds that much or less
  // (slots only fall until the ring is reset, which forgets the record), so
  // our offer cannot win and is not made.  With our base at or above the
  // previous offer's, only the lengths after which the length cost rises by
  // more than the difference remain to be tried.
  void RelaxRange(int from, int to, int distance) {
    const int last = std::min(to, m_ps.relaxLimit - m_p);
    if (last < from) return;
    const int32_t base = m_costP + m_ps.distanceCodeCost[Code(distance)];
    // Short offers (the usual ones in photographs) are cheaper to make in
    // full than to compare with the record, and too short to spare a later
    // one much; they are not recorded.
    const bool longOffer = last - from >= kLongOffer;
    int coveredFrom = from, coveredLast = from - 1;
    const Offer* dominating = longOffer ? DominatingOffer(from, last, base, coveredFrom, coveredLast) : nullptr;
    int reached;
    if (!dominating) {
      reached = RelaxSlots(from, last, base, distance);
    } else {
      reached = RelaxSlots(from, coveredFrom - 1, base, distance);
      const int32_t slack = base - dominating->base;
      for (int k = 0; k < m_ps.lengthRises && m_ps.lengthRise[k].rise > slack; ++k) {
        const int rising = m_ps.lengthRise[k].length;
        if (rising >= coveredFrom && rising <= coveredLast && RelaxOne(rising, base, distance))
          reached = std::max(reached, rising);
      }
      reached = std::max(reached, RelaxSlots(coveredLast + 1, last, base, distance));
    }
    if (reached && m_p + reached > m_ps.furthest) m_ps.furthest = m_p + reached;

    const int current = m_p & 1;
    if (longOffer && m_ps.offerCount[current] < kRecordedOffers)
      m_ps.offers[current][m_ps.offerCount[current]++] = {base, int16_t(from), int16_t(last)};
  }

  // The previous position's offer at no more than base that covers the
  // most of our lengths from..last shifted by one (null for none), and the
  // lengths it covers.
  const Offer* DominatingOffer(int from, int last, int32_t base, int& coveredFrom, int& coveredLast) const {
    const int previous = (m_p - 1) & 1;
    if (m_ps.offersAt[previous] != m_p - 1) return nullptr;
    const Offer* dominating = nullptr;
    for (int k = 0; k < m_ps.offerCount[previous]; ++k) {
      const Offer& o = m_ps.offers[previous][k];
      const int lo = std::max(from, o.from - 1), hi = std::min(last, o.last - 1);
      if (o.base <= base && hi - lo > coveredLast - coveredFrom) {
        dominating = &o;
        coveredFrom = lo;
        coveredLast = hi;
        if (lo == from && hi >= last - 1) break;  // no other can cover more
      }
    }
    return dominating;
  }

  // One length of RelaxSlots; true when taken.
  bool RelaxOne(int length, int32_t base, int distance) {
    const int32_t c = base + m_ps.lengthCost[length];
    int32_t& slot = m_ps.cost[(m_p + length) & kCostRingMask];
    if (c >= slot) return false;
    slot = c;
    m_ps.path[(m_p + length) & kPathRingMask] = MakeStep(length, distance);
    return true;
  }

  // Offers lengths from..last at cost base plus the length code's; returns
  // the longest length taken, 0 for none.  A slot keeps its value and path
  // entry unless the offer is strictly cheaper.  A few lengths are offered
  // one by one; longer stretches go through a loop over runs where neither
  // ring wraps and that has no branch, so that the compiler compares and
  // updates several slots at once.
  int RelaxSlots(int from, int last, int32_t base, int distance) {
    int reached = 0;
    if (last - from < kLongOffer) {
      for (int length = from; length <= last; ++length)
        if (RelaxOne(length, base, distance)) reached = length;
      return reached;
    }
    for (int length = from; length <= last;) {
      const int32_t target = m_p + length;
      const int costIndex = target & kCostRingMask;
      const int pathIndex = target & kPathRingMask;
      const int n = std::min({last - length + 1, kCostRingSize - costIndex, kPathRingSize - pathIndex});
      int32_t* __restrict slot = m_ps.cost + costIndex;
      PathStep* __restrict path = m_ps.path + pathIndex;
      const int32_t* __restrict lengthCost = m_ps.lengthCost + length;
      for (int i = 0; i < n; ++i) {
        const int32_t c = base + lengthCost[i];
        const int32_t oldCost = slot[i];
        const PathStep oldStep = path[i];
        const bool better = c < oldCost;
        slot[i] = better ? c : oldCost;
        path[i] = better ? MakeStep(length + i, distance) : oldStep;
        reached = better ? length + i : reached;
      }
      length += n;
    }
    return reached;
  }

  int Cheapest(int length) const { return length < m_headCostEnd ? m_headCost : m_ps.cheapestAtLength[length]; }

  // Nearest-distance lists get one entry per new length: the head while
  // the distance is the first one, the pool after that.
  void AppendRange(int from, int to, int distance) {
    const int n = to - from + 1;
    if (m_count == m_headLength && (m_count == 0 || distance == m_headDistance)) {
      m_headDistance = distance;
      m_headLength += n;
    } else {
      // The tail goes downwards from the top of the room above the fill.
      uint16_t* out = ScratchTop() - (m_count - m_headLength) - (n - 1);
      std::fill(out, out + n, uint16_t(distance));
    }
    m_count += n;
  }

  // For "Xtreme!": lengths reached for the first time get this distance as
  // their list entry; every length keeps the cheapest distance cost seen.
  void RecordRange(int from, int to, int distance) {
    const int16_t cost = int16_t(m_ps.distanceCodeCost[Code(distance)]);
    if (m_count == 0) {  // the head: its cost stays implicit until a lowering reaches into it
      m_headCost = cost;
      m_headCostEnd = to + 1;
      AppendRange(from, to, distance);
      RelaxRange(from, to, distance);
      return;
    }
    const int firstNew = std::max(from, kMinMatch + m_count);
    // Both loops run over whole ranges so that the compiler makes them wide.
    int16_t* cheapest = m_ps.cheapestAtLength;
    if (from < m_headCostEnd) {
      std::fill(cheapest + kMinMatch, cheapest + m_headCostEnd, m_headCost);
      m_headCostEnd = kMinMatch;
    }
    for (int length = from, last = std::min(firstNew - 1, to); length <= last; ++length)
      cheapest[length] = std::min(cheapest[length], cost);
    if (firstNew <= to) {
      AppendRange(firstNew, to, distance);
      std::fill(cheapest + firstNew, cheapest + to + 1, cost);
    }
    RelaxRange(from, to, distance);
  }

  ParserState& m_ps;
  const CodeTables& m_tables;
  const int32_t m_p;
  const int32_t m_costP;
  const int m_runLength;
  const uint32_t m_listStart;  // where p's pool entries go
  int m_count = 0;             // entries of p's list so far
  int m_headLength = 0;        // of them in the head
  int m_headDistance = 0;
  // Strategy 0: lengths below m_headCostEnd have the cheapest cost
  // m_headCost; cheapestAtLength holds the lengths from there on.
  int16_t m_headCost = 0;
  int m_headCostEnd = kMinMatch;
};

void PositionSearch::SearchNearest(int distance) {
  int length = kMinMatch;
  for (;;) {
    const int end = MatchEnd(length, distance);
    AppendRange(length, end, distance);
    RelaxRange(length, end, distance);
    if (end == kMaxMatch) return;
    length = end;
    do {  // the candidate stopped matching at this length
      distance = ListedNext(length, RunStart(length, distance));
      if (distance == kNoCandidate) return;
    } while (!Extends(length, distance));
    ++length;
  }
}

void PositionSearch::SearchCheaper(int distance) {
  const uint8_t* nextCheaper = m_ps.nextCheaper;
  int length = kMinMatch;
  for (;;) {
    const int end = MatchEnd(length, distance);
    RecordRange(length, end, distance);
    length = end;
    if (length == kMaxMatch) {
      // Full length: only a farther candidate with a cheaper code can help.
      if (nextCheaper[Code(distance)] == kDistanceCodes) return;
      distance = ListedNext(length, RunStart(length, distance));
      if (distance == kNoCandidate) return;
      continue;
    }

    const int anchor = distance;
    const int cheaperCode = nextCheaper[Code(distance)];
    const int cheaperFrom = CodeStart(cheaperCode);
    if (length == kMinMatch) {
      // The walk below ends at the first candidate that shares one byte more
      // (or has a cheaper code): at three bytes that is the nearest one
      // sharing four, when it comes before any cheaper code and the walk
      // would pass every candidate on its way.
      const int found = FourByteMatchBeyond(anchor);
      if (found == kNoCandidate && cheaperCode == kDistanceCodes) return;
      if (found < cheaperFrom && ThreeByteWalkVisitsAll()) {
        distance = found;
        ++length;
        continue;
      }
    }
    int32_t target = 0;
    bool extended = false;
    for (;;) {  // the candidate stopped matching at this length
      const int next = ListedNext(length, RunStart(length, distance));
      if (next == kNoCandidate) {
        if (cheaperCode == kDistanceCodes) return;
        target = m_ps.distanceCodeCost[cheaperCode];
        break;
      }
      if (next >= cheaperFrom) {
        const int nextCode = Code(next);
        int code = cheaperCode;
        while (nextCheaper[code] <= nextCode) code = nextCheaper[code];
        target = m_ps.distanceCodeCost[code];
        break;
      }
      distance = next;  // no cheaper than the anchor: just extend it
      if (Extends(length, distance)) {
        extended = true;
        break;
      }
    }
    if (extended) {
      ++length;
      continue;
    }

    // Back off to the shortest length whose best distance cost the cheaper
    // code can still beat, then revisit that length from the anchor on.
    while (length > 5 && Cheapest(length - 3) > target) length -= 3;
    while (length > kMinMatch && Cheapest(length - 1) > target) length -= 1;
    distance = anchor;
    for (;;) {
      distance = RunStart(length, distance);
      if (distance > kWindow) return;
      if (distance >= cheaperFrom) {
        // The run step crossed code cheaperCode's range: every distance of
        // the run matches, so its smallest one is a real candidate.
        distance = cheaperFrom;
        break;
      }
      distance = ListedNext(length, distance);
      if (distance == kNoCandidate) return;
      if (distance >= cheaperFrom) break;
    }
  }
}

}  // namespace

void SearchPosition(ParserState& ps, const CodeTables& tables, int strategy, int32_t p, int32_t costP) {
  UpdateRunCounter(ps, p);
  const uint8_t b = RingByte(ps, p);
  if (ps.runEnd < p + 1) ps.runEnd = p + 1;
  while (ps.runEnd < ps.inputTotal && RingByte(ps, ps.runEnd) == b) ++ps.runEnd;

  if (ps.poolFill > kPoolWrapAt) ps.poolFill = 0;
  MatchList& list = ps.lists[p & kWindowMask];

  ps.offersAt[p & 1] = p;
  ps.offerCount[p & 1] = 0;
  // The search of a photograph waits mostly on memory: the hash heads, then
  // the nearest candidate's list.  Ask for them a position or two early (the
  // look-ahead holds those bytes); a head that p itself is about to change
  // only makes the hint miss.
  Prefetch(&ps.hashHead[HashAt(ps, p + 2)]);
  Prefetch(&ps.fourByteHead[FourByteHashAt(ps, p + 2)]);
  const int32_t nextHead = ps.hashHead[HashAt(ps, p + 1)];
  if (nextHead >= 0) Prefetch(&ps.shortLeaps[0][nextHead & kWindowMask]);

  PositionSearch search(ps, tables, p, costP);
  const int distance = search.NearestCandidate();
  if (distance > 0) {
    if (strategy == 0) search.SearchCheaper(distance);
    else search.SearchNearest(distance);
  }

  search.CloseList(list);
  const int count = search.Count();
  for (int j = 0; j < kShortLeapLengths; ++j)
    ps.shortLeaps[j][p & kWindowMask] = uint16_t(j < count ? search.Entry(list, j) : 0);

  InsertIntoChain(ps, p);
}

}  // namespace deflate
