#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/deflate/BlockSplitter.h"
#include "tests/engine/ColourTestSupport.h"

using namespace colourtest;

namespace {

// Deterministic bytes drawn from [low, low + span).
class ByteSource {
 public:
  explicit ByteSource(uint32_t seed) : m_state(seed) {}
  uint8_t Next(int low, int span) {
    m_state = m_state * 1664525u + 1013904223u;
    return uint8_t(low + int((m_state >> 16) % uint32_t(span)));
  }

 private:
  uint32_t m_state;
};

struct Segment {
  int length;
  int low;
  int span;
};

std::vector<uint8_t> Stream(const std::vector<Segment>& segments, uint32_t seed = 1) {
  ByteSource source(seed);
  std::vector<uint8_t> out;
  for (const Segment& s : segments) {
    for (int i = 0; i < s.length; ++i) out.push_back(source.Next(s.low, s.span));
  }
  return out;
}

// The context needs a job only for numblocks, splitthreshold and poll.
struct SplitHarness {
  StageHarness h{Pixels::FromList({0}, 1)};
  EngineContext& ctx() { return h.ctx(); }

  int Split(const std::vector<uint8_t>& bytes, int numblocks, double threshold) {
    h.job().numblocks = numblocks;
    h.job().splitthreshold = threshold;
    return deflate::SplitBlocks(ctx(), bytes.data(), 0, int(bytes.size()));
  }
  std::vector<int> Ends() {
    std::vector<int> ends;
    for (int b = 0; b < ctx().deflate.numBlocks; ++b) ends.push_back(ctx().deflate.blocks[b].end);
    return ends;
  }
};

// Bits to code the bytes with one static order-0 model of their own.
double ModelBits(const uint8_t* bytes, int n) {
  int count[256] = {};
  for (int i = 0; i < n; ++i) ++count[bytes[i]];
  double bits = 0;
  for (int c : count) {
    if (c > 0) bits += c * std::log2(double(n) / c);
  }
  return bits;
}

TEST(FindSplit, AgreesWithExactEntropyOfBothSides) {
  // The logarithms are approximated incrementally (and the left model is
  // slightly pessimistic), so the estimate is close to, not equal to, a
  // direct computation of the order-0 costs.
  const std::vector<std::vector<Segment>> streams = {
      {{3000, 0, 64}, {2000, 32, 64}},
      {{500, 0, 4}, {4500, 0, 256}},
      {{1200, 10, 3}, {800, 0, 200}},
  };
  for (const auto& segments : streams) {
    const std::vector<uint8_t> bytes = Stream(segments);
    const int n = int(bytes.size());
    const double whole = ModelBits(bytes.data(), n);
    double bestGain = -1e300;
    int bestCut = 0;
    for (int k = 1; k < n; ++k) {
      const double gain = (whole - ModelBits(bytes.data(), k) - ModelBits(bytes.data() + k, n - k)) / 8;
      if (gain > bestGain) {
        bestGain = gain;
        bestCut = k;
      }
    }
    SplitHarness s;
    double gain = 0;
    const int cut = deflate::FindSplit(s.ctx(), bytes.data(), n, &gain);
    EXPECT_NEAR(cut, bestCut, 8) << segments[0].length;
    EXPECT_NEAR(gain, bestGain, 0.05 * bestGain + 2) << segments[0].length;
    EXPECT_NEAR(cut, segments[0].length, 60);
  }
}

TEST(FindSplit, CutIsNeverAtTheEdges) {
  const std::vector<std::vector<uint8_t>> inputs = {
      {7, 7},
      {7, 7, 7, 7, 7, 7},
      {1, 2},
      {9, 1, 1, 1, 1, 1, 1},
      {1, 1, 1, 1, 1, 1, 9},
      Stream({{1000, 0, 256}}),
  };
  for (const auto& bytes : inputs) {
    SplitHarness s;
    double gain = 0;
    const int cut = deflate::FindSplit(s.ctx(), bytes.data(), int(bytes.size()), &gain);
    EXPECT_GE(cut, 1) << bytes.size();
    EXPECT_LE(cut, int(bytes.size()) - 1) << bytes.size();
  }
}

TEST(FindSplit, ShortRangeIsLeftAlone) {
  const uint8_t one[1] = {3};
  SplitHarness s;
  double gain = 123.5;
  EXPECT_EQ(deflate::FindSplit(s.ctx(), one, 1, &gain), 0);
  EXPECT_EQ(deflate::FindSplit(s.ctx(), one, 0, &gain), 0);
  EXPECT_EQ(gain, 123.5);
  EXPECT_EQ(s.h.polls(), 0);
}

TEST(FindSplit, PollsEvery65536BytesFromTheFirst) {
  const std::vector<uint8_t> bytes = Stream({{65538, 0, 256}});
  struct Case {
    int n;
    int polls;
  };
  for (const Case& c : {Case{2, 1}, Case{65537, 1}, Case{65538, 2}}) {
    SplitHarness s;
    double gain = 0;
    EXPECT_GT(deflate::FindSplit(s.ctx(), bytes.data(), c.n, &gain), 0);
    EXPECT_EQ(s.h.polls(), c.polls) << c.n;
  }
  SplitHarness stopped;
  stopped.h.StopAtPoll(1);
  double gain = 0;
  EXPECT_EQ(deflate::FindSplit(stopped.ctx(), bytes.data(), 65538, &gain), -1);
}

const std::vector<Segment> kThreeParts = {{4000, 0, 16}, {3000, 100, 16}, {5000, 200, 40}};

TEST(SplitBlocks, RequestedCountCutsWhereStatisticsChange) {
  SplitHarness s;
  ASSERT_EQ(s.Split(Stream(kThreeParts), 3, 0), 0);
  EXPECT_EQ(s.Ends(), (std::vector<int>{4000, 7000, 12000}));

  SplitHarness overlapping;
  ASSERT_EQ(overlapping.Split(Stream({{4000, 0, 64}, {3000, 32, 64}, {5000, 60, 100}}), 3, 0), 0);
  const std::vector<int> ends = overlapping.Ends();
  ASSERT_EQ(ends.size(), 3u);
  EXPECT_NEAR(ends[0], 4000, 60);
  EXPECT_NEAR(ends[1], 7000, 60);
  EXPECT_EQ(ends[2], 12000);
}

TEST(SplitBlocks, ThresholdCutsWhereStatisticsChange) {
  SplitHarness s;
  ASSERT_EQ(s.Split(Stream(kThreeParts), 0, 256.0), 0);
  const std::vector<int> ends = s.Ends();
  EXPECT_NE(std::find(ends.begin(), ends.end(), 4000), ends.end());
  EXPECT_NE(std::find(ends.begin(), ends.end(), 7000), ends.end());
  EXPECT_TRUE(std::is_sorted(ends.begin(), ends.end()));
  EXPECT_EQ(ends.back(), 12000);
}

TEST(SplitBlocks, OneBlockCases) {
  const std::vector<uint8_t> stream = Stream(kThreeParts);
  const std::vector<uint8_t> tiny = {5};
  struct Case {
    const char* name;
    const std::vector<uint8_t>* bytes;
    int numblocks;
    double threshold;
  };
  const Case cases[] = {
      {"numblocks 1", &stream, 1, 256.0},
      {"threshold above every gain", &stream, 0, 1e9},
      {"threshold 0", &stream, 0, 0.0},
      {"threshold not a number", &stream, 0, std::nan("")},
      {"one byte by count", &tiny, 3, 0},
      {"one byte by threshold", &tiny, 0, 1e-9},
  };
  for (const Case& c : cases) {
    SplitHarness s;
    ASSERT_EQ(s.Split(*c.bytes, c.numblocks, c.threshold), 0) << c.name;
    EXPECT_EQ(s.Ends(), (std::vector<int>{int(c.bytes->size())})) << c.name;
    EXPECT_EQ(s.ctx().deflate.blocks[0].start, 0) << c.name;
  }
}

TEST(SplitBlocks, ShortBlocksEndTheRequestedSplitting) {
  // Three bytes can make at most three blocks.
  SplitHarness s;
  ASSERT_EQ(s.Split({1, 2, 3}, 10, 0), 0);
  const std::vector<int> ends = s.Ends();
  EXPECT_LE(ends.size(), 3u);
  EXPECT_GE(ends.size(), 2u);
  EXPECT_EQ(ends.back(), 3);
}

// Runs of one byte value, 64 bytes each, the value changing every run:
// every run boundary is worth a cut.
std::vector<uint8_t> ManyRuns(int runs) {
  std::vector<uint8_t> bytes;
  for (int r = 0; r < runs; ++r) bytes.insert(bytes.end(), 64, uint8_t(r * 37 + 11));
  return bytes;
}

TEST(SplitBlocks, CountIsCappedAt1024) {
  SplitHarness s;
  const std::vector<uint8_t> bytes = ManyRuns(1500);
  ASSERT_EQ(s.Split(bytes, 5000, 0), 0);
  EXPECT_EQ(s.h.job().numblocks, 1024);
  EXPECT_EQ(s.ctx().deflate.numBlocks, 1024);
  const std::vector<int> ends = s.Ends();
  EXPECT_TRUE(std::is_sorted(ends.begin(), ends.end()));
  EXPECT_EQ(std::adjacent_find(ends.begin(), ends.end()), ends.end());  // no empty block
  EXPECT_EQ(ends.back(), int(bytes.size()));
}

TEST(SplitBlocks, ThresholdModeStopsAt1024Blocks) {
  SplitHarness s;
  const std::vector<uint8_t> bytes = ManyRuns(1500);
  ASSERT_EQ(s.Split(bytes, 0, 1.0), 0);
  EXPECT_EQ(s.ctx().deflate.numBlocks, 1024);
  const std::vector<int> ends = s.Ends();
  EXPECT_TRUE(std::is_sorted(ends.begin(), ends.end()));
  EXPECT_EQ(ends.back(), int(bytes.size()));
  for (int e : ends) EXPECT_EQ(e % 64, 0) << e;  // cuts only at run boundaries
}

TEST(SplitBlocks, BlocksCoverTheStreamWithoutGaps) {
  for (int numblocks : {2, 5, 17}) {
    SplitHarness s;
    const std::vector<uint8_t> bytes = Stream({{3000, 0, 8}, {2000, 50, 100}, {1000, 0, 256}, {700, 7, 2}});
    ASSERT_EQ(s.Split(bytes, numblocks, 0), 0);
    const std::vector<int> ends = s.Ends();
    ASSERT_EQ(int(ends.size()), numblocks);
    int previous = 0;
    for (int e : ends) {
      EXPECT_GT(e, previous);
      previous = e;
    }
    EXPECT_EQ(previous, int(bytes.size()));
  }
}

TEST(SplitBlocks, StopRequestFails) {
  const std::vector<uint8_t> bytes = Stream(kThreeParts);
  for (int numblocks : {3, 0}) {
    for (int stopAt : {0, 1, 2}) {
      SplitHarness s;
      s.h.StopAtPoll(stopAt);
      EXPECT_EQ(s.Split(bytes, numblocks, 256.0), -1) << numblocks << " " << stopAt;
    }
  }
}

}  // namespace
