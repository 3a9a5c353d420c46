// The split analysis on byte streams of known statistics, the cut search
// against a direct order-0 entropy computation.  Every split must cover its
// stream in order without an empty block.
#include <cmath>

#include "EngineRunSupport.h"
#include "engine/deflate/BlockSplitter.h"

namespace {

using namespace enginetest;

struct Segment { int length, low, span; };  // bytes drawn from [low, low + span)

Bytes Stream(const std::vector<Segment>& segments) {
  uint32_t state = 1;
  Bytes out;
  for (const Segment& s : segments)
    for (int i = 0; i < s.length; ++i) {
      state = state * 1664525u + 1013904223u;
      out.push_back(uint8_t(s.low + int((state >> 16) % uint32_t(s.span))));
    }
  return out;
}

struct SplitHarness {
  StageHarness h{{0}, 1};
  EngineContext& ctx() { return h.ctx(); }
  int Split(const Bytes& bytes, int numblocks, double threshold) {
    h.job().numblocks = numblocks, h.job().splitthreshold = threshold;
    return deflate::SplitBlocks(ctx(), bytes.data(), 0, int(bytes.size()));
  }
  std::vector<int> Ends(size_t size) {
    std::vector<int> ends;
    for (int b = 0; b < ctx().deflate.numBlocks; ++b) ends.push_back(ctx().deflate.blocks[b].end);
    EXPECT_TRUE(ctx().deflate.blocks[0].start == 0 && ends.front() > 0);
    EXPECT_EQ(std::adjacent_find(ends.begin(), ends.end(), std::greater_equal<int>()), ends.end());
    EXPECT_EQ(ends.back(), int(size));
    return ends;
  }
};

// Bits to code the bytes with one static order-0 model of their own.
double ModelBits(const uint8_t* bytes, int n) {
  int count[256] = {};
  for (int i = 0; i < n; ++i) ++count[bytes[i]];
  double bits = 0;
  for (int c : count) bits += c > 0 ? c * std::log2(double(n) / c) : 0;
  return bits;
}

TEST(FindSplit, AgreesWithExactEntropyOfBothSides) {
  // The logarithms are approximated incrementally, so the estimate is close to, not equal to, the direct one.
  for (const auto& segments : std::vector<std::vector<Segment>>{
           {{3000, 0, 64}, {2000, 32, 64}}, {{500, 0, 4}, {4500, 0, 256}}, {{1200, 10, 3}, {800, 0, 200}}}) {
    const Bytes bytes = Stream(segments);
    const int n = int(bytes.size());
    const double whole = ModelBits(bytes.data(), n);
    double bestGain = -1e300;
    int bestCut = 0;
    for (int k = 1; k < n; ++k) {
      const double gain = (whole - ModelBits(bytes.data(), k) - ModelBits(bytes.data() + k, n - k)) / 8;
      if (gain > bestGain) bestGain = gain, bestCut = k;
    }
    SplitHarness s;
    double gain = 0;
    const int cut = deflate::FindSplit(s.ctx(), bytes.data(), n, &gain);
    EXPECT_NEAR(cut, bestCut, 8) << segments[0].length;
    EXPECT_NEAR(gain, bestGain, 0.05 * bestGain + 2) << segments[0].length;
  }
}

TEST(FindSplit, PollsEvery65536BytesFromTheFirst) {
  const Bytes bytes = Stream({{65538, 0, 256}});
  for (const auto& [n, polls] : std::vector<std::pair<int, int>>{{2, 1}, {65537, 1}, {65538, 2}}) {
    SplitHarness s;
    double gain = 0;
    EXPECT_TRUE(deflate::FindSplit(s.ctx(), bytes.data(), n, &gain) > 0 && s.h.polls() == polls) << n;
  }
  SplitHarness stopped;
  stopped.h.StopAtPoll(1);
  double gain = 0;
  EXPECT_EQ(deflate::FindSplit(stopped.ctx(), bytes.data(), 65538, &gain), -1);
}

const std::vector<Segment> kThreeParts = {{4000, 0, 16}, {3000, 100, 16}, {5000, 200, 40}};

TEST(SplitBlocks, BothModesCutWhereStatisticsChange) {
  SplitHarness s;
  ASSERT_EQ(s.Split(Stream(kThreeParts), 3, 0), 0);
  EXPECT_EQ(s.Ends(12000), (std::vector<int>{4000, 7000, 12000}));

  SplitHarness overlapping;
  ASSERT_EQ(overlapping.Split(Stream({{4000, 0, 64}, {3000, 32, 64}, {5000, 60, 100}}), 3, 0), 0);
  const std::vector<int> ends = overlapping.Ends(12000);
  ASSERT_EQ(ends.size(), 3u);
  EXPECT_TRUE(std::abs(ends[0] - 4000) <= 60 && std::abs(ends[1] - 7000) <= 60) << ends[0] << " " << ends[1];

  SplitHarness threshold;
  ASSERT_EQ(threshold.Split(Stream(kThreeParts), 0, 256.0), 0);
  const std::vector<int> cuts = threshold.Ends(12000);
  EXPECT_TRUE(std::count(cuts.begin(), cuts.end(), 4000) && std::count(cuts.begin(), cuts.end(), 7000));

  for (int numblocks : {2, 5, 17}) {
    SplitHarness exact;
    const Bytes bytes = Stream({{3000, 0, 8}, {2000, 50, 100}, {1000, 0, 256}, {700, 7, 2}});
    ASSERT_EQ(exact.Split(bytes, numblocks, 0), 0);
    EXPECT_EQ(int(exact.Ends(bytes.size()).size()), numblocks);
  }
}

TEST(SplitBlocks, OneBlockCases) {
  const Bytes stream = Stream(kThreeParts), tiny = {5};
  const struct { const char* name; const Bytes* bytes; int numblocks; double threshold; } cases[] = {
      {"numblocks 1", &stream, 1, 256.0},       {"threshold above every gain", &stream, 0, 1e9},
      {"threshold 0", &stream, 0, 0.0},         {"threshold not a number", &stream, 0, std::nan("")},
      {"one byte by count", &tiny, 3, 0},       {"one byte by threshold", &tiny, 0, 1e-9},
  };
  for (const auto& c : cases) {
    SplitHarness s;
    EXPECT_TRUE(s.Split(*c.bytes, c.numblocks, c.threshold) == 0 && s.Ends(c.bytes->size()).size() == 1u) << c.name;
  }
  SplitHarness three;  // three bytes make at most three blocks
  ASSERT_EQ(three.Split({1, 2, 3}, 10, 0), 0);
  EXPECT_TRUE(three.Ends(3).size() == 2u || three.Ends(3).size() == 3u);
}

TEST(SplitBlocks, BothModesStopAt1024Blocks) {
  // Runs of one value, 64 bytes each: every run boundary is worth a cut.
  Bytes bytes;
  for (int r = 0; r < 1500; ++r) bytes.insert(bytes.end(), 64, uint8_t(r * 37 + 11));
  for (const auto& [numblocks, threshold] : std::vector<std::pair<int, double>>{{5000, 0.0}, {0, 1.0}}) {
    SplitHarness s;
    ASSERT_EQ(s.Split(bytes, numblocks, threshold), 0);
    EXPECT_EQ(s.ctx().deflate.numBlocks * 10000 + s.h.job().numblocks, 1024 * 10000 + (numblocks ? 1024 : 0));  // request lowered
    for (int e : s.Ends(bytes.size())) EXPECT_EQ(e % 64, 0) << e;  // cuts only at run boundaries
  }
}

}  // namespace
