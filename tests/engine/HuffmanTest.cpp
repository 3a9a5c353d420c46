// Length-limited Huffman lengths against properties of any correct code
// (Kraft equality, optimality against an independent merge), the tie and
// degenerate-table rules, and the code description as the tracing decoder reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <set>

#include "engine/EngineContext.h"
#include "engine/PngWriter.h"
#include "engine/deflate/BlockWriter.h"
#include "engine/deflate/Huffman.h"
#include "support/DeflateTrace.h"

namespace {

using oracle::CodeLengthSymbol;
using Symbols = std::vector<CodeLengthSymbol>;
using Counts = std::vector<int32_t>;

Counts Lengths(const Counts& counts, int limit = 16, int mintreecodes = 0) {
  Counts lengths(counts.size(), -1);
  deflate::HuffmanLengths(counts.data(), int(counts.size()), lengths.data(), limit, mintreecodes);
  return lengths;
}

// Sum of 2^-length over the used symbols, scaled by 2^20.
int64_t KraftSum(const Counts& lengths) {
  return std::accumulate(lengths.begin(), lengths.end(), int64_t(0),
                         [](int64_t sum, int32_t len) { return sum + (len > 0 ? int64_t(1) << (20 - len) : 0); });
}
int64_t CodedBits(const Counts& counts, const Counts& lengths) {
  return std::inner_product(counts.begin(), counts.end(), lengths.begin(), int64_t(0), std::plus<>(),
                            [](int32_t c, int32_t len) { return c > 0 ? int64_t(c) * len : 0; });
}

// The cost of an optimal unrestricted prefix code: the sum of all merged
// weights, whatever order equal weights are merged in.
int64_t OptimalBits(const Counts& counts) {
  std::multiset<int64_t> weights;
  for (int32_t c : counts)
    if (c > 0) weights.insert(c);
  int64_t total = 0;
  while (weights.size() > 1) {
    const int64_t merged = *weights.begin() + *std::next(weights.begin());
    weights.erase(weights.begin(), std::next(weights.begin(), 2));
    weights.insert(merged);
    total += merged;
  }
  return total;
}

TEST(HuffmanLengths, FewerThanThreeUsedSymbolsFollowMintreecodes) {
  Counts onlyEnd(286, 0), onlyEndLengths(286, 0);
  onlyEnd[256] = 1;
  onlyEndLengths[256] = onlyEndLengths[1] = 1;
  const struct { Counts counts; int mintreecodes; Counts expected; } cases[] = {
      {{0, 0, 0, 0}, 0, {0, 0, 0, 0}}, {{0, 0, 0, 0}, 1, {1, 0, 0, 0}}, {{0, 0, 0, 0}, 2, {1, 1, 0, 0}},
      {{0, 0, 7, 0}, 0, {0, 0, 1, 0}}, {{0, 0, 7, 0}, 1, {0, 0, 1, 0}},
      {{0, 0, 7, 0}, 2, {0, 1, 1, 0}},  // even symbol: symbol 1 joins it
      {{0, 0, 0, 7}, 2, {1, 0, 0, 1}},  // odd symbol: symbol 0 joins it
      {{9, 0, 0, 0}, 2, {1, 1, 0, 0}}, {{0, 9, 0, 0}, 2, {1, 1, 0, 0}},
      {{-5, 0, 3, -1}, 0, {0, 0, 1, 0}},  // negative counts are unused
      {{0, 1000000, 0, 1}, 0, {0, 1, 0, 1}}, {onlyEnd, 2, onlyEndLengths},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Lengths(c.counts, 16, c.mintreecodes), c.expected) << testing::PrintToString(c.counts) << " " << c.mintreecodes;
}

TEST(HuffmanLengths, RandomCountsGiveOptimalCompleteCodesAndEqualNeighboursNeverLongerUpward) {
  std::mt19937 rng(12345);
  for (int trial = 0; trial < 3000; ++trial) {
    // Scattered counts (with unused symbols), and runs of equal small counts for the tie rule.
    Counts counts(3 + rng() % 60);
    int32_t run = 1;
    for (int32_t& c : counts) {
      if (trial % 3 == 2) c = rng() % 3 ? run : (run = 1 + int32_t(rng() % 5));
      else c = rng() % 3 == 0 ? 0 : int32_t(rng() % (trial % 3 ? 10 : 100000));
    }
    if (std::count_if(counts.begin(), counts.end(), [](int32_t c) { return c > 0; }) < 2) continue;
    const Counts lengths = Lengths(counts);
    SCOPED_TRACE(testing::PrintToString(counts));
    ASSERT_EQ(KraftSum(lengths), int64_t(1) << 20);
    for (size_t i = 0; i < counts.size(); ++i) ASSERT_EQ(lengths[i] == 0, counts[i] <= 0);
    for (size_t i = 0; i + 1 < counts.size(); ++i) ASSERT_TRUE(counts[i] != counts[i + 1] || lengths[i] <= lengths[i + 1]) << i;
    // Below 15 bits no rescaling happens, so the code must be optimal.
    ASSERT_TRUE(*std::max_element(lengths.begin(), lengths.end()) >= 15 || CodedBits(counts, lengths) == OptimalBits(counts));
  }
}

TEST(HuffmanLengths, SkewedCountsAreRescaledUnderTheLimit) {
  // Fibonacci counts build the deepest possible tree.
  const std::pair<int, int> cases[] = {{30, 16}, {40, 16}, {19, 8}, {16, 8}, {286, 16}};
  for (const auto& [n, limit] : cases) {
    Counts counts;
    for (int64_t a = 1, b = 1; int(counts.size()) < std::min(n, 44); b += a, a = b - a) counts.push_back(int32_t(a));
    counts.resize(size_t(n), 1);
    const Counts lengths = Lengths(counts, limit);
    EXPECT_LT(*std::max_element(lengths.begin(), lengths.end()), limit) << n;
    EXPECT_TRUE(KraftSum(lengths) == int64_t(1) << 20 && std::count(lengths.begin(), lengths.end(), 0) == 0) << n;
    // Rescaling stays near optimal: better than a flat code of ceil(log2 n) bits.
    EXPECT_LT(CodedBits(counts, lengths), CodedBits(counts, Counts(counts.size(), 32 - __builtin_clz(unsigned(n - 1))))) << n;
  }
}

// The traced block, after checking the decoder read back the given table.
oracle::TracedBlock WriteHeader(const std::vector<int32_t>& lengths) {
  std::vector<uint8_t> buffer(4096);
  EncodeJob job{};
  job.kbuf = buffer.data(), job.kbufsize = int(buffer.size());
  EngineContext ctx;
  ctx.job = &job;
  BuildCrcTable(ctx);
  ctx.outPos = ctx.deflate.bitBuffer = ctx.deflate.bitCount = 0;
  deflate::PutBits(ctx, 0x5E78 | 5 << 16, 19);  // zlib header; a final block of dynamic codes
  deflate::WriteTreeHeader(ctx, lengths.data());
  uint32_t codes[deflate::kSymbols];
  deflate::CanonicalCodes(lengths.data(), deflate::kLitLenCodes, codes);
  deflate::PutBits(ctx, codes[256], lengths[256]);
  deflate::PutBits(ctx, 0, (8 - ctx.deflate.bitCount) & 7);
  deflate::PutBits(ctx, 0x01000000, 32);  // Adler-32 of no data, big-endian
  std::vector<oracle::TracedBlock> blocks;
  std::vector<uint8_t> out;
  EXPECT_TRUE(oracle::TraceZlib(buffer.data(), size_t(ctx.outPos), blocks, out));
  if (blocks.empty()) return {};
  const oracle::TracedBlock& b = blocks[0];
  for (int i = 0; i < b.hlit + b.hdist; ++i)
    EXPECT_EQ(i < b.hlit ? b.litLenLengths[size_t(i)] : b.distanceLengths[size_t(i - b.hlit)],
              lengths[size_t(i < b.hlit ? i : 288 + i - b.hlit)]) << "symbol " << i;
  return b;
}

// Literal/length code lengths by runs (first symbol, length) up to end, and
// the given distance codes at length 5.
std::vector<int32_t> Table(const std::vector<std::pair<int, int>>& runs, int end, const std::vector<int>& distances = {}) {
  std::vector<int32_t> lengths(deflate::kSymbols, 0);
  for (size_t k = 0; k < runs.size(); ++k)
    for (int i = runs[k].first; i < (k + 1 < runs.size() ? runs[k + 1].first : end); ++i) lengths[size_t(i)] = runs[k].second;
  for (int d : distances) lengths[size_t(288 + d)] = 5;
  return lengths;
}

TEST(TreeHeader, RunLengthWalksAndTrailingCuts) {
  const struct { const char* what; std::vector<int32_t> lengths; int hlit, hdist; Symbols head, tail; } cases[] = {
      {"8 equal after another value, 8 equal to the previous, 142 zeros",
       Table({{0, 4}, {1, 6}, {9, 7}, {18, 0}, {160, 9}}, 257), 257, 1,
       {{4, 0}, {6, 0}, {16, 3}, {6, 0}, {7, 0}, {16, 2}, {16, 0}, {18, 127}, {16, 1}, {9, 0}},
       {{0, 0}}},  // no matches: one zero distance length
      {"zero runs without a zero before them", Table({{0, 0}, {5, 8}, {6, 0}, {10, 8}, {11, 0}, {23, 9}}, 257), 257, 1,
       {{17, 2}, {8, 0}, {17, 1}, {8, 0}, {18, 1}, {9, 0}}, {{0, 0}}},
      {"a run crossing into the distance lengths", Table({{0, 9}, {256, 5}}, 257, {0, 1, 2, 3, 4}), 257, 5, {},
       {{5, 0}, {16, 2}}},
      {"one distance code 0", Table({{0, 9}}, 257, {0}), 257, 1, {}, {}},
      {"distance codes 0, 1", Table({{0, 9}}, 258, {0, 1}), 258, 2, {}, {}},
      {"distance codes 3, 29", Table({{0, 9}}, 286, {3, 29}), 286, 30, {}, {}},
      {"distance code 7", Table({{0, 9}}, 271, {7}), 271, 8, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const oracle::TracedBlock b = WriteHeader(c.lengths);
    EXPECT_EQ(b.hlit * 100 + b.hdist, c.hlit * 100 + c.hdist);
    ASSERT_GE(b.header.size(), c.head.size() + c.tail.size());
    EXPECT_EQ(Symbols(b.header.begin(), b.header.begin() + long(c.head.size())), c.head);
    EXPECT_EQ(Symbols(b.header.end() - long(c.tail.size()), b.header.end()), c.tail);
  }
}

TEST(TreeHeader, CodeLengthCodeStaysWithinSevenBitsAndHclenIsCut) {
  // Every length 1..15 (a complete code) between long zero runs: seventeen code-length symbols in use.
  std::vector<int32_t> lengths(deflate::kSymbols, 0);
  for (int len = 1; len <= 14; ++len) lengths[size_t(len * 17)] = len;
  lengths[255] = lengths[256] = 15;
  const oracle::TracedBlock b = WriteHeader(lengths);
  for (int l : b.codeLengthLengths) EXPECT_LE(l, 7);  // and HCLEN stops at the last used one in transmission order
  static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  EXPECT_TRUE(b.hclen == 4 || b.codeLengthLengths[size_t(order[b.hclen - 1])] > 0);
}

}  // namespace
