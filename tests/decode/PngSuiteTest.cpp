// The PNG decoder against libpng over the whole PngSuite: every image of 8
// bits or less must give libpng's pixels (expanded to RGBA, tRNS applied),
// 16-bit images and broken files must be refused without harm.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "decode/ImageDecode.h"
#include "support/Oracles.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> SuiteFiles(const std::string& prefixFilter) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(oracle::DataDir() / "pngsuite")) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".png" || name == "PngSuite.png") continue;
    if (!prefixFilter.empty() && name.rfind(prefixFilter, 0) != 0) continue;
    files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// PngSuite names carry the bit depth in their last two digits before ".png".
int SuiteBitDepth(const fs::path& file) {
  const std::string stem = file.stem().string();
  return std::stoi(stem.substr(stem.size() - 2));
}

bool IsCorruptSample(const fs::path& file) { return file.filename().string()[0] == 'x'; }

oracle::Image Render(const std::vector<uint8_t>& bytes, int& result) {
  oracle::Image image;
  ImageGetSize(bytes.data(), bytes.size(), &image.width, &image.height);
  image.pixels.assign(static_cast<size_t>(image.width) * image.height, 0x12345678);
  result = ImageRender(bytes.data(), bytes.size(), image.pixels.data(), image.width * 4, image.width,
                       image.height, 0, 0);
  return image;
}

TEST(PngSuite, EightBitAndBelowMatchLibpng) {
  int checked = 0;
  for (const fs::path& file : SuiteFiles("")) {
    if (IsCorruptSample(file) || SuiteBitDepth(file) > 8) continue;
    SCOPED_TRACE(file.filename().string());
    const std::vector<uint8_t> bytes = oracle::ReadFile(file);
    oracle::Image expected;
    ASSERT_TRUE(oracle::DecodePng(bytes, expected));
    int result = 0;
    const oracle::Image actual = Render(bytes, result);
    ASSERT_EQ(result, 0);
    ASSERT_EQ(actual.width, expected.width);
    ASSERT_EQ(actual.height, expected.height);
    for (size_t i = 0; i < expected.pixels.size(); ++i)
      ASSERT_EQ(actual.pixels[i], expected.pixels[i]) << "pixel " << i % expected.width << "," << i / expected.width;
    ++checked;
  }
  EXPECT_GT(checked, 100);
}

TEST(PngSuite, SixteenBitImagesAreRefused) {
  int checked = 0;
  for (const fs::path& file : SuiteFiles("")) {
    if (IsCorruptSample(file) || SuiteBitDepth(file) != 16) continue;
    SCOPED_TRACE(file.filename().string());
    int result = 0;
    Render(oracle::ReadFile(file), result);
    EXPECT_EQ(result, -1);
    ++checked;
  }
  EXPECT_GT(checked, 20);
}

// Broken signatures, header values and a missing IDAT are refused.  The two
// samples whose only fault is a wrong CRC decode to their intact pixels,
// because the decoder does not verify CRCs.
TEST(PngSuite, CorruptSamples) {
  const std::vector<std::string> crcOnly = {"xcsn0g01.png", "xhdn0g08.png"};
  int refused = 0;
  for (const fs::path& file : SuiteFiles("x")) {
    const std::string name = file.filename().string();
    SCOPED_TRACE(name);
    const std::vector<uint8_t> bytes = oracle::ReadFile(file);
    int width = 0, height = 0;
    ImageGetSize(bytes.data(), bytes.size(), &width, &height);
    std::vector<uint32_t> frame(64 * 64, 0);
    const int result = ImageRender(bytes.data(), bytes.size(), frame.data(), 64 * 4, 64, 64, 0, 0);
    if (std::find(crcOnly.begin(), crcOnly.end(), name) != crcOnly.end()) {
      EXPECT_EQ(result, 0);
      const std::string intact = name == "xcsn0g01.png" ? "basn0g01.png" : "basn0g08.png";
      oracle::Image expected;
      ASSERT_TRUE(oracle::DecodePng(oracle::ReadFile(oracle::DataDir() / "pngsuite" / intact), expected));
      for (int yy = 0; yy < expected.height; ++yy)
        for (int xx = 0; xx < expected.width; ++xx)
          ASSERT_EQ(frame[yy * 64 + xx], expected.pixels[yy * expected.width + xx]);
    } else {
      EXPECT_EQ(result, -1);
      ++refused;
    }
  }
  EXPECT_EQ(refused, 12);
}

}  // namespace
