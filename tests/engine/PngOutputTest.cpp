// What the writer puts out: the output buffer, the stored file with its block
// framing and size line, and the chunks around the image data; libpng decodes all.
#include <cstring>
#include <optional>

#include "EngineRunSupport.h"

namespace {

using namespace enginetest;

Image Noisy(int w, int h) { return MakeImage(w, h, [](int x, int y) { return 0xFF000000u | (Noise(x, y) & 0xFFFFFF); }); }

TEST(OutputBuffer, EngineSizesItsBufferByTheEstimate) {
  const Bytes text = RawChunk("tEXt", Bytes(100, 'a')), time = RawChunk("tIME", Bytes(7, 1));
  uint8_t* chunks[] = {const_cast<uint8_t*>(text.data()), const_cast<uint8_t*>(time.data())};
  // kept: kept chunks; given: a caller buffer of the requested size; expected:
  // 2111, the chunks, the tRNS or PLTE, and the rows of the colour type.
  const struct { const char* name; Image image; int colortype, strategy, requested; bool kept, given; int expected; } cases[] = {
      {"rgba", Noisy(10, 7), 6, 0, 0, false, false, 2111 + (4 * 10 + 6) * 7},
      {"rgb with key", MakeImage(5, 5, [](int x, int y) { return x + y ? Noise(x, y) | 0xFF000000u : 0x00112233u; }), 2, 0, 0, false, false, 2111 + 21 * 5 + 18},
      {"grey 1-bit with key", MakeImage(11, 3, [](int x, int y) { return (x + y) % 2 ? 0x00FFFFFFu : 0xFF000000u; }), 0, 0, 0, false, false, 2111 + 8 * 3 + 14},
      {"palette of 3 at 2 bits", MakeImage(13, 2, [](int x, int) { return 0xFF000000u | uint32_t(x % 3) * 0x123456u; }), 3, 0, 0, false, false, 2111 + 24 + 12 + 10 * 2},
      {"kept chunks", Noisy(4, 4), 6, 0, 0, true, false, 2111 + 112 + 19 + (4 * 4 + 6) * 4},
      {"request above the estimate", Noisy(6, 6), 6, 0, 1 << 20, false, false, 2111 + (4 * 6 + 6) * 6},
      {"stored file after a small request", Noisy(9, 9), 6, 4, 40, false, true, 2111 + (4 * 9 + 6) * 9},
  };
  for (auto c : cases) {
    SCOPED_TRACE(c.name);
    EncodeJob job = MakeJob(c.image, {.colortype = c.colortype, .strategy = c.strategy, .kbufsize = c.requested});
    if (c.given) job.kbuf = static_cast<uint8_t*>(std::malloc(size_t(c.requested)));
    if (c.kept) job.chunks = chunks, job.chunkmid = job.chunkpost = 1, job.chunkcount = 2;
    RunResult run = RunJob(job);
    EXPECT_TRUE(run.job.kbufsize == c.expected && DecodesTo(run.png, c.image)) << run.job.kbufsize;
  }
}

TEST(OutputBuffer, CallerBuffersLargeAndSmall) {
  Image img = MakeImage(20, 20, [](int x, int y) { return Rgb(0, x * 3, y * 5); });  // far below the estimate
  const Bytes full = Encode(img, {.colortype = 6}).png;
  ASSERT_GT(full.size(), 80u);
  for (int kbufsize : {1 << 20, 48, 50}) {
    SCOPED_TRACE(kbufsize);
    EncodeJob job = MakeJob(img, {.colortype = 6, .kbufsize = kbufsize});
    uint8_t* given = nullptr;
    if (kbufsize != 50) {  // 50: no buffer given, the engine allocates the requested size
      given = job.kbuf = static_cast<uint8_t*>(std::malloc(size_t(std::max(kbufsize, 80))));
      std::memset(job.kbuf, 0xCD, 80);
    }
    EXPECT_EQ(OptimizePng(&job), int(full.size()));  // the full length, even when only a prefix fits
    EXPECT_TRUE(!given || job.kbuf == given);
    EXPECT_EQ(job.kbufsize, kbufsize == 1 << 20 ? 2111 + (4 * 20 + 6) * 20 : kbufsize);
    const int kept = std::min(int(full.size()), job.kbufsize);
    EXPECT_EQ(std::memcmp(job.kbuf, full.data(), size_t(kept)), 0);
    for (int i = kept; i < 80 && given; ++i) ASSERT_EQ(job.kbuf[i], 0xCD) << "byte " << i << " written past kbufsize";
    FreeEncodeBuffer(job.kbuf);
  }
}

TEST(OutputBuffer, CompressedFileBeyondTheEstimateFallsBackToStored) {
  // Hundreds of tiny blocks, each with its own code description, cost more than stored rows.
  Image img = Noisy(16, 16);
  const RunResult run = Encode(img, {.colortype = 6, .filter = 0, .numblocks = 1024});
  EXPECT_EQ(FindChunk(run.chunks, "IDAT")->data[1], 0x01);  // the stored stream's zlib header
  EXPECT_EQ(Rec().Last(), StoredLine(run.result));
  EXPECT_TRUE(DecodesTo(run.png, img));
}

// The stored blocks' lengths, their framing walked by hand; false when broken.
bool StoredBlockLengths(const Bytes& z, std::vector<size_t>& lengths) {
  if (z.size() < 6 || z[0] != 0x78 || z[1] != 0x01) return false;
  for (size_t p = 2;;) {
    if (p + 5 > z.size() || (z[p] & ~1u) != 0) return false;
    const bool final = z[p] & 1;
    const size_t len = z[p + 1] | (z[p + 2] << 8), nlen = z[p + 3] | (z[p + 4] << 8);
    if ((len ^ 0xFFFF) != nlen) return false;
    lengths.push_back(len);
    p += 5 + len;
    if (final) return p + 4 == z.size();
  }
}

TEST(StoredFile, DecodesToInputWithOneBlockPerRowPiece) {
  // Rows of 65,533 bytes (16,383 pixels), 65,537 (two blocks) and up to three blocks; many rows of two
  // blocks, whose block headers must be in the buffer the engine sizes; a verbose run (3x3).
  const struct { int width, height; bool transparent; } shapes[] = {
      {1, 1, false}, {1, 300, true}, {37, 19, false}, {16383, 2, true}, {16384, 2, false},
      {20000, 3, true}, {40000, 2, false}, {16400, 400, false}, {3, 3, true}};
  for (const auto& s : shapes) {
    SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
    Image img = MakeImage(s.width, s.height, [&](int x, int y) {
      const uint32_t alpha = !s.transparent ? 0xFF : Noise(x, y, 7) % 3 == 0 ? 0 : Noise(x, y, 9) & 0xFF;
      return alpha << 24 | (Noise(x, y) & 0xFFFFFF);
    });
    const bool verbose = s.width == 3;
    const RunResult run = Encode(img, {.colortype = 6, .strategy = 4, .verbose = verbose});
    ASSERT_TRUE(run.result != kEncodeFailed && run.result <= run.job.kbufsize) << Rec().Text();
    EXPECT_TRUE(DecodesTo(run.png, img));  // colour type 6 keeps the colour of transparent pixels
    EXPECT_EQ(ChunkTypes(run.chunks), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    std::vector<size_t> blocks;
    ASSERT_TRUE(StoredBlockLengths(FindChunk(run.chunks, "IDAT")->data, blocks));
    const size_t row = size_t(4) * s.width + 1, perRow = (row + 65534) / 65535;
    ASSERT_EQ(blocks.size(), perRow * s.height);
    for (size_t i = 0; i < blocks.size(); ++i)
      EXPECT_EQ(blocks[i], i % perRow + 1 < perRow ? 65535 : row - 65535 * (perRow - 1)) << "block " << i;
    // The one size line; verbose: no "\r" before it, "\n" after it, then the time.
    EXPECT_EQ(Rec().Text().find("Out:"), Rec().Text().rfind("Out:"));
    EXPECT_EQ(Rec().Count("\r"), verbose ? 0 : 1);
    EXPECT_TRUE(verbose || Rec().Last() == StoredLine(run.result));
    EXPECT_TRUE(!verbose || (Rec().Text().find(StoredLine(run.result) + "\nTook ") != std::string::npos &&
                             Rec().Last().rfind("Took ", 0) == 0 && Rec().Last().substr(Rec().Last().size() - 6) == " sec.\n"));
  }
}

// Kept chunks in the three stretches the job describes.
struct Kept {
  std::vector<Bytes> records;
  std::vector<uint8_t*> pointers;
  void Attach(EncodeJob& job, int pre, int mid, int post) {
    pointers.clear();
    for (Bytes& r : records) pointers.push_back(r.data());
    job.chunks = pointers.data(), job.chunkmid = pre, job.chunkpost = pre + mid, job.chunkcount = pre + mid + post;
  }
};

Image Palette4(int w, int h) {
  const uint32_t colours[4] = {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0};
  return MakeImage(w, h, [&](int x, int y) { return colours[(x + y) % 4]; });
}

TEST(PngHeader, KeptChunksGoToTheirPlacesAndBackgroundOnesAreNeverCopied) {
  Image img = Palette4(8, 8);
  Kept kept;
  kept.records = {RawChunk("gAMA", {0, 0, 0xB1, 0x8F}), RawChunk("bKGD", {0}),                 // before PLTE
                  RawChunk("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x13, 1}), RawChunk("hIST", {0, 1, 0, 2, 0, 3, 0, 4}),
                  RawChunk("bKGD", {0}),                                                         // before IDAT
                  RawChunk("tEXt", {'a', 0, 'b'}), RawChunk("tIME", {7, 0xE6, 1, 2, 3, 4, 5})};  // after IDAT
  for (uint32_t bkgd : {0xFF102030u, 0u}) {
    EncodeJob job = MakeJob(img, {.bkgd = bkgd});
    kept.Attach(job, 2, 3, 2);
    RunResult run = RunJob(job);
    std::vector<std::string> types = {"IHDR", "gAMA", "PLTE", "bKGD", "pHYs", "hIST", "IDAT", "tEXt", "tIME", "IEND"};
    if (!bkgd) types.erase(types.begin() + 3);
    EXPECT_EQ(ChunkTypes(run.chunks), types);
    EXPECT_EQ(run.chunks[1].data, Bytes({0, 0, 0xB1, 0x8F}));
    EXPECT_EQ(run.chunks.end()[-2].data, Bytes({7, 0xE6, 1, 2, 3, 4, 5}));
    EXPECT_TRUE(DecodesTo(run.png, img));
  }
  // hIST only with a palette; bKGD only from the job's background.
  Image rgba = MakeImage(4, 4, [](int x, int y) { return Noise(x, y) | 0x01000000u; });
  EncodeJob job = MakeJob(rgba, {.colortype = 6});
  kept.Attach(job, 2, 3, 2);
  EXPECT_EQ(ChunkTypes(RunJob(job).chunks),
            (std::vector<std::string>{"IHDR", "gAMA", "pHYs", "IDAT", "tEXt", "tIME", "IEND"}));
}

TEST(PngHeader, KeptSbitIsRewrittenForTheColourType) {
  const struct { int colortype; Bytes kept, written; } cases[] = {
      {6, {5}, {5, 5, 5, 5}}, {4, {5, 6, 7}, {5, 5}}, {2, {5}, {5, 5, 5}},       {2, {1, 2, 3, 4}, {1, 2, 3}},
      {3, {3, 4}, {3, 3, 3}}, {0, {6, 7, 8}, {6}},    {6, {1, 2, 3}, {1, 2, 3, 1}}, {4, {2, 3, 4, 5}, {2, 5}},
  };
  Image img = MakeImage(6, 6, [](int x, int y) { return Grey(85 * ((x + y) % 4)); });  // fits every type
  for (const auto& c : cases) {
    Kept kept;
    kept.records = {RawChunk("sBIT", c.kept)};
    EncodeJob job = MakeJob(img, {.colortype = c.colortype});
    kept.Attach(job, 1, 0, 0);
    RunResult run = RunJob(job);
    ASSERT_GE(run.chunks.size(), 2u) << Rec().Text();
    EXPECT_TRUE(run.chunks[1].type == "sBIT" && run.chunks[1].data == c.written) << "colour type " << c.colortype;
  }
}

TEST(PngHeader, TransparencyAndBackgroundChunks) {
  const struct {  // data none: no such chunk; depth, plteEntries 0: not checked
    const char* name; Image image; int colortype; uint32_t bkgd; const char* type; std::optional<Bytes> data;
    int depth, plteEntries;
  } cases[] = {
      {"opaque palette", Palette4(4, 4), -1, 0, "tRNS", std::nullopt, 0, 4},
      {"one translucent colour, alpha first",
       MakeImage(4, 4, [](int x, int y) { return x == 3 && y == 3 ? 0x80112233u : 0xFF000000u | uint32_t(x); }), -1, 0,
       "tRNS", Bytes{0x80}, 0, 0},
      {"grey key at depth 4",
       MakeImage(8, 4, [](int x, int y) { return x + y ? Grey(0x11 * ((x + y) % 5 == 2 ? 9 : (x + y) % 5)) : 0x00777777u; }),
       0, 0, "tRNS", Bytes{0, 7}, 4, 0},
      {"rgb key", MakeImage(20, 20, [](int x, int y) { return x == 4 && y == 5 ? 0x00A1B2C3u : Noise(x, y) | 0xFF000000u; }),
       -1, 0, "tRNS", Bytes{0, 0xA1, 0, 0xB2, 0, 0xC3}, 8, 0},
      {"no background", Noisy(4, 4), 6, 0, "bKGD", std::nullopt, 8, 0},
      {"black background", Noisy(4, 4), 6, 0xFF000000, "bKGD", Bytes(6, 0), 8, 0},
      {"background after 15 colours", MakeImage(15, 3, [](int x, int) { return 0xFF000000u | uint32_t(x * 0x0F0F0F); }),
       -1, 0xFFABCDEF, "bKGD", Bytes{15}, 4, 16},
      {"background after 16 colours", MakeImage(16, 4, [](int x, int) { return Rgb(x * 16, 3, 3); }), -1, 0xFF00FF00,
       "bKGD", Bytes{16}, 8, 17},
      {"background past 256 colours", MakeImage(16, 16, [](int x, int y) { return Rgb(x * 16, y * 16, 3); }), -1,
       0xFF123457, "bKGD", Bytes{0, 0x12, 0, 0x34, 0, 0x57}, 8, 0},
      {"background after 255 colours", MakeImage(15, 17, [](int x, int y) { return Rgb(x * 16, y * 15, 3); }), -1,
       0xFF123457, "bKGD", Bytes{255}, 8, 256},
      {"background among 256 colours, the most used", MakeImage(16, 17, [](int x, int y) { return Rgb(y < 16 ? x * 16 : 0, y < 16 ? y * 16 : 0, 3); }),
       -1, 0xFF000003, "bKGD", Bytes{0}, 8, 256},
      {"background in the palette", Palette4(4, 4), -1, 0xFF708090, "bKGD", Bytes{2}, 2, 4},
      {"rgb+alpha never has tRNS", MakeImage(6, 6, [](int x, int) { return x ? 0xFF808080u : 0u; }), 6, 0, "tRNS",
       std::nullopt, 8, 0},
      {"grey background", MakeImage(4, 4, [](int x, int y) { return Grey(0x55 * ((x + y) % 4)); }), 0, 0xFFAAAAAA,
       "bKGD", Bytes{0, 2}, 2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult run = Encode(c.image, {.colortype = c.colortype, .bkgd = c.bkgd});
    ASSERT_NE(run.result, kEncodeFailed) << Rec().Text();
    const oracle::Chunk* chunk = FindChunk(run.chunks, c.type);
    ASSERT_EQ(chunk != nullptr, c.data.has_value());
    EXPECT_TRUE(!chunk || chunk->data == *c.data);
    EXPECT_TRUE(!c.depth || run.job.outbitdepth == c.depth) << run.job.outbitdepth;
    const oracle::Chunk* plte = FindChunk(run.chunks, "PLTE");
    if (c.plteEntries) {  // a background outside the palette is its last entry, opaque
      ASSERT_TRUE(plte && plte->data.size() == size_t(c.plteEntries) * 3);
      const Bytes rgb = {uint8_t(c.bkgd >> 16), uint8_t(c.bkgd >> 8), uint8_t(c.bkgd)};
      EXPECT_TRUE(!c.bkgd || c.plteEntries == run.job.outpalcount || Bytes(plte->data.end() - 3, plte->data.end()) == rgb);
      EXPECT_TRUE(!c.bkgd || Bytes(plte->data.begin() + 3 * chunk->data[0], plte->data.begin() + 3 * chunk->data[0] + 3) == rgb);
    }
    EXPECT_TRUE(DecodesTo(run.png, c.image));
  }
}

}  // namespace
