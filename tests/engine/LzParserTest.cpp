// The parser and match finder, observed through the streams they produce:
// every stream must inflate (independent decoder) to its input, pass after
// pass, and the token sequences must show the parse each strategy promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "DeflateHarness.h"

namespace {

using deflate_test::DeflateHarness;
using oracle::DeflateToken;

std::vector<uint8_t> Repeated(uint8_t value, size_t n) { return std::vector<uint8_t>(n, value); }

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed, int alphabet = 256) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) b = uint8_t(rng() % unsigned(alphabet));
  return v;
}

// Image-like: rows that repeat with small changes, runs, and a few
// literal-only stretches.
std::vector<uint8_t> ImageLike(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v;
  v.reserve(n);
  const size_t row = 97 + rng() % 300;
  while (v.size() < n) {
    const unsigned kind = rng() % 5;
    if (kind == 0 || v.size() < row) {
      v.push_back(uint8_t(rng()));
    } else if (kind == 1) {
      const size_t len = 1 + rng() % 40;
      const uint8_t b = uint8_t(rng() % 4);
      for (size_t i = 0; i < len; ++i) v.push_back(b);
    } else {
      const size_t len = 1 + rng() % 60;
      const size_t back = kind == 2 ? row : 1 + rng() % std::min<size_t>(v.size(), 40000);
      for (size_t i = 0; i < len && back <= v.size(); ++i) v.push_back(uint8_t(v[v.size() - back] + (rng() % 16 == 0)));
    }
  }
  v.resize(n);
  return v;
}

std::vector<uint8_t> Text(size_t n) {
  const std::string words[] = {"the ", "quick ", "brown ", "fox ", "jumps ", "over ", "lazy ", "dog ", "\n", "a "};
  std::mt19937 rng(5);
  std::vector<uint8_t> v;
  while (v.size() < n) {
    const std::string& w = words[rng() % 10];
    v.insert(v.end(), w.begin(), w.end());
  }
  v.resize(n);
  return v;
}

TEST(LzParser, LongestMatchOnEqualBytesTakesMaximalMatchesAtDistanceOne) {
  DeflateHarness h(2);
  ASSERT_TRUE(h.Pass(Repeated('A', 1000))) << h.error;
  const std::vector<DeflateToken> expected = {{1, 'A'}, {258, 1}, {258, 1}, {258, 1}, {225, 1}};
  EXPECT_EQ(h.AllTokens(), expected);
}

TEST(LzParser, LongestMatchJumpsToTheEndOfEachMatch) {
  // "abcdefgh" then "abcdefghXabcdefgh": at the second copy the longest
  // match is 8 bytes; the search resumes right after it.
  const std::string s = "abcdefgh" "abcdefghX" "abcdefgh";
  DeflateHarness h(2);
  ASSERT_TRUE(h.Pass(std::vector<uint8_t>(s.begin(), s.end()))) << h.error;
  std::vector<DeflateToken> expected;
  for (char c : std::string("abcdefgh")) expected.push_back({1, c});
  expected.push_back({8, 8});
  expected.push_back({1, 'X'});
  expected.push_back({8, 9});
  EXPECT_EQ(h.AllTokens(), expected);
}

TEST(LzParser, LongestMatchLeapsThroughEarlierListsToLongerCandidates) {
  // At position 10 the nearest "abc" (distance 5) matches 4 bytes; the list
  // of position 5 leads on to distance 10, which matches 5.
  const std::string s = "abcde" "abcdX" "abcdeZ";
  DeflateHarness h(2);
  ASSERT_TRUE(h.Pass(std::vector<uint8_t>(s.begin(), s.end()))) << h.error;
  const std::vector<DeflateToken> expected = {{1, 'a'}, {1, 'b'}, {1, 'c'}, {1, 'd'}, {1, 'e'}, {4, 5},
                                              {1, 'X'}, {5, 10}, {1, 'Z'}};
  EXPECT_EQ(h.AllTokens(), expected);
}

// A code in which distance code 6 (distances 9..12) costs 1 bit plus its 2
// extra bits and every other distance code 6 bits or more.
void UseCheapFarDistanceCode(DeflateHarness& h) {
  int32_t* lengths = h.BlockLengths(0);
  for (int i = 0; i < 320; ++i) lengths[i] = 0;
  for (int i = 0; i <= 256; ++i) lengths[i] = 9;
  for (int i = 257; i < 286; ++i) lengths[i] = 7;
  for (int d = 0; d < 30; ++d) lengths[288 + d] = 6;
  lengths[288 + 6] = 1;
}

struct XtremeAndIntense {
  std::vector<DeflateToken> xtreme, intense;
};

// One pass of "Xtreme!" and one of "Intense" under that code.
XtremeAndIntense ParseWithCheapFarCode(const std::string& s) {
  const std::vector<uint8_t> data(s.begin(), s.end());
  DeflateHarness xtreme(0), intense(1);
  UseCheapFarDistanceCode(xtreme);
  UseCheapFarDistanceCode(intense);
  EXPECT_TRUE(xtreme.Pass(data)) << xtreme.error;
  EXPECT_TRUE(intense.Pass(data)) << intense.error;
  return {xtreme.AllTokens(), intense.AllTokens()};
}

TEST(LzParser, XtremeAlsoTriesFartherDistancesWithCheaperCodes) {
  // At position 12 "xyz" lies at distance 3 (code 2, 6 bits) and at
  // distance 12 (code 6, 3 bits).  Only "Xtreme!" looks past the nearest.
  const XtremeAndIntense parses = ParseWithCheapFarCode("xyz" "123456" "xyz" "xyz");
  std::vector<DeflateToken> expected;
  for (char c : std::string("xyz123456")) expected.push_back({1, c});
  expected.push_back({3, 9});
  expected.push_back({3, 12});
  EXPECT_EQ(parses.xtreme, expected);
  expected.back() = {3, 3};
  EXPECT_EQ(parses.intense, expected);
}

TEST(LzParser, XtremeStepsBackOverARunToTheCheaperCodesFirstDistance) {
  // At position 21 "aaa" is p's whole run; the nearest candidate (distance
  // 4) lies at the end of a 20-byte run, so every distance 4..21 matches and
  // "Xtreme!" takes distance 9, the first of the cheap code 6.
  const XtremeAndIntense parses = ParseWithCheapFarCode(std::string(20, 'a') + "B" + "aaa" + "C");
  const std::vector<DeflateToken>& x = parses.xtreme;
  const std::vector<DeflateToken>& i = parses.intense;
  ASSERT_GE(x.size(), 2u);
  ASSERT_GE(i.size(), 2u);
  EXPECT_EQ(x[x.size() - 2], (DeflateToken{3, 9}));
  EXPECT_EQ(i[i.size() - 2], (DeflateToken{3, 4}));
  EXPECT_EQ(x.back(), (DeflateToken{1, 'C'}));
}

TEST(LzParser, HuffmanOnlyWritesLiteralsAndCodesEverySeenByte) {
  const std::vector<uint8_t> data = Text(5000);
  DeflateHarness h(3);
  for (int pass = 0; pass < 3; ++pass) {
    ASSERT_TRUE(h.Pass(data)) << h.error;
    for (const DeflateToken& t : h.AllTokens()) ASSERT_EQ(t.length, 1);
    ASSERT_EQ(h.AllTokens().size(), data.size());
  }
  // The last pass was written with the code the pass before computed.
  const oracle::TracedBlock& block = h.blocks.at(0);
  for (uint8_t b : data) EXPECT_GT(block.litLenLengths[b], 0) << int(b);
}

TEST(LzParser, BlocksWithoutMatchesDescribeTheDistanceCodesMintreecodesAsks) {
  const std::vector<uint8_t> data = Text(2000);
  const std::vector<int> expected[3] = {{0}, {1}, {1, 1}};
  for (int mintreecodes = 0; mintreecodes < 3; ++mintreecodes) {
    DeflateHarness h(3, mintreecodes);
    ASSERT_TRUE(h.Pass(data)) << h.error;
    ASSERT_TRUE(h.Pass(data)) << h.error;  // written with the lengths of pass 1
    EXPECT_EQ(h.blocks.at(0).distanceLengths, expected[mintreecodes]) << "mintreecodes " << mintreecodes;
  }
}

TEST(LzParser, DistanceOf32768IsUsedAnd32769Never) {
  for (int strategy : {0, 1, 2}) {
    SCOPED_TRACE(strategy);
    std::vector<uint8_t> exact = RandomBytes(32768, 11);
    exact.insert(exact.end(), exact.begin(), exact.begin() + 400);
    DeflateHarness h(strategy);
    ASSERT_TRUE(h.Pass(exact)) << h.error;
    const std::vector<DeflateToken> tokens = h.AllTokens();
    EXPECT_TRUE(std::any_of(tokens.begin(), tokens.end(), [](const DeflateToken& t) { return t.value == 32768 && t.length > 1; }));

    std::vector<uint8_t> beyond = RandomBytes(32769, 11);
    beyond.insert(beyond.end(), beyond.begin(), beyond.begin() + 400);
    DeflateHarness far(strategy);
    ASSERT_TRUE(far.Pass(beyond)) << far.error;
    for (const DeflateToken& t : far.AllTokens()) {
      if (t.length > 1) {
        EXPECT_LE(t.value, 32768);
      }
    }
  }
}

TEST(LzParser, MatchesNeverCrossBlockEnds) {
  const std::vector<uint8_t> data = ImageLike(20000, 3);
  for (int strategy : {0, 1, 2, 3}) {
    SCOPED_TRACE(strategy);
    DeflateHarness h(strategy);
    h.SetBlockEnds({1000, 1001, 7777, 15000});
    for (int pass = 0; pass < 2; ++pass) {
      ASSERT_TRUE(h.Pass(data)) << h.error;
      ASSERT_EQ(h.blocks.size(), 5u);
      const int32_t ends[] = {1000, 1001, 7777, 15000, 20000};
      int32_t pos = 0;
      for (size_t k = 0; k < h.blocks.size(); ++k) {
        for (const DeflateToken& t : h.blocks[k].tokens) pos += t.length;
        EXPECT_EQ(pos, ends[k]) << "block " << k;
        EXPECT_EQ(h.blocks[k].final, k + 1 == h.blocks.size());
      }
    }
  }
}

TEST(LzParser, VeryLongRunsUnderXtremeCommitBeforeThePathRingFills) {
  // Every position sees a 258-byte match, so paths never meet on their own
  // and the parser must cut the stretch itself.
  std::vector<uint8_t> data = Repeated(0, 270000);
  const std::vector<uint8_t> pattern = RandomBytes(7, 1);
  for (size_t i = 0; i < 30000; ++i) data.push_back(pattern[i % 7]);
  DeflateHarness h(0);
  for (int pass = 0; pass < 2; ++pass) ASSERT_TRUE(h.Pass(data)) << h.error;
  EXPECT_LT(h.streamBytes(), 10000);
}

struct RoundTripCase {
  const char* name;
  std::vector<uint8_t> data;
};

std::vector<RoundTripCase> RoundTripCases() {
  std::vector<uint8_t> mixed = RandomBytes(3000, 4, 3);
  const std::vector<uint8_t> image = ImageLike(60000, 8);
  mixed.insert(mixed.end(), image.begin(), image.end());
  return {
      {"empty", {}},
      {"one byte", {42}},
      {"two bytes", {1, 2}},
      {"short run", Repeated(9, 5)},
      {"random", RandomBytes(20000, 1)},
      {"small alphabet", RandomBytes(30000, 2, 4)},
      {"text", Text(40000)},
      {"image-like", ImageLike(60000, 9)},
      {"runs and noise", mixed},
      {"long run", Repeated(200, 70000)},
  };
}

TEST(LzParser, EveryStrategyRoundTripsPassAfterPass) {
  int index = 0;
  for (const RoundTripCase& c : RoundTripCases()) {
    ++index;
    for (int strategy : {0, 1, 2, 3}) {
      const int mintreecodes = (index + strategy) % 3;
      SCOPED_TRACE(std::string(c.name) + " strategy " + std::to_string(strategy) + " mintreecodes " +
                   std::to_string(mintreecodes));
      DeflateHarness h(strategy, mintreecodes);
      if (c.data.size() > 100) h.SetBlockEnds({int32_t(c.data.size() / 3), int32_t(c.data.size() / 2)});
      int64_t previous = INT64_MAX;
      for (int pass = 0; pass < 3; ++pass) {
        ASSERT_TRUE(h.Pass(c.data)) << "pass " << pass << ": " << h.error;
        if (pass > 0) {
          EXPECT_LE(h.streamBytes(), previous + previous / 50 + 64);
        }
        previous = h.streamBytes();
      }
    }
  }
}

TEST(LzParser, XtremeParseIsNoDearerThanGreedyOrLiteralsUnderTheSameCode) {
  for (const RoundTripCase& c : RoundTripCases()) {
    if (c.data.size() < 100) continue;
    SCOPED_TRACE(c.name);
    DeflateHarness xtreme(0), intense(1), greedy(2);
    ASSERT_TRUE(xtreme.Pass(c.data)) << xtreme.error;
    ASSERT_TRUE(intense.Pass(c.data)) << intense.error;
    ASSERT_TRUE(greedy.Pass(c.data)) << greedy.error;
    // All three start from the same code, so their data bits compare.
    const oracle::TracedBlock& code = xtreme.blocks.at(0);
    const int64_t x = DeflateHarness::DataBits(code, xtreme.AllTokens());
    const int64_t i = DeflateHarness::DataBits(code, intense.AllTokens());
    const int64_t g = DeflateHarness::DataBits(code, greedy.AllTokens());
    std::vector<DeflateToken> literals;
    for (uint8_t b : c.data) literals.push_back({1, b});
    EXPECT_LE(x, g);
    EXPECT_LE(x, i);
    EXPECT_LE(x, DeflateHarness::DataBits(code, literals));
  }
}

TEST(LzParser, SavedBitsReachZeroOnceTheCodeSettles) {
  const std::vector<uint8_t> data = Text(20000);
  DeflateHarness h(1);
  int pass = 0;
  for (; pass < 40; ++pass) {
    ASSERT_TRUE(h.Pass(data)) << h.error;
    if (h.savedBits() < 1) break;
  }
  EXPECT_LT(pass, 40);
}

}  // namespace
