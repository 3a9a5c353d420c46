// Extraction of the chunks to keep from a PNG file: keep-list forms, the
// three positions, the palette and background colour taken into the job,
// and walks over cut or hostile files that must stay inside the bytes, the
// PngSuite conformance files cut at every length among them.  (What the
// whole files keep, byte for byte, the host's save sweep checks with libpng.)
#include "common/pngchunks/ExtractChunks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ChunkBytesForTests.h"
#include "common/pngchunks/PngChunk.h"
#include "support/Oracles.h"

namespace {

using namespace chunktest;
using Types = std::vector<std::string>;
using Ints = std::vector<int>;

// gAMA, cHRM and sRGB before PLTE, bKGD and pHYs between PLTE and IDAT,
// tEXt after IDAT; a palette image.
PngBuilder ExampleFile() {
  PngBuilder png(3, 8);
  png.Add("gAMA", {0, 0, 0xB1, 0x8F}).Add("cHRM", Bytes(32, 0)).Add("sRGB", {0}).Add("PLTE", {10, 20, 30, 40, 50, 60});
  png.Add("tRNS", {0}).Add("bKGD", {1}).Add("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x13, 1}).Add("IDAT", {1, 2, 3});
  png.Add("tEXt", Text("Title\0Sunset")).Add("IEND", {});
  return png;
}

// Kept chunks are pointers into the file; the background colour only
// counts when its chunk is kept; the palette is read whatever is kept.
TEST(ExtractChunks, KeepListForms) {
  struct Case { const char* keep; Types kept; Ints bounds; uint32_t bkgd; };
  const Types all = {"gAMA", "cHRM", "sRGB", "bKGD", "pHYs", "tEXt"};
  const Ints none = {0, 0, 0, 0};
  const Case cases[] = {
      {"ALL", all, {0, 3, 5, 6}, 0xFF28323C}, {"all", all, {0, 3, 5, 6}, 0xFF28323C},
      {"aLl", all, {0, 3, 5, 6}, 0xFF28323C}, {"1", all, {0, 3, 5, 6}, 0xFF28323C},
      {"gAMA,tEXt", {"gAMA", "tEXt"}, {0, 1, 1, 2}, 0}, {"tEXt,gAMA", {"gAMA", "tEXt"}, {0, 1, 1, 2}, 0},
      {",,pHYs,", {"pHYs"}, {0, 0, 1, 1}, 0}, {"bKGD", {"bKGD"}, {0, 0, 1, 1}, 0xFF28323C},
      {"gAMA ,tEXt", {"tEXt"}, {0, 0, 0, 1}, 0}, {"ALL,", {}, none, 0}, {"Al", {}, none, 0}, {"11", {}, none, 0},
      {"gama,TEXT", {}, none, 0}, {"tRNS,IEND,IHDR,PLTE,IDAT", {}, none, 0},
  };
  const PngBuilder builder = ExampleFile();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keep);
    Bytes png = builder.Build();
    Extraction x;
    std::string keep = c.keep;
    x.Run(png, keep.c_str());
    EXPECT_EQ(x.KeptTypes(), c.kept);
    EXPECT_EQ(x.Bounds(), c.bounds);
    EXPECT_EQ(x.job.bkgd, c.bkgd);
    EXPECT_EQ(keep, c.keep) << "the list must not be changed";
    EXPECT_EQ((std::vector<uint32_t>{x.colorType, x.bitDepth, uint32_t(x.job.palcount), x.palette[0], x.palette[1]}),
              (std::vector<uint32_t>{3, 8, 2, 0xFF0A141E, 0xFF28323C}));
    EXPECT_TRUE(c.kept != all || x.job.chunks[5] == png.data() + builder.OffsetOf(9));
  }
}

// No keep list leaves the job alone; a file that is not a PNG, or chunks
// before the header, give nothing; without an array the palette is still read.
TEST(ExtractChunks, NothingToExtract) {
  Bytes png = ExampleFile().Build();
  Bytes notPng = Text("GIF89a, certainly not a PNG file at all");
  for (const auto& [keep, bytes] : {std::pair{static_cast<const char*>(nullptr), &png}, std::pair{"", &png},
                                    std::pair{"ALL", &notPng}}) {
    Extraction x;
    x.job.chunkmid = x.job.chunkpost = x.job.chunkcount = 7;
    x.job.bkgd = 0x12345678;
    x.Run(*bytes, keep);
    const bool untouched = bytes == &png;
    EXPECT_EQ(x.Bounds(), (untouched ? Ints{0, 7, 7, 7} : Ints{0, 0, 0, 0}));
    EXPECT_EQ(x.job.bkgd, untouched ? 0x12345678u : 0u);
    EXPECT_EQ((Ints{x.job.palcount, x.colorType}), (Ints{0, 0xEE}));
  }
  PngBuilder withEarly(0, 8);  // a chunk before the header is not kept
  Bytes early = withEarly.Add("tEXt", Text("a\0b")).Add("IHDR", Bytes(13, 1)).Add("tEXt", Text("c\0d")).Build();
  early.erase(early.begin() + 8, early.begin() + static_cast<long>(withEarly.OffsetOf(1)));  // drop the first IHDR
  early = Bytes(early.begin(), early.end());  // exactly sized again
  Extraction x;
  x.Run(early, "ALL");
  ASSERT_EQ(x.job.chunkcount, 1);
  EXPECT_EQ(x.job.chunks[0][8], 'c');

  Extraction noArray;
  noArray.job.chunks = nullptr;
  noArray.Run(png, "ALL");
  EXPECT_EQ(noArray.Bounds(), (Ints{0, 0, 0, 0}));
  EXPECT_EQ(noArray.job.palcount, 2);
}

// A bKGD the colour type cannot take, or of a 16-bit image, gives no
// colour but is still carried as a chunk.
TEST(ExtractChunks, BackgroundColour) {
  struct Case { uint8_t colorType, bitDepth; Bytes bkgd; uint32_t expected; };
  const Case cases[] = {
      {3, 4, {1}, 0xFF28323C}, {3, 8, {2}, 0xFF000000}, {3, 8, {0, 1}, 0}, {0, 4, {0, 15}, 0xFFFFFFFF},
      {4, 2, {0, 1}, 0xFF555555},    {0, 16, {0x80, 0}, 0}, {0, 4, {0, 16}, 0},    {0, 8, {9}, 0},
      {6, 16, {0xFF, 0xFF, 0, 0, 0, 0}, 0}, {2, 8, {0, 1}, 0}, {2, 8, {0, 1, 0, 2, 0, 3}, 0xFF010203},
  };
  for (const Case& c : cases) {
    Bytes png = PngBuilder(c.colorType, c.bitDepth).Add("PLTE", {10, 20, 30, 40, 50, 60}).Add("bKGD", c.bkgd).Build();
    Extraction x;
    x.Run(png, "ALL");
    EXPECT_EQ(x.job.bkgd, c.expected) << int{c.colorType} << "/" << int{c.bitDepth} << " #" << c.bkgd.size();
    EXPECT_EQ(x.KeptTypes(), Types{"bKGD"});
  }
  // A second palette bKGD whose index lies beyond the palette has no colour
  // of its own, so the colour of the first one stays.
  Bytes twice = PngBuilder(3, 8).Add("PLTE", {10, 20, 30, 40, 50, 60}).Add("bKGD", {1}).Add("bKGD", {9}).Build();
  Extraction x;
  x.Run(twice, "ALL");
  EXPECT_EQ(x.job.bkgd, 0xFF28323Cu);
  EXPECT_EQ(x.KeptTypes(), (Types{"bKGD", "bKGD"}));
}

TEST(ExtractChunks, PaletteIsCutToTheRoomOfTheJobsPalette) {
  Bytes plte;
  for (int i = 0; i < 300; ++i) plte.insert(plte.end(), {uint8_t(i), uint8_t(i >> 8), 7});
  plte.push_back(99);  // a stray byte: not a whole entry
  Bytes png = PngBuilder(3, 8).Add("PLTE", plte).Add("bKGD", {255}).Build();

  Extraction indexed;  // an Indexed host document: the room is its palette's 16 entries
  indexed.palette.assign(16, 0xDEADBEEF);
  indexed.palette.shrink_to_fit();
  indexed.job.pal = indexed.palette.data();
  indexed.job.palcount = 16;
  indexed.Run(png, "ALL");
  EXPECT_EQ(indexed.job.palcount, 16);
  EXPECT_EQ(indexed.job.bkgd, 0xFF000000u);  // index 255 was not copied: present, colour unknown
  EXPECT_EQ(indexed.palette[15], 0xFF0F0007u);

  Extraction rgb;  // an RGB host document: a 256-entry table that came with no entries
  rgb.Run(png, "ALL");
  EXPECT_EQ(rgb.job.palcount, 256);
  EXPECT_EQ(rgb.palette[255], 0xFFFF0007u);
  EXPECT_EQ(rgb.job.bkgd, 0xFFFF0007u);

  Bytes grey = PngBuilder(0, 8).Add("PLTE", {1, 2, 3}).Build();  // not a palette to copy
  Extraction x;
  x.Run(grey, "ALL");
  EXPECT_EQ((Ints{x.job.palcount, int(x.palette[0])}), (Ints{0, 0}));
}

TEST(ExtractChunks, KeepsAtMost256Chunks) {
  PngBuilder builder(2, 8);
  for (int i = 0; i < 300; ++i) builder.Add("tEXt", {uint8_t(i), 0, uint8_t(i >> 8)});
  Bytes png = builder.Build();
  Extraction x;
  x.Run(png, "ALL");
  EXPECT_EQ(x.Bounds(), (Ints{0, 256, 256, 256}));
  EXPECT_EQ(x.job.chunks[255], png.data() + builder.OffsetOf(256));
}

// A chunk whose stated length runs past the bytes ends the walk (cut files:
// see the PngSuite test below).
TEST(ExtractChunks, AChunkRunningPastTheBytesEndsTheWalk) {
  for (uint32_t length : {0xFFFFFFFFu, 0xFFFFFFF4u, 0x80000000u, 0x7FFFFFFFu}) {
    PngBuilder hostile(0, 8);
    Bytes png = hostile.Add("gAMA", {0, 0, 0, 1}).Add("tEXt", Text("a\0b")).Add("tEXt", Text("c\0d")).Build();
    for (int i = 0; i < 4; ++i) png[hostile.OffsetOf(2) + i] = static_cast<uint8_t>(length >> (24 - 8 * i));
    Extraction x;
    x.Run(png, "ALL");
    EXPECT_EQ(x.KeptTypes(), Types{"gAMA"}) << length;
  }
}

// Every file, whole and cut at every length, broken files included: the
// kept chunks lie inside the bytes and can all be described.  Each cut gets
// its own exactly-sized block, so the sanitizer build catches a read past
// the end of the data.
TEST(PngSuiteChunks, EveryFileAndEveryCutStaysInsideTheBytes) {
  const auto files = oracle::PngSuiteFiles();
  ASSERT_GT(files.size(), 150u);
  for (const auto& path : files) {
    const Bytes whole = oracle::ReadFile(path);
    const size_t step = whole.size() > 600 ? 7 : 1;
    for (size_t size = 0; size < whole.size() + step; size += step) {
      Bytes png(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(std::min(size, whole.size())));
      Extraction x;
      x.Run(png, "ALL");
      ASSERT_LE(x.job.chunkcount, chunks::kMaxExtractedChunks);
      ASSERT_TRUE(x.KeptInside(png)) << path.filename() << " cut at " << size;
      for (int i = 0; i < x.job.chunkcount; ++i) {
        chunks::PngChunk chunk(x.job.chunks[i]);
        char text[256];
        EXPECT_TRUE(chunk.Describe(text, sizeof text));
        chunk.DescribeBackground(text, sizeof text, x.colorType, x.bitDepth);
      }
    }
  }
}

}  // namespace
