// Length-limited Huffman lengths and canonical code words, checked against
// properties that any correct code must have (Kraft equality, prefix-free
// words, optimal cost against an independent Huffman merge) and against the
// worked example of RFC 1951.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <queue>
#include <random>
#include <vector>

#include "engine/deflate/Huffman.h"

namespace {

std::vector<int32_t> Lengths(const std::vector<int32_t>& counts, int limit = 16, int mintreecodes = 0) {
  std::vector<int32_t> lengths(counts.size(), -1);
  deflate::HuffmanLengths(counts.data(), int(counts.size()), lengths.data(), limit, mintreecodes);
  return lengths;
}

// Sum of 2^-length over the used symbols, scaled by 2^20: exactly 2^20 for a
// complete code.
int64_t KraftSum(const std::vector<int32_t>& lengths) {
  int64_t sum = 0;
  for (int32_t len : lengths)
    if (len > 0) sum += int64_t(1) << (20 - len);
  return sum;
}

int64_t CodedBits(const std::vector<int32_t>& counts, const std::vector<int32_t>& lengths) {
  int64_t bits = 0;
  for (size_t i = 0; i < counts.size(); ++i)
    if (counts[i] > 0) bits += int64_t(counts[i]) * lengths[i];
  return bits;
}

// The cost of an optimal unrestricted prefix code: the sum of all merged
// weights, whatever order equal weights are merged in.
int64_t OptimalBits(const std::vector<int32_t>& counts) {
  std::priority_queue<int64_t, std::vector<int64_t>, std::greater<int64_t>> queue;
  for (int32_t c : counts)
    if (c > 0) queue.push(c);
  int64_t total = 0;
  while (queue.size() > 1) {
    const int64_t a = queue.top();
    queue.pop();
    const int64_t b = queue.top();
    queue.pop();
    total += a + b;
    queue.push(a + b);
  }
  return total;
}

int MaxLength(const std::vector<int32_t>& lengths) { return *std::max_element(lengths.begin(), lengths.end()); }

TEST(HuffmanLengths, FewerThanTwoUsedSymbolsFollowMintreecodes) {
  struct Case {
    std::vector<int32_t> counts;
    int mintreecodes;
    std::vector<int32_t> expected;
  };
  const Case cases[] = {
      {{0, 0, 0, 0}, 0, {0, 0, 0, 0}},
      {{0, 0, 0, 0}, 1, {1, 0, 0, 0}},
      {{0, 0, 0, 0}, 2, {1, 1, 0, 0}},
      {{0, 0, 7, 0}, 0, {0, 0, 1, 0}},
      {{0, 0, 7, 0}, 1, {0, 0, 1, 0}},
      {{0, 0, 7, 0}, 2, {0, 1, 1, 0}},  // even symbol: symbol 1 joins it
      {{0, 0, 0, 7}, 2, {1, 0, 0, 1}},  // odd symbol: symbol 0 joins it
      {{9, 0, 0, 0}, 2, {1, 1, 0, 0}},
      {{0, 9, 0, 0}, 2, {1, 1, 0, 0}},
      {{-5, 0, 3, -1}, 0, {0, 0, 1, 0}},  // negative counts are unused
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.counts) + " mintreecodes " + std::to_string(c.mintreecodes));
    EXPECT_EQ(Lengths(c.counts, 16, c.mintreecodes), c.expected);
  }
}

TEST(HuffmanLengths, OnlyEndOfBlockUsedGetsOneBit) {
  std::vector<int32_t> counts(286, 0);
  counts[256] = 1;
  std::vector<int32_t> lengths = Lengths(counts, 16, 2);
  for (int i = 0; i < 286; ++i) EXPECT_EQ(lengths[i], (i == 256 || i == 1) ? 1 : 0) << i;
}

TEST(HuffmanLengths, TwoSymbolsGetOneBitEach) {
  EXPECT_EQ(Lengths({0, 1000000, 0, 1}), (std::vector<int32_t>{0, 1, 0, 1}));
}

TEST(HuffmanLengths, RandomCountsGiveOptimalCompleteCodes) {
  std::mt19937 rng(12345);
  for (int trial = 0; trial < 2000; ++trial) {
    const int n = 2 + int(rng() % 60);
    std::vector<int32_t> counts(n);
    for (int32_t& c : counts) c = (rng() % 3 == 0) ? 0 : int32_t(rng() % (trial % 2 ? 10 : 100000));
    if (std::count_if(counts.begin(), counts.end(), [](int32_t c) { return c > 0; }) < 2) continue;
    const std::vector<int32_t> lengths = Lengths(counts);
    SCOPED_TRACE(testing::PrintToString(counts));
    ASSERT_EQ(KraftSum(lengths), int64_t(1) << 20);
    for (int i = 0; i < n; ++i) ASSERT_EQ(lengths[i] == 0, counts[i] <= 0);
    // These counts never need more than 15 bits, so no rescaling happens
    // and the code must be optimal.
    if (MaxLength(lengths) < 15) {
      ASSERT_EQ(CodedBits(counts, lengths), OptimalBits(counts));
    }
  }
}

TEST(HuffmanLengths, EqualNeighbouringCountsNeverGetLongerCodesUpward) {
  std::mt19937 rng(99);
  for (int trial = 0; trial < 1000; ++trial) {
    const int n = 3 + int(rng() % 40);
    std::vector<int32_t> counts(n);
    int32_t value = 1 + int32_t(rng() % 5);
    for (int32_t& c : counts) {
      if (rng() % 3 == 0) value = 1 + int32_t(rng() % 5);  // runs of equal counts
      c = value;
    }
    const std::vector<int32_t> lengths = Lengths(counts);
    for (int i = 0; i + 1 < n; ++i) {
      if (counts[i] == counts[i + 1]) {
        ASSERT_LE(lengths[i], lengths[i + 1]) << testing::PrintToString(counts);
      }
    }
    ASSERT_EQ(CodedBits(counts, lengths), OptimalBits(counts));
  }
}

// Fibonacci counts build the deepest possible tree: without rescaling the
// last symbols would need one more bit per symbol.
std::vector<int32_t> FibonacciCounts(int n) {
  std::vector<int32_t> counts(n);
  int64_t a = 1, b = 1;
  for (int i = 0; i < n; ++i) {
    counts[i] = int32_t(a);
    const int64_t next = a + b;
    a = b;
    b = next;
  }
  return counts;
}

TEST(HuffmanLengths, SkewedCountsAreRescaledUnderTheLimit) {
  struct Case {
    int n;
    int limit;
  };
  for (const Case c : {Case{30, 16}, Case{40, 16}, Case{19, 8}, Case{286, 16}}) {
    std::vector<int32_t> counts = FibonacciCounts(std::min(c.n, 44));
    counts.resize(c.n, 1);
    const std::vector<int32_t> lengths = Lengths(counts, c.limit);
    SCOPED_TRACE(testing::PrintToString(c.n));
    EXPECT_LT(MaxLength(lengths), c.limit);
    EXPECT_EQ(KraftSum(lengths), int64_t(1) << 20);
    for (int i = 0; i < c.n; ++i) EXPECT_GT(lengths[i], 0);
  }
}

TEST(HuffmanLengths, RescalingStaysNearOptimal) {
  // 16 symbols of Fibonacci counts would need 15 bits; a limit of 8 forces
  // a rescale, and the result must still beat a flat 4-bit code.
  const std::vector<int32_t> counts = FibonacciCounts(16);
  const std::vector<int32_t> lengths = Lengths(counts, 8);
  EXPECT_LE(MaxLength(lengths), 7);
  int64_t flat = 0;
  for (int32_t c : counts) flat += int64_t(c) * 4;
  EXPECT_LT(CodedBits(counts, lengths), flat);
  EXPECT_GE(CodedBits(counts, lengths), OptimalBits(counts));
}

uint32_t Reverse(uint32_t code, int length) {
  uint32_t r = 0;
  for (int i = 0; i < length; ++i, code >>= 1) r = (r << 1) | (code & 1);
  return r;
}

TEST(CanonicalCodes, MatchesTheRfc1951Example) {
  // RFC 1951, 3.2.2: lengths (3, 3, 3, 3, 3, 2, 4, 4) for A..H.
  const int32_t lengths[8] = {3, 3, 3, 3, 3, 2, 4, 4};
  const uint32_t expected[8] = {0b010, 0b011, 0b100, 0b101, 0b110, 0b00, 0b1110, 0b1111};
  uint32_t codes[8];
  deflate::CanonicalCodes(lengths, 8, codes);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Reverse(codes[i], lengths[i]), expected[i]) << i;
}

TEST(CanonicalCodes, CodesOfRandomLengthsArePrefixFree) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 300; ++trial) {
    const int n = 2 + int(rng() % 285);  // at most 286 symbols
    std::vector<int32_t> counts(n);
    for (int32_t& c : counts) c = (rng() % 4 == 0) ? 0 : int32_t(1 + rng() % (1 << (rng() % 20)));
    const std::vector<int32_t> lengths = Lengths(counts);
    std::vector<uint32_t> codes(n);
    deflate::CanonicalCodes(lengths.data(), n, codes.data());
    std::vector<std::pair<uint32_t, int>> words;  // most significant bit first
    for (int i = 0; i < n; ++i)
      if (lengths[i] > 0) {
        ASSERT_LT(codes[i], 1u << lengths[i]);
        words.push_back({Reverse(codes[i], lengths[i]), lengths[i]});
      }
    for (size_t a = 0; a < words.size(); ++a)
      for (size_t b = 0; b < words.size(); ++b) {
        if (a == b || words[a].second > words[b].second) continue;
        ASSERT_NE(words[b].first >> (words[b].second - words[a].second), words[a].first)
            << "word " << a << " is a prefix of word " << b;
      }
  }
}

}  // namespace
