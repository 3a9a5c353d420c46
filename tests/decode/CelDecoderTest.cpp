// CEL decoder.  No independent tool here reads or writes the format, so the
// files are built by the test: a 32-byte header, 256 six-bit palette entries
// from offset 32, one byte per pixel from offset 800.
#include <gtest/gtest.h>

#include "FormatTestSupport.h"

using namespace formats_test;

namespace {

// Entry i of the palette is (i % 64, 63 - i % 64, (i * 5) % 64).
std::vector<uint8_t> Cel(int width, int height, const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> out(32, 0);
  out[0] = 0x19;
  out[1] = 0x91;
  PutLe16(out, 2, static_cast<unsigned>(width));
  PutLe16(out, 4, static_cast<unsigned>(height));
  out[10] = 8;
  out[11] = 0;
  for (int i = 0; i < 256; ++i) out.insert(out.end(), {uint8_t(i % 64), uint8_t(63 - i % 64), uint8_t(i * 5 % 64)});
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

uint32_t Entry(unsigned i) {
  return 0xFF000000u | ((i % 64) * 4 << 16) | ((63 - i % 64) * 4 << 8) | (i * 5 % 64) * 4;
}

TEST(CelDecoder, DrawsRowsTopDownThroughTheSixBitPalette) {
  std::vector<uint8_t> pixels;
  oracle::Image want{5, 3, {}};
  for (unsigned i = 0; i < 15; ++i) {
    const unsigned index = (i * 37 + 11) % 256;
    pixels.push_back(static_cast<uint8_t>(index));
    want.pixels.push_back(Entry(index));
  }
  const std::vector<uint8_t> file = Cel(5, 3, pixels);
  const Rendered exact = Render(RenderCel, file, 5, 3);
  EXPECT_EQ(exact.result, 0);
  EXPECT_EQ(exact.frame.pixels, want.pixels);
  const Rendered placed = Render(RenderCel, file, 6, 4, 2, -1);
  EXPECT_TRUE(placed.frame == Place(want, 6, 4, 2, -1));
}

TEST(CelDecoder, PaletteBytesKeepOnlyTheirSixBits) {
  std::vector<uint8_t> file = Cel(1, 1, {0});
  file[32] = 0xFF;  // 63 after the top two bits go
  file[33] = 0x40;  // 0
  file[34] = 0x81;  // 1
  EXPECT_EQ(Render(RenderCel, file, 1, 1).frame.pixels, std::vector<uint32_t>{0xFFFC0004});
}

TEST(CelDecoder, RejectsEmptyImagesAndOtherFiles) {
  struct Case {
    const char* name;
    size_t at;
    uint8_t value;
  };
  const Case cases[] = {
      {"width 0", 2, 0}, {"height 0", 4, 0}, {"not 8 bits", 10, 4}, {"byte 11 set", 11, 1}, {"magic", 1, 0x92},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bad = Cel(1, 1, {7});
    bad[c.at] = c.value;
    const Rendered r = Render(RenderCel, bad, 1, 1);
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.frame.pixels, std::vector<uint32_t>{kUntouched});
  }
}

TEST(CelDecoder, CutShortFilesDrawWhatIsThere) {
  std::vector<uint8_t> pixels(7 * 9);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 3);
  const std::vector<uint8_t> file = Cel(7, 9, pixels);
  ExpectPrefixesSafe(RenderCel, file, 7, 9);
  // Half of the pixels: the first rows and a half, the rest left alone.
  const std::vector<uint8_t> half(file.begin(), file.begin() + 800 + 31);
  const Rendered r = Render(RenderCel, half, 7, 9);
  EXPECT_EQ(r.result, 0);
  for (size_t i = 0; i < r.frame.pixels.size(); ++i) {
    EXPECT_EQ(r.frame.pixels[i], i < 31 ? Entry(pixels[i]) : kUntouched) << i;
  }
}

TEST(CelDecoder, HugeDeclaredSizeIsClippedToTheFrame) {
  // Two full rows of 65535 pixels in the file; the frame sees the last two columns.
  const std::vector<uint8_t> file = Cel(65535, 65535, std::vector<uint8_t>(2 * 65535, 9));
  const Rendered r = Render(RenderCel, file, 4, 3, -65533, 0);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.frame.pixels, (std::vector<uint32_t>{Entry(9), Entry(9), kUntouched, kUntouched,  //
                                                   Entry(9), Entry(9), kUntouched, kUntouched,  //
                                                   kUntouched, kUntouched, kUntouched, kUntouched}));
}

}  // namespace
