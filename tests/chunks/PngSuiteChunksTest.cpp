// The chunk walk over the PngSuite conformance files, checked against the
// independent chunk listing of tests/support (with zlib's CRC) and against
// the suite's own naming of what each file carries.
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

std::vector<std::filesystem::path> SuiteFiles() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(oracle::DataDir() / "pngsuite")) {
    if (entry.path().extension() == ".png") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(PngSuiteChunks, KeptChunksMatchTheFileByteForByte) {
  int checked = 0;
  for (const auto& path : SuiteFiles()) {
    SCOPED_TRACE(path.filename().string());
    Bytes png = oracle::ReadFile(path);
    std::vector<oracle::Chunk> listed;
    if (!oracle::ListChunks(png, listed)) continue;  // broken files: see below
    ++checked;
    Extraction x;
    x.Run(png, "ALL");

    std::vector<const oracle::Chunk*> expected;
    const oracle::Chunk* plte = nullptr;
    int beforePalette = 0, beforeImageData = 0;
    bool seenImageData = false;
    for (const oracle::Chunk& c : listed) {
      if (c.type == "PLTE") plte = &c;
      seenImageData = seenImageData || c.type == "IDAT";
      if (c.type == "IHDR" || c.type == "PLTE" || c.type == "IDAT" || c.type == "IEND" || c.type == "tRNS") continue;
      expected.push_back(&c);
      beforePalette += plte == nullptr && !seenImageData;
      beforeImageData += !seenImageData;
    }
    ASSERT_EQ(x.Bounds(), (std::vector<int>{0, beforePalette, beforeImageData, static_cast<int>(expected.size())}));
    for (size_t i = 0; i < expected.size(); ++i) {
      const uint8_t* raw = x.job.chunks[i];
      EXPECT_EQ(TypeOf(raw), expected[i]->type) << i;
      EXPECT_EQ(Bytes(raw + 8, raw + 8 + Be32(raw)), expected[i]->data) << i;
      EXPECT_TRUE(CrcIsValid(raw)) << i;
    }
    EXPECT_EQ(x.colorType, png[25]);
    EXPECT_EQ(x.bitDepth, png[24]);
    const int entries = x.colorType == 3 && plte != nullptr ? static_cast<int>(plte->data.size() / 3) : 0;
    ASSERT_EQ(x.job.palcount, entries);
    for (int i = 0; i < entries; ++i) {
      const uint8_t* rgb = plte->data.data() + 3 * i;
      EXPECT_EQ(x.palette[i], 0xFF000000u | uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2]) << i;
    }
  }
  EXPECT_GT(checked, 150);
}

// bg/tb files name their background colour; 16-bit ones give none.
TEST(PngSuiteChunks, BackgroundColoursAsTheSuiteNamesThem) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"bgbn4a08.png", 0xFF000000}, {"bggn4a16.png", 0},          {"bgwn6a08.png", 0xFFFFFFFF},
      {"bgyn6a16.png", 0},          {"tbbn0g04.png", 0xFF000000}, {"tbbn2c16.png", 0},
      {"tbbn3p08.png", 0xFF000000}, {"tbgn3p08.png", 0xFFAAAAAA}, {"tbrn2c08.png", 0xFFFF0000},
      {"tbwn0g16.png", 0},          {"tbwn3p08.png", 0xFFFFFFFF}, {"tbyn3p08.png", 0xFFFFFF00},
      {"basn3p08.png", 0},  // no bKGD at all
  };
  for (const auto& [name, colour] : cases) {
    Bytes png = oracle::ReadFile(oracle::DataDir() / "pngsuite" / name);
    ASSERT_FALSE(png.empty()) << name;
    Extraction x;
    x.Run(png, "ALL");
    EXPECT_EQ(x.job.bkgd, colour) << name;
  }
}

// Every file, whole and cut at every length, broken files included: the
// kept chunks lie inside the bytes and can all be described.  Each cut gets
// its own exactly-sized block, so the sanitizer build catches a read past
// the end of the data.
TEST(PngSuiteChunks, EveryFileAndEveryCutStaysInsideTheBytes) {
  const auto files = SuiteFiles();
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
