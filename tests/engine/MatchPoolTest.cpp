// The circular pool of match lists: which list entries are still believed
// after the fill index comes round, and whole parses with a pool so small
// that it laps over lists still inside the window, checked by zlib.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "DeflateHarness.h"
#include "engine/deflate/LzParser.h"
#include "engine/deflate/MatchListPool.h"
#include "support/Oracles.h"

namespace {

using deflate::CloseList;
using deflate::ListEntryIntact;
using deflate::MatchList;
using deflate::OpenList;
using deflate::ParserState;

class PoolClock : public testing::Test {
 protected:
  PoolClock() : ps(*state) {
    ps.poolFill = 0;
    ps.prevListEnd = 0;
    ps.prevListCount = -1;
    ps.prevListSweep = 0;
    ps.sweep = 0;
    ps.lowDirty = 0;
  }

  // Searches one position that writes `entries` (all equal to value).
  MatchList Search(int entries, uint16_t value) {
    MatchList list{};
    const deflate::OpenedList opened = OpenList(ps);
    for (int i = 0; i < entries; ++i) ps.pool[ps.poolFill++] = value;
    CloseList(ps, list, opened);
    return list;
  }

  deflate::ParserStatePtr state = deflate::CreateParserState(1024);
  ParserState& ps;
};

TEST_F(PoolClock, ListsOfTheCurrentSweepStayIntact) {
  const MatchList a = Search(100, 7);
  const MatchList b = Search(50, 9);
  EXPECT_EQ(a.start, 0u);
  EXPECT_EQ(b.start, 100u);
  EXPECT_TRUE(ListEntryIntact(ps, a, a.start));
  EXPECT_TRUE(ListEntryIntact(ps, b, b.start + 49));
}

TEST_F(PoolClock, AKeptListAfterTheWrapEndsTheTrustOfEveryOlderList) {
  const MatchList first = Search(200, 1);
  Search(200, 2);
  Search(200, 3);
  const MatchList high = Search(200, 4);  // fill 800 is above 768: the next list wraps
  const MatchList wrapped = Search(10, 5);
  EXPECT_EQ(wrapped.start, 0u);
  EXPECT_TRUE(ListEntryIntact(ps, wrapped, 0));
  EXPECT_FALSE(ListEntryIntact(ps, first, first.start));  // overwritten by the new list
  EXPECT_FALSE(ListEntryIntact(ps, high, high.start));    // not yet, but nothing tracks it
}

TEST_F(PoolClock, ASharedListAcrossTheWrapTakesTheSweepBackAndMarksTheBottomDirty) {
  const MatchList first = Search(200, 1);
  Search(200, 2);
  Search(200, 3);
  const MatchList high = Search(200, 4);
  const MatchList tail = Search(30, 4);  // equal to the tail of the previous list
  EXPECT_EQ(tail.start, high.start + 170);
  EXPECT_EQ(ps.poolFill, 800u);
  EXPECT_TRUE(ListEntryIntact(ps, high, high.start));
  EXPECT_TRUE(ListEntryIntact(ps, tail, tail.start));
  EXPECT_FALSE(ListEntryIntact(ps, first, 29));  // the discarded copy overwrote it
  EXPECT_TRUE(ListEntryIntact(ps, first, 30));
  // The next kept list starts a new sweep for real.
  const MatchList next = Search(5, 8);
  EXPECT_EQ(next.start, 0u);
  EXPECT_FALSE(ListEntryIntact(ps, first, 150));
  EXPECT_TRUE(ListEntryIntact(ps, next, 4));
}

TEST_F(PoolClock, PositionsWithoutEntriesNeverStartASweep) {
  Search(400, 1);
  const MatchList high = Search(400, 2);
  for (int i = 0; i < 100; ++i) Search(0, 0);
  EXPECT_EQ(ps.sweep, 0);
  EXPECT_TRUE(ListEntryIntact(ps, high, high.start));
}

std::vector<uint8_t> WordSoup(size_t n, uint32_t seed) {
  const std::string words[] = {"abcab ", "bcabc ", "cabca ", "abcabcabc", "aaaa", "bb", "\n"};
  std::mt19937 rng(seed);
  std::vector<uint8_t> v;
  while (v.size() < n) {
    const std::string& w = words[rng() % 7];
    v.insert(v.end(), w.begin(), w.end());
    if (rng() % 50 == 0) v.push_back(uint8_t(rng()));
  }
  v.resize(n);
  return v;
}

// With 1,024 entries the pool laps every few positions, so leaps keep
// reading lists whose entries other positions have written over; every
// stream must still inflate to its input, under zlib as well.
TEST(SmallMatchPool, OverwrittenListsNeverYieldUnverifiedMatches) {
  for (int strategy = 0; strategy <= 2; ++strategy) {
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      SCOPED_TRACE("strategy " + std::to_string(strategy) + " seed " + std::to_string(seed));
      deflate_test::DeflateHarness h(strategy);
      h.ctx().parser = deflate::CreateParserState(1024);
      const std::vector<uint8_t> data = WordSoup(60000, seed);
      for (int pass = 0; pass < 3; ++pass) {
        ASSERT_TRUE(h.Pass(data)) << h.error;
        const std::vector<uint8_t> stream = h.ZlibStream();
        std::vector<uint8_t> inflated;
        ASSERT_TRUE(oracle::InflateZlib(stream.data(), stream.size(), inflated)) << "pass " << pass;
        ASSERT_EQ(inflated, data);
      }
      EXPECT_LT(h.streamBytes(), 20000);
    }
  }
}

// Where no list is ever overwritten, the pool's size changes nothing.
TEST(SmallMatchPool, APoolThatNeverLapsInTheWindowGivesTheSameStream) {
  std::vector<uint8_t> data = WordSoup(3000, 9);
  for (int strategy = 0; strategy <= 2; ++strategy) {
    deflate_test::DeflateHarness full(strategy);
    deflate_test::DeflateHarness small(strategy);
    small.ctx().parser = deflate::CreateParserState(1u << 20);
    ASSERT_TRUE(full.Pass(data));
    ASSERT_TRUE(small.Pass(data));
    EXPECT_EQ(full.ZlibStream(), small.ZlibStream()) << "strategy " << strategy;
  }
}

}  // namespace
