// The window judge's parse: its bits under fixed-code and stored blocks,
// worked out by hand from RFC 1951's fixed code, and under the dynamic codes
// of a real stream, against the parse that stream holds as an independent
// decoder reads it (its tokens priced by its own code lengths).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/search/WindowParse.h"
#include "engine/deflate/OptimalDeflate.h"
#include "support/DeflateTrace.h"
#include "support/Oracles.h"

namespace {

using deflate::BlockKind;
using deflate::WrittenBlock;

// RFC 1951 3.2.6: literal/length 0-143 8 bits, 144-255 9, 256-279 7,
// 280-287 8; every distance code 5 bits.
WrittenBlock FixedBlock(size_t begin, size_t end) {
  WrittenBlock b;
  b.begin = begin;
  b.end = end;
  b.kind = BlockKind::Fixed;
  for (int s = 0; s < deflate::kLitLenCodes; ++s) b.literal[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
  for (int d = 0; d < deflate::kDistanceCodes; ++d) b.distance[d] = 5;
  return b;
}

WrittenBlock StoredBlock(size_t begin, size_t end) {
  WrittenBlock b;
  b.begin = begin;
  b.end = end;
  b.kind = BlockKind::Stored;
  return b;
}

std::vector<uint8_t> Repeated(const std::string& unit, int times) {
  std::vector<uint8_t> out;
  for (int i = 0; i < times; ++i) out.insert(out.end(), unit.begin(), unit.end());
  return out;
}

}  // namespace

TEST(WindowParse, FixedAndStoredBlocksPricedAsTheFormatSays) {
  const std::vector<uint8_t> abc = Repeated("abc", 50);  // 150 bytes
  std::vector<uint8_t> counting;
  for (int i = 0; i < 100; ++i) counting.push_back(uint8_t(i * 7 + 150));  // no three-byte repeat
  const struct {
    const char* name;
    std::vector<uint8_t> data;
    std::vector<WrittenBlock> blocks;
    size_t from;
    double bits;
  } cases[] = {
      // 'a' 'b' 'c' (8 bits each), then one match of 147 at distance 3:
      // symbol 281 (8 bits) + 5 extra, distance code 2 (5 bits).
      {"one match", abc, {FixedBlock(0, 150)}, 0, 24 + 13 + 5},
      // No match crosses a block's end: 3 literals and 72 at distance 3
      // (symbol 277: 7 + 4 extra, distance 5) in the first, 75 at
      // distance 3 in the second.
      {"two blocks", abc, {FixedBlock(0, 75), FixedBlock(75, 150)}, 0, (24 + 11 + 5) + (11 + 5)},
      // The window starts inside the data: its match reaches back.
      {"history", abc, {FixedBlock(0, 150)}, 75, 11 + 5},
      // Literals above 143 cost 9 bits.
      {"literals", counting, {FixedBlock(0, 100)}, 0, 0},
      // A stored block's bytes cost 8 bits each, repeats or not.
      {"stored", abc, {StoredBlock(0, 150)}, 0, 8 * 150},
      // 60 at distance 3 into the stored bytes: symbol 276, 7 + 3 extra.
      {"stored then fixed", abc, {StoredBlock(0, 90), FixedBlock(90, 150)}, 0, 8 * 90 + 10 + 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    double expected = c.bits;
    if (expected == 0)
      for (uint8_t b : c.data) expected += b < 144 ? 8 : 9;
    search::WindowParse judge(64);
    judge.SetBlocks(c.blocks);
    EXPECT_DOUBLE_EQ(expected, judge.Bits(c.data.data(), 0, c.from, c.data.size()));
  }
}

// The judge's shortest path under a real stream's codes costs no more than
// the parse the stream holds (the compressor's own, priced by the same
// code lengths), and not much less: the optimal parser's last parse of a
// block is made under the code it is written with.
TEST(WindowParse, AtMostTheWrittenParseUnderItsOwnCodes) {
  for (const char* name : {"basn2c08.png", "basn0g08.png", "f04n2c08.png", "PngSuite.png"}) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> rows;
    ASSERT_TRUE(oracle::InflateIdat(oracle::ReadFile(oracle::DataDir() / "pngsuite" / name), rows));
    std::vector<uint8_t> zlib;
    deflate::OptimalStats stats;
    deflate::OptimalDeflate(rows.data(), rows.size(), deflate::OptimalLevelSettings(3), zlib, &stats);
    std::vector<oracle::TracedBlock> traced;
    std::vector<uint8_t> inflated;
    ASSERT_TRUE(oracle::TraceZlib(zlib.data(), zlib.size(), traced, inflated));
    ASSERT_EQ(inflated, rows);
    ASSERT_EQ(traced.size(), stats.written.size());
    double written = 0;
    size_t at = 0;
    for (size_t k = 0; k < traced.size(); ++k) {
      const oracle::TracedBlock& t = traced[k];
      const WrittenBlock& w = stats.written[k];
      EXPECT_EQ(at, w.begin);
      at = w.end;
      // The decoder's own count of the bits the tokens took; a stored block's bytes 8 each.
      written += t.type == 0 ? 8.0 * double(w.end - w.begin) : double(t.tokenBits);
      if (t.type == 0) continue;
      // The stats carry the lengths the decoder reads.
      for (size_t s = 0; s < t.litLenLengths.size() && s < size_t(deflate::kLitLenCodes); ++s)
        EXPECT_EQ(t.litLenLengths[s], w.literal[s]);
      for (size_t d = 0; d < t.distanceLengths.size() && d < size_t(deflate::kDistanceCodes); ++d)
        EXPECT_EQ(t.distanceLengths[d], w.distance[d]);
      size_t covered = w.begin;
      for (const oracle::DeflateToken& token : t.tokens) covered += size_t(token.length);
      EXPECT_EQ(covered, w.end);
    }
    search::WindowParse judge(4096);
    judge.SetBlocks(stats.written);
    const double bits = judge.Bits(rows.data(), 0, 0, rows.size());
    EXPECT_LE(bits, written + 1e-3);
    EXPECT_GE(bits, written * 0.97);
  }
}
