// The winner's last deflate at several levels on one file: each level's
// stream replaces the file's only when it is smaller than the one the file
// holds by then, zlib inflates every stream to the same rows, and every other
// chunk stays byte for byte.  Files it cannot read back are left alone.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cli/EffortLevels.h"
#include "cli/OptimalRedeflate.h"
#include "cli/CliSupport.h"
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

// When no sweep changes a row (here no row can pass the margin) the retrial
// leaves the file alone and runs no plan; the caller's own deflate of the
// rows as they are then runs the plans it asks for through its runner.
// Either way the pixels and the other chunks stay.
TEST(ImageDataRedeflate, UnchangedRowsAreLeftToTheCallersOwnDeflate) {
  search::RetrialEffort noChange;
  noChange.marginBits = 1e12;
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
  EXPECT_FALSE(redeflate.WithRetriedFilters(1, 2, {noChange}, 3, runner));
  EXPECT_TRUE(png == original);
  EXPECT_TRUE(counts.empty());

  EXPECT_TRUE(redeflate.AtLevel(2, 3, runner));
  // Two plans first, the third only when those two differ in size.
  EXPECT_TRUE(counts == std::vector<size_t>{2} || counts == (std::vector<size_t>{2, 1}));
  std::vector<oracle::Chunk> after;
  oracle::Image decoded;
  ASSERT_TRUE(oracle::ListChunks(png, after) && oracle::DecodePng(png, decoded));
  EXPECT_LT(IdatBytes(after), IdatBytes(before));
  EXPECT_TRUE(SameChunks(AllButIdat(after), AllButIdat(before)));
  EXPECT_EQ(decoded, pixels);
}

// A large palette image packed below 8 bits is one whose rows the filter
// retrial does not take; at the top effort its rows must still get the top
// level's deflate, which the retrial stands in for on large images.
TEST(ImageDataRedeflate, TopEffortDeflatesRowsTheRetrialCannotTake) {
  constexpr uint32_t kSide = 136;  // 18,496 pixels: more than a small image
  std::vector<uint8_t> index(kSide * kSide, 0);
  uint32_t state = 12345;
  auto next = [&state](uint32_t bound) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % bound;
  };
  for (int r = 0; r < 80; ++r) {
    const uint32_t x = next(kSide), y = next(kSide), w = next(30) + 1, h = next(20) + 1;
    const uint8_t colour = uint8_t(next(16));
    for (uint32_t j = y; j < std::min(kSide, y + h); ++j)
      for (uint32_t i = x; i < std::min(kSide, x + w); ++i) index[j * kSide + i] = colour;
  }
  std::vector<uint8_t> rows, palette;
  for (uint32_t y = 0; y < kSide; ++y) {
    rows.push_back(0);
    for (uint32_t x = 0; x < kSide; x += 2) rows.push_back(uint8_t(index[y * kSide + x] << 4 | index[y * kSide + x + 1]));
  }
  for (int k = 0; k < 16; ++k) palette.insert(palette.end(), {uint8_t(k * 16), uint8_t(255 - k * 13), uint8_t(k * 7)});
  oracle::PngFile source;
  source.Header(kSide, kSide, 4, 3).Chunk("PLTE", palette).Image(rows).End();
  oracle::TempDir dir;
  oracle::WriteFile(dir.path() / "in.png", source.bytes);

  const clitest::CommandResult run = clitest::RunVelkor("-o max --strip all --out max.png in.png", dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<uint8_t> written = oracle::ReadFile(dir.path() / "max.png");
  std::vector<oracle::Chunk> chunks;
  std::vector<uint8_t> writtenRows;
  ASSERT_TRUE(oracle::ListChunks(written, chunks) && oracle::InflateIdat(written, writtenRows));
  ASSERT_EQ(chunks.at(0).data.at(8), 4) << "still 4 bits per pixel";
  const EffortLevel& max = kEffortLevels[kEffortLevelCount - 1];
  std::vector<uint8_t> topLevel;
  DeflateAtLevel(writtenRows, max.winnerOptimalLevel, max.winnerPlans, {}, topLevel);
  EXPECT_LE(IdatBytes(chunks), topLevel.size());
}
