// The winner's last deflate at several levels on one file: each level's
// stream replaces the file's only when it is smaller than the one the file
// holds by then, zlib inflates every stream to the same rows, and every other
// chunk stays byte for byte.  Files it cannot read back are left alone.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cli/OptimalRedeflate.h"
#include "support/Oracles.h"

namespace {

size_t IdatBytes(const std::vector<oracle::Chunk>& chunks) {
  size_t total = 0;
  for (const auto& c : chunks) total += c.type == "IDAT" ? c.data.size() : 0;
  return total;
}

std::vector<oracle::Chunk> AllButIdat(const std::vector<oracle::Chunk>& chunks) {
  std::vector<oracle::Chunk> rest;
  for (const auto& c : chunks) {
    if (c.type != "IDAT") rest.push_back(c);
  }
  return rest;
}

bool SameChunks(const std::vector<oracle::Chunk>& a, const std::vector<oracle::Chunk>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].type != b[i].type || a[i].data != b[i].data) return false;
  }
  return true;
}

std::vector<uint8_t> Text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// A suite image's rows deflated by zlib over IDAT chunks of 100 bytes, with
// text before and after the image data.
std::vector<uint8_t> SuiteImageWithText(const char* name) {
  const std::vector<uint8_t> source = oracle::ReadFile(oracle::DataDir() / "pngsuite" / name);
  std::vector<oracle::Chunk> chunks;
  std::vector<uint8_t> rows;
  EXPECT_TRUE(oracle::ListChunks(source, chunks) && oracle::InflateIdat(source, rows)) << name;
  oracle::PngFile png;
  png.Chunk("IHDR", chunks.at(0).data);
  for (const auto& c : chunks) {
    if (c.type == "PLTE" || c.type == "tRNS") png.Chunk(c.type, c.data);
  }
  png.Chunk("tEXt", Text(std::string("Title") + '\0' + "before"));
  png.Image(rows, 100).Chunk("tEXt", Text(std::string("Comment") + '\0' + "after")).End();
  return png.bytes;
}

}  // namespace

TEST(ImageDataRedeflate, EachLevelKeepsOnlyASmallerStreamAndTheRows) {
  // A level repeated must find nothing smaller than its own stream.
  const int levels[] = {1, 3, 3, 2, 1};
  for (const char* name : {"basn2c08.png", "basn3p08.png", "tbbn3p08.png", "basi0g08.png", "basn6a08.png"}) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> png = SuiteImageWithText(name);
    std::vector<oracle::Chunk> before;
    std::vector<uint8_t> rows;
    ASSERT_TRUE(oracle::ListChunks(png, before) && oracle::InflateIdat(png, rows));
    oracle::Image pixels;
    ASSERT_TRUE(oracle::DecodePng(png, pixels));
    ImageDataRedeflate redeflate(png);
    bool anyReplaced = false;
    for (int level : levels) {
      SCOPED_TRACE(level);
      const bool replaced = redeflate.AtLevel(level);
      std::vector<oracle::Chunk> after;
      std::vector<uint8_t> inflated;
      ASSERT_TRUE(oracle::ListChunks(png, after) && oracle::InflateIdat(png, inflated));
      EXPECT_EQ(replaced, IdatBytes(after) < IdatBytes(before));
      EXPECT_LE(IdatBytes(after), IdatBytes(before));
      EXPECT_TRUE(inflated == rows);
      EXPECT_TRUE(SameChunks(AllButIdat(after), AllButIdat(before)));
      oracle::Image decoded;
      ASSERT_TRUE(oracle::DecodePng(png, decoded));
      EXPECT_EQ(decoded, pixels);
      anyReplaced = anyReplaced || replaced;
      before = after;
    }
    // zlib's best leaves the optimal parser room on every one of these.
    EXPECT_TRUE(anyReplaced);
  }
}

TEST(ImageDataRedeflate, FilesItCannotReadBackAreLeftAlone) {
  const std::vector<uint8_t> sound = SuiteImageWithText("basn2c08.png");
  std::vector<oracle::Chunk> chunks;
  ASSERT_TRUE(oracle::ListChunks(sound, chunks));
  std::vector<uint8_t> stream;
  for (const auto& c : chunks) {
    if (c.type == "IDAT") stream.insert(stream.end(), c.data.begin(), c.data.end());
  }
  std::vector<uint8_t> truncated(stream.begin(), stream.begin() + stream.size() / 2);
  std::vector<uint8_t> actl(8, 0);
  actl[3] = 1;
  struct Case {
    const char* what;
    std::vector<uint8_t> png;
  };
  const Case cases[] = {
      {"not a PNG", Text("GIF89a not a PNG at all")},
      {"the stream cut in half", oracle::PngFile().Chunk("IHDR", chunks.at(0).data).Chunk("IDAT", truncated).End().bytes},
      {"no image data", oracle::PngFile().Chunk("IHDR", chunks.at(0).data).End().bytes},
      {"an animation", oracle::PngFile().Chunk("IHDR", chunks.at(0).data).Chunk("acTL", actl).Chunk("IDAT", stream).End().bytes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> png = c.png;
    ImageDataRedeflate redeflate(png);
    for (int level : {1, 2}) EXPECT_FALSE(redeflate.AtLevel(level));
    EXPECT_TRUE(png == c.png);
  }
}

// Rows written with None where Up makes each one a single byte over and
// over: choosing the filters again under the stream's codes takes another
// filter on those rows, and the file keeps its pixels (libpng) and every
// other chunk.  Interlaced images and packed pixels are left alone.
TEST(ImageDataRedeflate, RetriedFiltersKeepThePixelsAndOnlyShrink) {
  const uint32_t width = 64, height = 48;
  std::vector<uint8_t> rows;
  for (uint32_t y = 0; y < height; ++y) {
    rows.push_back(y % 6 == 3 ? 0 : 2);
    for (uint32_t x = 0; x < width * 3; ++x) {
      const uint32_t noise = (x * 0x9E3779B1u) >> 24;
      if (y % 6 == 3) rows.push_back(uint8_t(noise + y));
      else rows.push_back(y == 0 ? uint8_t(noise) : 1);
    }
  }
  std::vector<uint8_t> png = oracle::PngFile()
                                 .Header(width, height, 8, 2)
                                 .Chunk("tEXt", Text(std::string("Title") + '\0' + "rows"))
                                 .Image(rows, 200)
                                 .End()
                                 .bytes;
  oracle::Image pixels;
  std::vector<oracle::Chunk> before;
  ASSERT_TRUE(oracle::DecodePng(png, pixels) && oracle::ListChunks(png, before));
  ImageDataRedeflate redeflate(png);
  ASSERT_TRUE(redeflate.AtLevel(2));
  std::vector<oracle::Chunk> deflated;
  ASSERT_TRUE(oracle::ListChunks(png, deflated));
  search::RetrialEffort effort;
  effort.threads = 2;
  EXPECT_TRUE(redeflate.WithRetriedFilters(1, 2, {effort, effort}));
  std::vector<oracle::Chunk> after;
  std::vector<uint8_t> inflated;
  ASSERT_TRUE(oracle::ListChunks(png, after) && oracle::InflateIdat(png, inflated));
  EXPECT_LT(IdatBytes(after), IdatBytes(deflated));
  EXPECT_TRUE(SameChunks(AllButIdat(after), AllButIdat(before)));
  oracle::Image decoded;
  ASSERT_TRUE(oracle::DecodePng(png, decoded));
  EXPECT_EQ(decoded, pixels);
  ASSERT_EQ(inflated.size(), rows.size());
  const size_t stride = width * 3 + 1;
  for (uint32_t y = 3; y < height; y += 6) EXPECT_NE(0, inflated[y * stride]) << "row " << y;

  for (const char* name : {"basi2c08.png", "basn0g04.png"}) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> suite = SuiteImageWithText(name);
    const std::vector<uint8_t> original = suite;
    ImageDataRedeflate other(suite);
    EXPECT_FALSE(other.WithRetriedFilters(1, 2, {search::RetrialEffort{}}));
    EXPECT_TRUE(suite == original);
  }
}

// A caller that leaves the rows' deflate at the level to the retrial gets it
// even when no sweep changes a row (here no row can pass the margin), with
// the plans it asks for run through its runner; one that does not leaves
// the file alone.  Either way the pixels and the other chunks stay.
TEST(ImageDataRedeflate, UnchangedRowsAreDeflatedOnlyWhenTheRetrialStandsForTheLevel) {
  search::RetrialEffort noChange;
  noChange.marginBits = 1e12;
  for (const bool unchangedToo : {false, true}) {
    SCOPED_TRACE(unchangedToo ? "unchanged too" : "retried rows only");
    std::vector<uint8_t> png = SuiteImageWithText("basn2c08.png");
    const std::vector<uint8_t> original = png;
    oracle::Image pixels;
    std::vector<oracle::Chunk> before;
    ASSERT_TRUE(oracle::DecodePng(png, pixels) && oracle::ListChunks(png, before));
    std::vector<size_t> counts;
    const deflate::RunEach runner = [&counts](size_t count, const std::function<void(size_t)>& fn) {
      counts.push_back(count);
      for (size_t k = 0; k < count; ++k) fn(k);
    };
    ImageDataRedeflate redeflate(png);
    EXPECT_EQ(redeflate.WithRetriedFilters(1, 2, {noChange}, 3, runner, unchangedToo), unchangedToo);
    if (!unchangedToo) {
      EXPECT_TRUE(png == original);
      EXPECT_TRUE(counts.empty());
      continue;
    }
    // Two plans first, the third only when those two differ in size.
    EXPECT_TRUE(counts == std::vector<size_t>{2} || counts == (std::vector<size_t>{2, 1}));
    std::vector<oracle::Chunk> after;
    oracle::Image decoded;
    ASSERT_TRUE(oracle::ListChunks(png, after) && oracle::DecodePng(png, decoded));
    EXPECT_LT(IdatBytes(after), IdatBytes(before));
    EXPECT_TRUE(SameChunks(AllButIdat(after), AllButIdat(before)));
    EXPECT_EQ(decoded, pixels);
  }
}
