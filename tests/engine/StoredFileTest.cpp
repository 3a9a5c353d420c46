// The stored file ("No compression" and the fallback): libpng must decode it
// to the input pixels at every width, including rows longer than one stored
// block can hold, and its zlib stream must be the rows behind filter byte 0.

#include <gtest/gtest.h>

#include "EngineRunSupport.h"

namespace {

using namespace spinetest;

struct StoredBlock {
  bool final;
  size_t length;
};

// Walks the stored blocks of a zlib stream by hand (the product's framing,
// not just its inflated content).
bool ListStoredBlocks(const std::vector<uint8_t>& z, std::vector<StoredBlock>& blocks) {
  if (z.size() < 6 || z[0] != 0x78 || z[1] != 0x01) return false;
  size_t p = 2;
  for (;;) {
    if (p + 5 > z.size() || (z[p] & ~1u) != 0) return false;
    const bool final = z[p] & 1;
    const size_t len = z[p + 1] | (z[p + 2] << 8);
    const size_t nlen = z[p + 3] | (z[p + 4] << 8);
    if ((len ^ 0xFFFF) != nlen) return false;
    blocks.push_back({final, len});
    p += 5 + len;
    if (final) return p + 4 == z.size();
  }
}

std::vector<uint8_t> IdatData(const std::vector<oracle::Chunk>& chunks) {
  std::vector<uint8_t> all;
  for (const auto& c : chunks) {
    if (c.type == "IDAT") all.insert(all.end(), c.data.begin(), c.data.end());
  }
  return all;
}

struct Shape {
  int width;
  int height;
  bool transparent;
};

class StoredRgbaFile : public ::testing::TestWithParam<Shape> {};

TEST_P(StoredRgbaFile, DecodesToInputWithOneBlockPerRowPiece) {
  const Shape s = GetParam();
  Image img = MakeImage(s.width, s.height, [&](int x, int y) {
    const uint32_t rgb = Noise(x, y) & 0xFFFFFF;
    const uint32_t alpha = s.transparent ? (Noise(x, y, 7) % 3 == 0 ? 0 : (Noise(x, y, 9) & 0xFF)) : 0xFF;
    return (alpha << 24) | rgb;
  });
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.strategy = 4;
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed) << TheRecorder().Text();
  ASSERT_EQ(int(run.png.size()), run.result);

  oracle::Image decoded;
  std::string error;
  ASSERT_TRUE(oracle::DecodePng(run.png, decoded, &error)) << error;
  // Colour type 6 stores every sample, so even fully transparent pixels
  // keep their colour.
  EXPECT_TRUE(decoded == img);

  std::vector<oracle::Chunk> chunks;
  ASSERT_TRUE(oracle::ListChunks(run.png, chunks));
  EXPECT_EQ(ChunkTypes(chunks), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  std::vector<StoredBlock> blocks;
  ASSERT_TRUE(ListStoredBlocks(IdatData(chunks), blocks));
  const size_t row = size_t(4) * s.width + 1;
  const size_t perRow = (row + 65534) / 65535;
  ASSERT_EQ(blocks.size(), perRow * s.height);
  for (size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i].final, i + 1 == blocks.size());
    const size_t piece = i % perRow;
    const size_t expected = piece + 1 < perRow ? 65535 : row - 65535 * (perRow - 1);
    EXPECT_EQ(blocks[i].length, expected) << "block " << i;
  }

  std::vector<uint8_t> raw;
  ASSERT_TRUE(oracle::InflateIdat(run.png, raw));
  ASSERT_EQ(raw.size(), row * s.height);
  for (int y = 0; y < s.height; ++y) EXPECT_EQ(raw[row * y], 0) << "filter byte of row " << y;

  // The one size line of a stored run.
  EXPECT_EQ(TheRecorder().Count("\r"), 1);
  char line[64];
  snprintf(line, sizeof line, "Out:%8d bytes (stored)", run.result);
  ASSERT_FALSE(TheRecorder().pieces.empty());
  EXPECT_EQ(TheRecorder().pieces.back(), line);
  EXPECT_EQ(TheRecorder().Text().find("Out:"), TheRecorder().Text().rfind("Out:"));
}

INSTANTIATE_TEST_SUITE_P(Widths, StoredRgbaFile,
                         ::testing::Values(Shape{1, 1, false}, Shape{1, 300, true}, Shape{2, 3, true},
                                           Shape{37, 19, false}, Shape{16383, 2, true},  // 65,533 bytes a row
                                           Shape{16384, 2, false},                       // 65,537: two blocks
                                           Shape{20000, 3, true}, Shape{20000, 1, false},
                                           Shape{40000, 2, false}));  // three blocks a row

TEST(StoredFile, TallWideImageFitsTheEstimate) {
  // Many rows of two stored blocks each: the extra block headers must be in
  // the buffer the engine sizes, or the IDAT CRC would be taken past its end.
  Image img = MakeImage(16400, 400, [](int x, int y) { return 0xFF000000u | (Noise(x, y) & 0xFFFFFF); });
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.strategy = 4;
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed);
  ASSERT_EQ(int(run.png.size()), run.result);
  EXPECT_LE(run.result, job.kbufsize);
  oracle::Image decoded;
  ASSERT_TRUE(oracle::DecodePng(run.png, decoded));
  EXPECT_TRUE(decoded == img);
}

TEST(StoredFile, EndsWithIend) {
  Image img = MakeImage(5, 4, [](int x, int y) { return 0x80000000u | uint32_t(x * 40 + y); });
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.strategy = 4;
  RunResult run = RunJob(job);
  ASSERT_GE(run.png.size(), 12u);
  const std::vector<uint8_t> iend = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  EXPECT_EQ(std::vector<uint8_t>(run.png.end() - 12, run.png.end()), iend);
}

TEST(StoredFile, VerboseSizeLineEndsTheLine) {
  Image img = MakeImage(3, 3, [](int x, int y) { return 0xFF000000u | uint32_t(x + 3 * y); });
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.strategy = 4;
  job.verbose = 1;
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed);
  char line[64];
  snprintf(line, sizeof line, "Out:%8d bytes (stored)", run.result);
  const auto& p = TheRecorder().pieces;
  ASSERT_GE(p.size(), 3u);
  // No "\r" before the size line when verbose; "\n" after it, then the time.
  const std::string text = TheRecorder().Text();
  EXPECT_NE(text.find(std::string(line) + "\nTook "), std::string::npos) << text;
  EXPECT_EQ(p.back().rfind("Took ", 0), 0u);
  EXPECT_EQ(p.back().substr(p.back().size() - 6), " sec.\n");
}

}  // namespace
