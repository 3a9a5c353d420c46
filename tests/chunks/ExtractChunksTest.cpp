#include "common/pngchunks/ExtractChunks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChunkBytesForTests.h"
#include "common/pngchunks/ChunkBytes.h"
#include "engine/EncodeJob.h"

namespace {

using chunks::ExtractChunks;
using chunks::kMaxExtractedChunks;
using chunktest::Bytes;
using chunktest::PngBuilder;
using chunktest::Text;

// A job as the write path prepares it: a 256-entry local palette table and
// a zero-filled array of room for the kept chunks.
struct Extraction {
  EncodeJob job{};
  std::vector<uint32_t> palette = std::vector<uint32_t>(256, 0);
  std::vector<uint8_t*> array = std::vector<uint8_t*>(kMaxExtractedChunks, nullptr);
  uint8_t colorType = 0xEE;
  uint8_t bitDepth = 0xEE;

  Extraction() {
    job.pal = palette.data();
    job.chunks = array.data();
  }
  void Run(Bytes& png, const char* keep) {
    ExtractChunks(job, png.data(), png.size(), keep, colorType, bitDepth);
  }
  std::vector<std::string> KeptTypes() const {
    std::vector<std::string> types;
    for (int i = 0; i < job.chunkcount; ++i) types.push_back(chunktest::TypeOf(job.chunks[i]));
    return types;
  }
  std::vector<int> Bounds() const { return {job.chunkpre, job.chunkmid, job.chunkpost, job.chunkcount}; }
};

// gAMA, cHRM and sRGB before PLTE, bKGD and pHYs between PLTE and IDAT,
// tEXt after IDAT; a palette image.
PngBuilder ExampleFile() {
  PngBuilder png(3, 8);
  png.Add("gAMA", {0, 0, 0xB1, 0x8F})
      .Add("cHRM", Bytes(32, 0))
      .Add("sRGB", {0})
      .Add("PLTE", {10, 20, 30, 40, 50, 60})
      .Add("tRNS", {0})
      .Add("bKGD", {1})
      .Add("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x13, 1})
      .Add("IDAT", {1, 2, 3})
      .Add("tEXt", Text("Title\0Sunset"))
      .Add("IEND", {});
  return png;
}

TEST(ExtractChunks, KeepsEverythingInFileOrderWithAll) {
  const PngBuilder builder = ExampleFile();
  Bytes png = builder.Build();
  Extraction x;
  x.Run(png, "ALL");
  EXPECT_EQ(x.Bounds(), (std::vector<int>{0, 3, 5, 6}));
  EXPECT_EQ(x.KeptTypes(), (std::vector<std::string>{"gAMA", "cHRM", "sRGB", "bKGD", "pHYs", "tEXt"}));
  const size_t chunkIndex[] = {1, 2, 3, 6, 7, 9};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(x.job.chunks[i], png.data() + builder.OffsetOf(chunkIndex[i])) << i;
  EXPECT_EQ(x.colorType, 3);
  EXPECT_EQ(x.bitDepth, 8);
  EXPECT_EQ(x.job.palcount, 2);
  EXPECT_EQ(x.palette[0], 0xFF0A141Eu);
  EXPECT_EQ(x.palette[1], 0xFF28323Cu);
  EXPECT_EQ(x.job.bkgd, 0xFF28323Cu);
}

TEST(ExtractChunks, KeepListForms) {
  struct Case {
    const char* keep;
    std::vector<std::string> kept;
    std::vector<int> bounds;
  };
  const std::vector<std::string> all = {"gAMA", "cHRM", "sRGB", "bKGD", "pHYs", "tEXt"};
  const Case cases[] = {
      {"ALL", all, {0, 3, 5, 6}},
      {"all", all, {0, 3, 5, 6}},
      {"aLl", all, {0, 3, 5, 6}},
      {"1", all, {0, 3, 5, 6}},
      {"gAMA,tEXt", {"gAMA", "tEXt"}, {0, 1, 1, 2}},
      {"tEXt,gAMA", {"gAMA", "tEXt"}, {0, 1, 1, 2}},
      {",,pHYs,", {"pHYs"}, {0, 0, 1, 1}},
      {"ALL,", {}, {0, 0, 0, 0}},
      {"Al", {}, {0, 0, 0, 0}},
      {"11", {}, {0, 0, 0, 0}},
      {"gama,TEXT", {}, {0, 0, 0, 0}},
      {"gAMA ,tEXt", {"tEXt"}, {0, 0, 0, 1}},
      {"tRNS,IEND,IHDR,PLTE,IDAT", {}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    Bytes png = ExampleFile().Build();
    Extraction x;
    std::string keep = c.keep;
    x.Run(png, keep.c_str());
    EXPECT_EQ(x.KeptTypes(), c.kept) << c.keep;
    EXPECT_EQ(x.Bounds(), c.bounds) << c.keep;
    EXPECT_EQ(keep, c.keep) << "the list must not be changed";
  }
}

TEST(ExtractChunks, NullOrEmptyKeepListLeavesTheJobAlone) {
  for (const char* keep : {static_cast<const char*>(nullptr), ""}) {
    Bytes png = ExampleFile().Build();
    Extraction x;
    x.job.chunkmid = x.job.chunkpost = x.job.chunkcount = 7;
    x.job.bkgd = 0x12345678;
    x.Run(png, keep);
    EXPECT_EQ(x.Bounds(), (std::vector<int>{0, 7, 7, 7}));
    EXPECT_EQ(x.job.bkgd, 0x12345678u);
    EXPECT_EQ(x.job.palcount, 0);
    EXPECT_EQ(x.colorType, 0xEE);
  }
}

TEST(ExtractChunks, NotAPngLeavesBoundsAndBackgroundAtZero) {
  Bytes notPng = Text("GIF89a, certainly not a PNG file at all");
  Extraction x;
  x.job.chunkcount = 3;
  x.job.bkgd = 0xFF00FF00;
  x.Run(notPng, "ALL");
  EXPECT_EQ(x.Bounds(), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(x.job.bkgd, 0u);
  EXPECT_EQ(x.colorType, 0xEE);

  Bytes empty;
  x.Run(empty, "ALL");
  EXPECT_EQ(x.job.bkgd, 0u);
}

TEST(ExtractChunks, ChunksBeforeTheHeaderAreNotKept) {
  Bytes png = {137, 80, 78, 71, 13, 10, 26, 10};
  for (const Bytes& raw : {chunktest::RawChunk("tEXt", Text("a\0b")),
                           chunktest::RawChunk("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0, 0}),
                           chunktest::RawChunk("tEXt", Text("c\0d"))}) {
    png.insert(png.end(), raw.begin(), raw.end());
  }
  png = Bytes(png.begin(), png.end());
  Extraction x;
  x.Run(png, "ALL");
  ASSERT_EQ(x.job.chunkcount, 1);
  EXPECT_EQ(x.job.chunks[0][8], 'c');
}

struct BackgroundCase {
  const char* name;
  uint8_t colorType;
  uint8_t bitDepth;
  Bytes bkgd;
  uint32_t expected;
};

TEST(ExtractChunks, BackgroundColour) {
  const BackgroundCase cases[] = {
      {"palette index 0", 3, 8, {0}, 0xFF0A141E},
      {"palette index 1", 3, 4, {1}, 0xFF28323C},
      {"palette index past the palette", 3, 8, {2}, 0},
      {"palette bKGD of grey length", 3, 8, {0, 1}, 0},
      {"4-bit grey 15", 0, 4, {0, 15}, 0xFFFFFFFF},
      {"2-bit grey+alpha 1", 4, 2, {0, 1}, 0xFF555555},
      {"8-bit grey 0", 0, 8, {0, 0}, 0xFF000000},
      {"16-bit grey is present but not used", 0, 16, {0x80, 0}, 0},
      {"grey above its bit depth", 0, 4, {0, 16}, 0},
      {"grey bKGD of palette length", 0, 8, {9}, 0},
      {"8-bit RGB", 2, 8, {0, 0x11, 0, 0x22, 0, 0x33}, 0xFF112233},
      {"16-bit RGBA", 6, 16, {0xFF, 0xFF, 0, 0, 0, 0}, 0},
      {"RGB bKGD of grey length", 2, 8, {0, 1}, 0},
  };
  for (const BackgroundCase& c : cases) {
    PngBuilder builder(c.colorType, c.bitDepth);
    builder.Add("PLTE", {10, 20, 30, 40, 50, 60}).Add("bKGD", c.bkgd).Add("IDAT", {0}).Add("IEND", {});
    Bytes png = builder.Build();
    Extraction x;
    x.Run(png, "ALL");
    EXPECT_EQ(x.job.bkgd, c.expected) << c.name;
    // A refused bKGD is still carried as a chunk; only its colour is not taken.
    EXPECT_EQ(x.KeptTypes(), std::vector<std::string>{"bKGD"}) << c.name;
  }
}

TEST(ExtractChunks, BackgroundOnlyCountsWhenTheChunkIsKept) {
  Bytes png = ExampleFile().Build();
  Extraction x;
  x.Run(png, "gAMA");
  EXPECT_EQ(x.job.bkgd, 0u);
}

TEST(ExtractChunks, PaletteIsCutToTheRoomOfTheJobsPalette) {
  Bytes plte;
  for (int i = 0; i < 300; ++i) plte.insert(plte.end(), {uint8_t(i), uint8_t(i >> 8), 7});
  plte.push_back(99);  // a stray byte: not a whole entry
  PngBuilder builder(3, 8);
  builder.Add("PLTE", plte).Add("bKGD", {255}).Add("IEND", {});

  {  // an Indexed host document: the room is its palette's entries
    Bytes png = builder.Build();
    Extraction x;
    x.palette.assign(16, 0xDEADBEEF);
    x.palette.shrink_to_fit();
    x.job.pal = x.palette.data();
    x.job.palcount = 16;
    x.Run(png, "ALL");
    EXPECT_EQ(x.job.palcount, 16);
    EXPECT_EQ(x.palette[15], 0xFF0F0007u);
    EXPECT_EQ(x.job.bkgd, 0u) << "index 255 lies outside the 16 entries copied";
  }
  {  // an RGB host document: a 256-entry table that came with no entries
    Bytes png = builder.Build();
    Extraction x;
    x.Run(png, "ALL");
    EXPECT_EQ(x.job.palcount, 256);
    EXPECT_EQ(x.palette[255], 0xFFFF0007u);
    EXPECT_EQ(x.job.bkgd, 0xFFFF0007u);
  }
  {  // a grey image's PLTE is not a palette to copy
    PngBuilder grey(0, 8);
    grey.Add("PLTE", {1, 2, 3});
    Bytes png = grey.Build();
    Extraction x;
    x.Run(png, "ALL");
    EXPECT_EQ(x.job.palcount, 0);
    EXPECT_EQ(x.palette[0], 0u);
  }
}

TEST(ExtractChunks, KeepsAtMost256Chunks) {
  PngBuilder builder(2, 8);
  for (int i = 0; i < 300; ++i) builder.Add("tEXt", {uint8_t(i), 0, uint8_t(i >> 8)});
  builder.Add("IEND", {});
  Bytes png = builder.Build();
  Extraction x;
  x.Run(png, "ALL");
  EXPECT_EQ(x.Bounds(), (std::vector<int>{0, 256, 256, 256}));
  EXPECT_EQ(x.job.chunks[255], png.data() + builder.OffsetOf(256));
}

TEST(ExtractChunks, NoArrayKeepsNothingButStillReadsThePalette) {
  Bytes png = ExampleFile().Build();
  Extraction x;
  x.job.chunks = nullptr;
  x.Run(png, "ALL");
  EXPECT_EQ(x.Bounds(), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(x.job.palcount, 2);
}

// A cut file: the walk ends at the first chunk that does not fit, whatever
// the cut, and every kept chunk lies whole inside the bytes.
TEST(ExtractChunks, TruncatedFilesEndTheWalkInsideTheBytes) {
  const PngBuilder builder = ExampleFile();
  const Bytes whole = builder.Build();
  for (size_t size = 0; size <= whole.size(); ++size) {
    Bytes png(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    Extraction x;
    x.Run(png, "ALL");
    for (int i = 0; i < x.job.chunkcount; ++i) {
      const uint8_t* raw = x.job.chunks[i];
      ASSERT_GE(raw, png.data());
      ASSERT_LE(raw + 12 + chunktest::Be32(raw), png.data() + png.size()) << size;
    }
    EXPECT_LE(x.job.chunkcount, 6);
    if (size < builder.OffsetOf(2)) {
      EXPECT_EQ(x.job.chunkcount, 0) << size;
    } else if (size == builder.OffsetOf(2)) {
      EXPECT_EQ(x.KeptTypes(), std::vector<std::string>{"gAMA"});
    }
  }
}

TEST(ExtractChunks, HugeLengthsEndTheWalk) {
  for (uint32_t length : {0xFFFFFFFFu, 0xFFFFFFF4u, 0x80000000u, 0x7FFFFFFFu}) {
    PngBuilder builder(0, 8);
    builder.Add("gAMA", {0, 0, 0, 1}).Add("tEXt", Text("a\0b")).Add("tEXt", Text("c\0d"));
    Bytes png = builder.Build();
    uint8_t* second = png.data() + builder.OffsetOf(2);
    for (int i = 0; i < 4; ++i) second[i] = static_cast<uint8_t>(length >> (24 - 8 * i));
    Extraction x;
    x.Run(png, "ALL");
    EXPECT_EQ(x.KeptTypes(), std::vector<std::string>{"gAMA"}) << length;
  }
}

TEST(ExtractChunks, SignatureWithoutAWholeHeader) {
  for (size_t size : {8u, 20u, 25u, 26u}) {
    Bytes png = {137, 80, 78, 71, 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1, 0, 0, 0, 1, 8, 3};
    png.resize(size);
    png.shrink_to_fit();
    Extraction x;
    x.Run(png, "ALL");
    EXPECT_EQ(x.job.chunkcount, 0);
    EXPECT_EQ(x.bitDepth, size > 24 ? 8 : 0) << size;
    EXPECT_EQ(x.colorType, size > 25 ? 3 : 0) << size;
  }
}

}  // namespace
