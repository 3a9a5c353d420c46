// The chunk walk over the PngSuite conformance files, checked against
// libpng-independent chunk listing and zlib's CRC (tests/support), and the
// PngSuite's own naming of what each file carries.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ChunkBytesForTests.h"
#include "support/Oracles.h"
#include "common/pngchunks/ExtractChunks.h"
#include "common/pngchunks/PngChunk.h"
#include "engine/EncodeJob.h"

namespace {

using chunks::ExtractChunks;
using chunktest::Bytes;

std::vector<std::filesystem::path> SuiteFiles() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(oracle::DataDir() / "pngsuite")) {
    if (entry.path().extension() == ".png") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct Extracted {
  EncodeJob job{};
  std::vector<uint32_t> palette = std::vector<uint32_t>(256, 0);
  std::vector<uint8_t*> array = std::vector<uint8_t*>(chunks::kMaxExtractedChunks, nullptr);
  uint8_t colorType = 0;
  uint8_t bitDepth = 0;

  Extracted(Bytes& png, const char* keep) {
    job.pal = palette.data();
    job.chunks = array.data();
    ExtractChunks(job, png.data(), png.size(), keep, colorType, bitDepth);
  }
};

bool IsNeverKept(const std::string& type) {
  return type == "IHDR" || type == "PLTE" || type == "IDAT" || type == "IEND" || type == "tRNS";
}

TEST(PngSuiteChunks, KeptChunksMatchTheFileByteForByte) {
  const auto files = SuiteFiles();
  ASSERT_GT(files.size(), 150u);
  int checked = 0;
  for (const auto& path : files) {
    Bytes png = oracle::ReadFile(path);
    std::vector<oracle::Chunk> listed;
    if (!oracle::ListChunks(png, listed)) continue;  // broken files: see below
    ++checked;
    Extracted x(png, "ALL");

    std::vector<oracle::Chunk> expected;
    int beforePalette = 0, beforeImageData = 0;
    bool seenPalette = false, seenImageData = false;
    const oracle::Chunk* plte = nullptr;
    for (const oracle::Chunk& c : listed) {
      if (c.type == "PLTE") {
        plte = &c;
        seenPalette = true;
      }
      if (c.type == "IDAT") seenImageData = true;
      if (IsNeverKept(c.type)) continue;
      expected.push_back(c);
      if (!seenPalette && !seenImageData) ++beforePalette;
      if (!seenImageData) ++beforeImageData;
    }
    const std::string name = path.filename().string();
    ASSERT_EQ(x.job.chunkcount, static_cast<int>(expected.size())) << name;
    EXPECT_EQ(x.job.chunkpre, 0) << name;
    EXPECT_EQ(x.job.chunkmid, beforePalette) << name;
    EXPECT_EQ(x.job.chunkpost, beforeImageData) << name;
    for (size_t i = 0; i < expected.size(); ++i) {
      const uint8_t* raw = x.job.chunks[i];
      EXPECT_EQ(chunktest::TypeOf(raw), expected[i].type) << name << " #" << i;
      EXPECT_EQ(Bytes(raw + 8, raw + 8 + chunktest::Be32(raw)), expected[i].data) << name << " #" << i;
      EXPECT_TRUE(chunktest::CrcIsValid(raw)) << name << " #" << i;
    }
    EXPECT_EQ(x.colorType, png[25]) << name;
    EXPECT_EQ(x.bitDepth, png[24]) << name;
    if (x.colorType == 3) {
      ASSERT_NE(plte, nullptr) << name;
      ASSERT_EQ(x.job.palcount, static_cast<int>(plte->data.size() / 3)) << name;
      for (int i = 0; i < x.job.palcount; ++i) {
        const uint8_t* rgb = plte->data.data() + 3 * i;
        EXPECT_EQ(x.palette[i], 0xFF000000u | uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2]) << name;
      }
    } else {
      EXPECT_EQ(x.job.palcount, 0) << name;
    }
  }
  EXPECT_GT(checked, 150);
}

TEST(PngSuiteChunks, BackgroundColoursAsTheSuiteNamesThem) {
  const std::map<std::string, uint32_t> expected = {
      {"bgbn4a08.png", 0xFF000000},  // black, grey+alpha
      {"bggn4a16.png", 0},           // grey, but 16 bits deep: not used
      {"bgwn6a08.png", 0xFFFFFFFF},  // white, RGB+alpha
      {"bgyn6a16.png", 0},           // yellow, 16 bits deep
      {"tbbn0g04.png", 0xFF000000},  // black, 4-bit grey
      {"tbbn2c16.png", 0},           // blue, 16 bits deep
      {"tbbn3p08.png", 0xFF000000},  // black, palette
      {"tbgn3p08.png", 0xFFAAAAAA},  // light grey, palette
      {"tbrn2c08.png", 0xFFFF0000},  // red, RGB
      {"tbwn0g16.png", 0},           // white, 16-bit grey
      {"tbwn3p08.png", 0xFFFFFFFF},  // white, palette index 0
      {"tbyn3p08.png", 0xFFFFFF00},  // yellow, palette
      {"basn3p08.png", 0},           // no bKGD at all
  };
  for (const auto& [name, colour] : expected) {
    Bytes png = oracle::ReadFile(oracle::DataDir() / "pngsuite" / name);
    ASSERT_FALSE(png.empty()) << name;
    Extracted x(png, "ALL");
    EXPECT_EQ(x.job.bkgd, colour) << name;
  }
}

std::string DescriptionOf(const std::string& file, const std::string& type, int nth = 0) {
  Bytes png = oracle::ReadFile(oracle::DataDir() / "pngsuite" / file);
  Extracted x(png, "ALL");
  for (int i = 0; i < x.job.chunkcount; ++i) {
    if (chunktest::TypeOf(x.job.chunks[i]) == type && nth-- == 0) {
      char text[256] = "";
      EXPECT_TRUE(chunks::PngChunk(x.job.chunks[i]).Describe(text, sizeof text));
      return text;
    }
  }
  return "(no such chunk)";
}

TEST(PngSuiteChunks, DescriptionsOfRealChunks) {
  EXPECT_EQ(DescriptionOf("cm0n0g04.png", "tIME"), "Image last-modification time: 01/01/00 12:34:56 UTC");
  EXPECT_EQ(DescriptionOf("cm7n0g04.png", "tIME"), "Image last-modification time: 01/01/70 00:00:00 UTC");
  EXPECT_EQ(DescriptionOf("cm9n0g04.png", "tIME"), "Image last-modification time: 12/31/99 23:59:59 UTC");
  EXPECT_EQ(DescriptionOf("g03n0g16.png", "gAMA"), "File gamma=0.35000");
  EXPECT_EQ(DescriptionOf("cdun2c08.png", "pHYs"), "1000x1000 pixels per meter (25.4x25.4 dpi)");
  EXPECT_EQ(DescriptionOf("cdfn2c08.png", "pHYs"), "1x4 pixels per unknown unit");
  EXPECT_EQ(DescriptionOf("ps1n0g08.png", "sPLT"), "Suggested palette: six-cube");
  EXPECT_EQ(DescriptionOf("ct1n0g04.png", "tEXt"), "Title=PngSuite");
  EXPECT_EQ(DescriptionOf("ctzn0g04.png", "zTXt"), "Copyright");
  EXPECT_EQ(DescriptionOf("cten0g04.png", "iTXt", 1), "Author");
  EXPECT_EQ(DescriptionOf("ch1n3p04.png", "hIST"), "Palette histogram");
  EXPECT_EQ(DescriptionOf("cs5n2c08.png", "sBIT"), "Significant bits");
  EXPECT_EQ(DescriptionOf("tbbn3p08.png", "bKGD"), "Background color");
  EXPECT_EQ(DescriptionOf("ccwn2c08.png", "cHRM").substr(0, 3), "WP(");
}

// Every file, whole and cut at every length, broken files included: the
// kept chunks lie inside the bytes and can all be described.  The sanitizer
// build gives each cut its own exactly-sized block, so a read past the end
// of the data fails there.
TEST(PngSuiteChunks, EveryFileAndEveryCutStaysInsideTheBytes) {
  for (const auto& path : SuiteFiles()) {
    const Bytes whole = oracle::ReadFile(path);
    const size_t step = whole.size() > 600 ? 7 : 1;
    std::vector<size_t> cuts;
    for (size_t size = 0; size < whole.size(); size += step) cuts.push_back(size);
    cuts.push_back(whole.size());
    for (size_t size : cuts) {
      Bytes png(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
      Extracted x(png, "ALL");
      ASSERT_LE(x.job.chunkcount, chunks::kMaxExtractedChunks);
      for (int i = 0; i < x.job.chunkcount; ++i) {
        const uint8_t* raw = x.job.chunks[i];
        ASSERT_GE(raw, png.data()) << path.filename();
        ASSERT_LE(raw + 12 + uint64_t{chunktest::Be32(raw)}, png.data() + png.size()) << path.filename();
        chunks::PngChunk chunk(x.job.chunks[i]);
        char text[256];
        EXPECT_TRUE(chunk.Describe(text, sizeof text));
        chunk.DescribeBackground(text, sizeof text, x.colorType, x.bitDepth);
      }
    }
  }
}

}  // namespace
