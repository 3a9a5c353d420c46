// The code description at the head of a dynamic block: written into a
// one-block stream that holds only the end-of-block symbol, then read back
// by the independent tracing decoder, which reports every code-length symbol.
#include <gtest/gtest.h>

#include <vector>

#include "DeflateHarness.h"
#include "engine/deflate/Huffman.h"

namespace {

using oracle::CodeLengthSymbol;

struct HeaderStream {
  oracle::TracedBlock block;
  std::string error;
  bool ok = false;
};

HeaderStream WriteHeader(const std::vector<int32_t>& lengths, int mintreecodes = 0) {
  EncodeJob job{};
  job.mintreecodes = mintreecodes;
  std::vector<uint8_t> buffer(4096);
  job.kbuf = buffer.data();
  job.kbufsize = int(buffer.size());
  EngineContext ctx;
  ctx.job = &job;
  BuildCrcTable(ctx);
  ctx.outPos = 0;
  ctx.deflate.bitBuffer = 0;
  ctx.deflate.bitCount = 0;
  deflate::PutBits(ctx, 0x78, 8);
  deflate::PutBits(ctx, 0x5E, 8);
  deflate::PutBits(ctx, 1, 1);  // final block
  deflate::PutBits(ctx, 2, 2);  // dynamic codes
  deflate::WriteTreeHeader(ctx, lengths.data());
  uint32_t codes[deflate::kSymbols];
  deflate::CanonicalCodes(lengths.data(), deflate::kLitLenCodes, codes);
  deflate::PutBits(ctx, codes[256], lengths[256]);
  deflate::PutBits(ctx, 0, (8 - ctx.deflate.bitCount) & 7);
  deflate::PutBits(ctx, 0, 8);  // Adler-32 of no data: 1
  deflate::PutBits(ctx, 0, 8);
  deflate::PutBits(ctx, 0, 8);
  deflate::PutBits(ctx, 1, 8);

  HeaderStream result;
  std::vector<oracle::TracedBlock> blocks;
  std::vector<uint8_t> out;
  result.ok = oracle::TraceZlib(buffer.data(), size_t(ctx.outPos), blocks, out, &result.error);
  if (result.ok) result.block = blocks.at(0);
  // The table is left as it was found, and it is what the decoder read.
  for (int i = 0; i < result.block.hlit && result.ok; ++i)
    EXPECT_EQ(result.block.litLenLengths[size_t(i)], lengths[size_t(i)]) << "literal/length " << i;
  for (int i = 0; i < result.block.hdist && result.ok; ++i)
    EXPECT_EQ(result.block.distanceLengths[size_t(i)], lengths[size_t(288 + i)]) << "distance " << i;
  return result;
}

std::vector<CodeLengthSymbol> Prefix(const std::vector<CodeLengthSymbol>& v, size_t n) {
  return std::vector<CodeLengthSymbol>(v.begin(), v.begin() + std::min(n, v.size()));
}

TEST(TreeHeader, RunsOfEqualLengthsAndZerosUseTheirRepeatCodes) {
  std::vector<int32_t> lengths(deflate::kSymbols, 0);
  lengths[0] = 4;
  for (int i = 1; i <= 8; ++i) lengths[i] = 6;   // 8 equal after a different value
  for (int i = 9; i <= 17; ++i) lengths[i] = 7;  // a new value, then 8 equal to it
  // 18..159: 142 zeros
  for (int i = 160; i <= 256; ++i) lengths[i] = 9;
  const HeaderStream h = WriteHeader(lengths);
  ASSERT_TRUE(h.ok) << h.error;
  EXPECT_EQ(h.block.hlit, 257);
  EXPECT_EQ(h.block.hdist, 1);
  const std::vector<CodeLengthSymbol> expected = {
      {4, 0},
      {6, 0}, {16, 3}, {6, 0},    // value, repeat 6, value
      {7, 0}, {16, 2}, {16, 0},   // value, repeats of 5 and 3
      {18, 127}, {16, 1},         // 138 zeros, then 4 more repeat the zero
      {9, 0}};
  EXPECT_EQ(Prefix(h.block.header, expected.size()), expected);
  // No matches: one distance length, zero, written as itself.
  EXPECT_EQ(h.block.header.back(), (CodeLengthSymbol{0, 0}));
}

TEST(TreeHeader, ZeroRunsWithoutAZeroBeforeUseSymbol17) {
  std::vector<int32_t> lengths(deflate::kSymbols, 0);
  // 0..4: five zeros at the very start; 5: 8; 6..9: four zeros; 10: 8;
  // 11..22: twelve zeros; 23..256: 9.
  lengths[5] = 8;
  lengths[10] = 8;
  for (int i = 23; i <= 256; ++i) lengths[i] = 9;
  const HeaderStream h = WriteHeader(lengths);
  ASSERT_TRUE(h.ok) << h.error;
  const std::vector<CodeLengthSymbol> expected = {{17, 2}, {8, 0}, {17, 1}, {8, 0}, {18, 1}, {9, 0}};
  EXPECT_EQ(Prefix(h.block.header, expected.size()), expected);
}

TEST(TreeHeader, RunsCrossFromLiteralLengthsIntoDistanceLengths) {
  std::vector<int32_t> lengths(deflate::kSymbols, 0);
  for (int i = 0; i < 256; ++i) lengths[i] = 9;
  lengths[256] = 5;
  for (int d = 0; d < 5; ++d) lengths[288 + d] = 5;  // continues the run of symbol 256
  const HeaderStream h = WriteHeader(lengths);
  ASSERT_TRUE(h.ok) << h.error;
  EXPECT_EQ(h.block.hlit, 257);
  EXPECT_EQ(h.block.hdist, 5);
  const std::vector<CodeLengthSymbol> tail = {{5, 0}, {16, 2}};
  ASSERT_GE(h.block.header.size(), 2u);
  EXPECT_EQ(std::vector<CodeLengthSymbol>(h.block.header.end() - 2, h.block.header.end()), tail);
}

TEST(TreeHeader, TrailingUnusedCodesAreCutButNeverBelowTheMinimum) {
  struct Case {
    std::vector<int> distanceCodes;  // codes given length 5
    int lastLiteral;                 // highest literal/length symbol with a length
    int hlit;
    int hdist;
  };
  const Case cases[] = {
      {{}, 256, 257, 1},
      {{0}, 256, 257, 1},
      {{0, 1}, 257, 258, 2},
      {{3, 29}, 285, 286, 30},
      {{7}, 270, 271, 8},
  };
  for (const Case& c : cases) {
    std::vector<int32_t> lengths(deflate::kSymbols, 0);
    for (int i = 0; i <= c.lastLiteral; ++i) lengths[i] = 9;
    for (int d : c.distanceCodes) lengths[288 + d] = 5;
    const HeaderStream h = WriteHeader(lengths);
    ASSERT_TRUE(h.ok) << h.error;
    EXPECT_EQ(h.block.hlit, c.hlit);
    EXPECT_EQ(h.block.hdist, c.hdist);
  }
}

TEST(TreeHeader, CodeLengthCodeStaysWithinSevenBitsAndHclenIsCut) {
  // Every length 1..15 once (a complete code: 1/2 + 1/4 + ... + 2/32768)
  // between long zero runs: seventeen code-length symbols are in use.
  std::vector<int32_t> lengths(deflate::kSymbols, 0);
  for (int len = 1; len <= 14; ++len) lengths[size_t(len * 17)] = len;
  lengths[255] = 15;
  lengths[256] = 15;
  const HeaderStream h = WriteHeader(lengths);
  ASSERT_TRUE(h.ok) << h.error;
  for (int l : h.block.codeLengthLengths) EXPECT_LE(l, 7);
  // HCLEN stops at the last code-length symbol (in transmission order)
  // that is used.
  static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  EXPECT_TRUE(h.block.hclen == 4 || h.block.codeLengthLengths[size_t(order[h.block.hclen - 1])] > 0);
}

}  // namespace
