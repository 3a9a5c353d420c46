// The chunks around the image data: where kept chunks go, how sBIT, bKGD and
// hIST are treated, and the palette, transparency and background chunks the
// engine writes itself.  Every file is checked by the chunk oracle (CRCs)
// and decoded by libpng.

#include <gtest/gtest.h>

#include "EngineRunSupport.h"
#include "engine/EngineContext.h"
#include "engine/PngWriter.h"

namespace {

using namespace spinetest;
using Bytes = std::vector<uint8_t>;

struct Written {
  int result = kEncodeFailed;
  std::vector<oracle::Chunk> chunks;
  Bytes png;
};

// Runs the job and lists the file's chunks (every CRC checked).
Written Write(EncodeJob& job) {
  Written w;
  RunResult run = RunJob(job);
  w.result = run.result;
  w.png = run.png;
  if (w.result != kEncodeFailed) {
    EXPECT_TRUE(oracle::ListChunks(w.png, w.chunks));
  }
  return w;
}

// Kept chunks in the three stretches the job describes.
struct Kept {
  std::vector<Bytes> records;
  std::vector<uint8_t*> pointers;

  void Attach(EncodeJob& job, int pre, int mid, int post) {
    pointers.clear();
    for (Bytes& r : records) pointers.push_back(r.data());
    job.chunks = pointers.data();
    job.chunkpre = 0;
    job.chunkmid = pre;
    job.chunkpost = pre + mid;
    job.chunkcount = pre + mid + post;
  }
};

Image Palette4(int w, int h) {
  const uint32_t colours[4] = {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0};
  return MakeImage(w, h, [&](int x, int y) { return colours[(x + y) % 4]; });
}

Image Rgba(int w, int h) {
  return MakeImage(w, h, [](int x, int y) { return (Noise(x, y) | 0x01000000u); });
}

TEST(PngHeader, KeptChunksGoToTheirThreePlaces) {
  Image img = Palette4(8, 8);
  Kept kept;
  kept.records = {RawChunk("gAMA", {0, 0, 0xB1, 0x8F}), RawChunk("sRGB", {0}),      // before PLTE
                  RawChunk("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x13, 1}),        // before IDAT
                  RawChunk("tEXt", {'a', 0, 'b'}), RawChunk("tIME", {7, 0xE6, 1, 2, 3, 4, 5})};  // after IDAT
  EncodeJob job = DefaultJob(img);
  job.bkgd = 0xFF102030;
  kept.Attach(job, 2, 1, 2);
  Written w = Write(job);
  ASSERT_NE(w.result, kEncodeFailed);
  EXPECT_EQ(ChunkTypes(w.chunks), (std::vector<std::string>{"IHDR", "gAMA", "sRGB", "PLTE", "bKGD", "pHYs", "IDAT",
                                                             "tEXt", "tIME", "IEND"}));
  EXPECT_EQ(w.chunks[1].data, Bytes({0, 0, 0xB1, 0x8F}));
  EXPECT_EQ(w.chunks[8].data, Bytes({7, 0xE6, 1, 2, 3, 4, 5}));
  Image decoded;
  ASSERT_TRUE(oracle::DecodePng(w.png, decoded));
  EXPECT_TRUE(decoded == img);
}

TEST(PngHeader, IendIsAlwaysTheLastTwelveBytes) {
  Image img = Rgba(5, 5);
  Kept kept;
  kept.records = {RawChunk("tEXt", {'k', 0, 'v'})};
  for (int strategy : {0, 3, 4}) {
    EncodeJob job = DefaultJob(img);
    job.strategy = strategy;
    kept.Attach(job, 0, 0, 1);
    Written w = Write(job);
    ASSERT_GE(w.png.size(), 12u);
    EXPECT_EQ(Bytes(w.png.end() - 12, w.png.end()), Bytes({0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}))
        << "strategy " << strategy;
  }
}

struct SbitCase {
  int colortype;
  Bytes kept;
  Bytes written;
};

TEST(PngHeader, KeptSbitIsRewrittenForTheColourType) {
  const std::vector<SbitCase> cases = {
      {6, {5}, {5, 5, 5, 5}},   {4, {5, 6, 7}, {5, 5}},  {2, {5}, {5, 5, 5}},      {2, {1, 2, 3, 4}, {1, 2, 3}},
      {3, {3, 4}, {3, 3, 3}},   {0, {6, 7, 8}, {6}},      {6, {1, 2, 3}, {1, 2, 3, 1}}, {4, {2, 3, 4, 5}, {2, 5}},
  };
  // Four grey levels with alpha fit every colour type.
  Image img = MakeImage(6, 6, [](int x, int y) {
    const uint32_t level = 85u * ((x + y) % 4);
    return 0xFF000000u | level * 0x010101u;
  });
  for (const SbitCase& c : cases) {
    Kept kept;
    kept.records = {RawChunk("sBIT", c.kept)};
    EncodeJob job = DefaultJob(img);
    job.colortype = c.colortype;
    kept.Attach(job, 1, 0, 0);
    Written w = Write(job);
    ASSERT_NE(w.result, kEncodeFailed) << TheRecorder().Text();
    const oracle::Chunk* sbit = FindChunk(w.chunks, "sBIT");
    ASSERT_NE(sbit, nullptr);
    EXPECT_EQ(sbit->data, c.written) << "colour type " << c.colortype;
    EXPECT_EQ(w.chunks[1].type, "sBIT");
  }
}

TEST(PngHeader, KeptBackgroundIsNeverCopied) {
  Image img = Rgba(4, 4);
  Kept kept;
  kept.records = {RawChunk("bKGD", {0, 1, 0, 2, 0, 3}), RawChunk("bKGD", {0, 9, 0, 9, 0, 9})};
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  kept.Attach(job, 1, 1, 0);
  Written w = Write(job);
  ASSERT_NE(w.result, kEncodeFailed);
  EXPECT_EQ(FindChunk(w.chunks, "bKGD"), nullptr);

  job = DefaultJob(img);
  job.colortype = 6;
  job.bkgd = 0xFF000000;  // black, marked present by the top byte
  kept.Attach(job, 1, 1, 0);
  w = Write(job);
  const oracle::Chunk* bkgd = FindChunk(w.chunks, "bKGD");
  ASSERT_NE(bkgd, nullptr);
  EXPECT_EQ(bkgd->data, Bytes({0, 0, 0, 0, 0, 0}));
  int count = 0;
  for (const auto& c : w.chunks) count += c.type == "bKGD";
  EXPECT_EQ(count, 1);
}

TEST(PngHeader, HistogramOnlyWithAPalette) {
  Kept kept;
  kept.records = {RawChunk("hIST", {0, 1, 0, 2, 0, 3, 0, 4})};
  Image pal = Palette4(4, 4);
  EncodeJob job = DefaultJob(pal);
  kept.Attach(job, 0, 1, 0);
  Written w = Write(job);
  ASSERT_EQ(job.outcolortype, 3);
  EXPECT_EQ(ChunkTypes(w.chunks), (std::vector<std::string>{"IHDR", "PLTE", "hIST", "IDAT", "IEND"}));

  Image rgba = Rgba(4, 4);
  job = DefaultJob(rgba);
  job.colortype = 6;
  kept.Attach(job, 0, 1, 0);
  w = Write(job);
  EXPECT_EQ(ChunkTypes(w.chunks), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
}

TEST(PngHeader, PaletteTransparencyIsAsShortAsTheLastTranslucentEntry) {
  // Opaque palette: no tRNS.
  Image opaque = Palette4(4, 4);
  EncodeJob job = DefaultJob(opaque);
  Written w = Write(job);
  ASSERT_EQ(job.outcolortype, 3);
  EXPECT_EQ(FindChunk(w.chunks, "tRNS"), nullptr);

  // One translucent colour: alpha-first order puts it at index 0.
  Image one = MakeImage(4, 4, [](int x, int y) { return x == 3 && y == 3 ? 0x80112233u : 0xFF000000u | uint32_t(x); });
  job = DefaultJob(one);
  w = Write(job);
  ASSERT_EQ(job.outcolortype, 3);
  const oracle::Chunk* trns = FindChunk(w.chunks, "tRNS");
  ASSERT_NE(trns, nullptr);
  EXPECT_EQ(trns->data, Bytes({0x80}));
  Image decoded;
  ASSERT_TRUE(oracle::DecodePng(w.png, decoded));
  EXPECT_TRUE(decoded == one);
}

TEST(PngHeader, GreyKeyTransparencyIsScaledToTheBitDepth) {
  // Levels that are multiples of 17 give bit depth 4; the key's level 0x77
  // is level 7 of 15.
  Image img = MakeImage(8, 4, [](int x, int y) {
    if (x == 0 && y == 0) return 0x00777777u;
    return 0xFF000000u | 0x111111u * uint32_t((x + y) % 5 == 2 ? 9 : (x + y) % 5);
  });
  EncodeJob job = DefaultJob(img);
  job.colortype = 0;
  Written w = Write(job);
  ASSERT_NE(w.result, kEncodeFailed) << TheRecorder().Text();
  EXPECT_EQ(job.outbitdepth, 4);
  const oracle::Chunk* trns = FindChunk(w.chunks, "tRNS");
  ASSERT_NE(trns, nullptr);
  EXPECT_EQ(trns->data, Bytes({0, 7}));
  Image decoded;
  ASSERT_TRUE(oracle::DecodePng(w.png, decoded));
  EXPECT_TRUE(decoded == img);
}

TEST(PngHeader, RgbKeyTransparencyNamesTheKeyColour) {
  Image img = MakeImage(20, 20, [](int x, int y) {
    return x == 4 && y == 5 ? 0x00A1B2C3u : 0xFF000000u | (Noise(x, y) & 0xFFFFFF);
  });
  EncodeJob job = DefaultJob(img);
  Written w = Write(job);
  ASSERT_EQ(job.outcolortype, 2);
  const oracle::Chunk* trns = FindChunk(w.chunks, "tRNS");
  ASSERT_NE(trns, nullptr);
  EXPECT_EQ(trns->data, Bytes({0, 0xA1, 0, 0xB2, 0, 0xC3}));
  Image decoded;
  ASSERT_TRUE(oracle::DecodePng(w.png, decoded));
  EXPECT_TRUE(decoded == img);
}

TEST(PngHeader, BackgroundOutsideThePaletteTakesTheNextEntry) {
  // 15 colours at bit depth 4; the background becomes entry 15.
  Image img = MakeImage(15, 3, [](int x, int) { return 0xFF000000u | uint32_t(x * 0x0F0F0F); });
  EncodeJob job = DefaultJob(img);
  job.bkgd = 0xFFABCDEF;
  Written w = Write(job);
  ASSERT_EQ(job.outcolortype, 3);
  EXPECT_EQ(job.outbitdepth, 4);
  EXPECT_EQ(job.outpalcount, 15);
  const oracle::Chunk* plte = FindChunk(w.chunks, "PLTE");
  ASSERT_NE(plte, nullptr);
  ASSERT_EQ(plte->data.size(), 48u);
  EXPECT_EQ(Bytes(plte->data.end() - 3, plte->data.end()), Bytes({0xAB, 0xCD, 0xEF}));
  const oracle::Chunk* bkgd = FindChunk(w.chunks, "bKGD");
  ASSERT_NE(bkgd, nullptr);
  EXPECT_EQ(bkgd->data, Bytes({15}));
  EXPECT_EQ(ChunkTypes(w.chunks), (std::vector<std::string>{"IHDR", "PLTE", "bKGD", "IDAT", "IEND"}));
}

TEST(PngHeader, BackgroundInThePaletteNamesItsLastEntry) {
  Image img = Palette4(4, 4);
  EncodeJob job = DefaultJob(img);
  job.bkgd = 0xFF708090;
  Written w = Write(job);
  ASSERT_EQ(job.outcolortype, 3);
  const oracle::Chunk* bkgd = FindChunk(w.chunks, "bKGD");
  ASSERT_NE(bkgd, nullptr);
  ASSERT_EQ(bkgd->data.size(), 1u);
  EXPECT_EQ(job.outpal[bkgd->data[0]] & 0xFFFFFF, 0x708090u);
  EXPECT_EQ(FindChunk(w.chunks, "PLTE")->data.size(), 12u);
}

TEST(PngHeader, GreyBackgroundIsScaledToTheBitDepth) {
  Image img = MakeImage(4, 4, [](int x, int y) { return 0xFF000000u | 0x555555u * uint32_t((x + y) % 4); });
  EncodeJob job = DefaultJob(img);
  job.colortype = 0;
  job.bkgd = 0xFFAAAAAA;
  Written w = Write(job);
  ASSERT_EQ(job.outbitdepth, 2);
  const oracle::Chunk* bkgd = FindChunk(w.chunks, "bKGD");
  ASSERT_NE(bkgd, nullptr);
  EXPECT_EQ(bkgd->data, Bytes({0, 2}));
}

// The writer itself refuses a background that has no palette index left;
// the palette stage normally prevents this by counting the extra entry.
TEST(PngHeader, BackgroundThatCannotFitAFullPaletteFails) {
  EngineContext ctx;
  std::vector<std::string>& pieces = TheRecorder().pieces;
  pieces.clear();
  EncodeJob job{};
  job.bkgd = 0xFF00FF00;
  std::vector<uint8_t> buffer(4096);
  job.kbuf = buffer.data();
  job.kbufsize = int(buffer.size());
  ctx.job = &job;
  ctx.print = RecordPrint;
  BuildCrcTable(ctx);
  uint32_t palette[256] = {0xFF000000, 0xFFFFFFFF};
  EXPECT_FALSE(WriteHeader(ctx, 3, 3, 3, 1, palette, 2));
  ASSERT_FALSE(pieces.empty());
  EXPECT_EQ(pieces.back(), "\rbKGD chunk can't fit palette index. Try higher bitdepth, /c2 or /c6 instead\n");
  EXPECT_TRUE(WriteHeader(ctx, 3, 3, 3, 2, palette, 2));
  EXPECT_EQ(palette[2], 0xFF00FF00u);
}

}  // namespace
