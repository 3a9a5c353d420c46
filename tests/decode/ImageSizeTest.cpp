// Format recognition and the size query over hand-made headers of every
// format (PngSuite and the Pillow files check plain sizes): the first
// matching test decides, and TGA (the weakest signature) is last.
#include <gtest/gtest.h>

#include "FormatTestSupport.h"
#include "decode/FormatDetect.h"
#include "decode/ImageDecode.h"

using namespace formats_test;

namespace {

Bytes Gif(uint32_t w, uint32_t h, uint32_t aspect = 0) {
  return Fields(64, {{0, 4, 0x38464947}, {4, 2, 0x6139}, {6, 2, w}, {8, 2, h}, {12, 1, aspect}});
}
Bytes Cel(uint32_t w, uint32_t h) { return Fields(64, {{0, 2, 0x9119}, {2, 2, w}, {4, 2, h}, {10, 2, 8}}); }
Bytes BmpCore(uint32_t w, uint32_t h) { return Fields(64, {{0, 2, 0x4D42}, {14, 4, 12}, {18, 2, w}, {20, 2, h}, {22, 2, 1}}); }
Bytes BmpInfo(int w, int h, uint32_t planes = 1) { return Fields(64, {{0, 2, 0x4D42}, {14, 4, 40}, {18, 4, uint32_t(w)}, {22, 4, uint32_t(h)}, {26, 2, planes}}); }
Bytes Pcx(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) { return Fields(128, {{0, 4, 0x0801050A}, {4, 2, x0}, {6, 2, y0}, {8, 2, x1}, {10, 2, y1}}); }
Bytes Dds(uint32_t w, uint32_t h) { return Fields(128, {{0, 4, 0x20534444}, {4, 4, 124}, {12, 4, h}, {16, 4, w}}); }
Bytes Tga(uint32_t w, uint32_t h, uint32_t type = 2, uint32_t bits = 24, uint32_t first = 0, uint32_t descriptor = 0x20) {
  return Fields(64, {{0, 1, first}, {2, 1, type}, {12, 2, w}, {14, 2, h}, {16, 1, bits}, {17, 1, descriptor}});
}
// An APP0 segment of 16 bytes, then the frame header (sizes big-endian).
Bytes Jpeg(uint32_t w, uint32_t h, uint32_t marker = 0xC0) {
  return Fields(48, {{0, 4, 0xE0FFD8FF}, {4, 2, 0x1000}, {20, 2, 0xFF | marker << 8}, {25, 1, h >> 8}, {26, 1, h & 0xFF},
                     {27, 1, w >> 8}, {28, 1, w & 0xFF}});
}
Bytes Png(uint32_t w, uint32_t h, bool otherChunkFirst = false) {
  return (otherChunkFirst ? PngFile().Chunk("gAMA", {0, 0, 0xB1, 0x8F}) : PngFile()).Header(w, h, 8, 2).bytes;
}

TEST(ImageSize, EachFormatsHeader) {
  const struct {
    const char* what;
    Bytes bytes;
    ImageFormat format;
    int width, height;
  } cases[] = {
      {"PNG with IHDR not first", Png(3, 70000, true), ImageFormat::Png, 3, 70000}, {"PNG width above 2^31 - 1", Png(0x80000000u, 2), ImageFormat::Png, 0, 0},
      {"JPEG baseline after APP0", Jpeg(1024, 768), ImageFormat::Jpeg, 1024, 768}, {"JPEG progressive", Jpeg(3, 5, 0xC2), ImageFormat::Jpeg, 3, 5},
      {"JPEG without a frame header", Jpeg(3, 5, 0xC4), ImageFormat::Jpeg, 0, 0}, {"GIF aspect ratio", Gif(320, 200, 49), ImageFormat::Gif, 0, 0},
      {"CEL", Cel(64, 48), ImageFormat::Cel, 64, 48}, {"BMP core header", BmpCore(300, 20), ImageFormat::Bmp, 300, 20},
      {"BMP top-down", BmpInfo(5, -7), ImageFormat::Bmp, 5, 7}, {"BMP with two planes", BmpInfo(5, 7, 2), ImageFormat::Bmp, 0, 0},
      {"PCX with negative corners", Pcx(-5, -5, 4, 0), ImageFormat::Pcx, 10, 6}, {"PCX max below min", Pcx(10, 0, 5, 0), ImageFormat::Pcx, 0, 0},
      {"DDS", Dds(256, 128), ImageFormat::Dds, 256, 128}, {"BMP info header", BmpInfo(70000, 3), ImageFormat::Bmp, 70000, 3},
      // Short or unknown data, TGA headers that are not TGA, CEL without bytes 10 and 11, DDS without header size 124: nothing.
      {"15 bytes of PNG", Cut(Png(10, 10), 15), ImageFormat::Png, 0, 0}, {"no data", Bytes{}, ImageFormat::Unknown, 0, 0},
      {"zeros", Bytes(64, 0), ImageFormat::Unknown, 0, 0}, {"0xFF bytes", Bytes(64, 0xFF), ImageFormat::Unknown, 0, 0},
      {"TGA type 4", Tga(33, 44, 4), ImageFormat::Unknown, 0, 0}, {"TGA 12 bits", Tga(33, 44, 2, 12), ImageFormat::Unknown, 0, 0},
      {"TGA descriptor 64", Tga(33, 44, 2, 24, 0, 64), ImageFormat::Unknown, 0, 0},
      {"CEL byte 10 wrong", Edit(Cel(4, 4), {{10, 1, 7}}), ImageFormat::Unknown, 0, 0}, {"DDS header size 123", Edit(Dds(4, 4), {{4, 1, 123}}), ImageFormat::Unknown, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DetectFormat(c.bytes.data(), c.bytes.size()), c.format);
    int width = -1, height = -1;
    ImageGetSize(c.bytes.data(), c.bytes.size(), &width, &height);
    EXPECT_EQ(std::pair(width, height), std::pair(c.width, c.height));
    uint32_t pixel = 0;
    EXPECT_TRUE(c.format != ImageFormat::Unknown || ImageRender(c.bytes.data(), c.bytes.size(), &pixel, 4, 1, 1, 0, 0) == -1);
  }
  // A TGA whose ID length equals another format's first byte is still a TGA
  // (every earlier signature has a second byte above 1, which a TGA colour-map
  // type cannot be), and data passing an earlier test never reaches the TGA test.
  for (uint32_t first : std::initializer_list<uint32_t>{0x89, 0xFF, 'G', 0x19, 'B', 0x0A, 'D'}) {
    const Bytes tga = Tga(4, 4, 2, 24, first);
    EXPECT_EQ(DetectFormat(tga.data(), tga.size()), ImageFormat::Tga) << first;
  }
  for (const auto& [format, signature] : {std::pair{ImageFormat::Png, Field{0, 2, 0x5089}}, {ImageFormat::Gif, {0, 3, 0x464947}},
                                          {ImageFormat::Bmp, {0, 2, 0x4D42}}, {ImageFormat::Pcx, {0, 4, 0x0801050A}}, {ImageFormat::Jpeg, {0, 2, 0xD8FF}}}) {
    const Bytes bytes = Edit(Tga(4, 4), {signature});
    EXPECT_EQ(DetectFormat(bytes.data(), bytes.size()), format);
  }
  // Any data starting like PNG goes to the PNG decoder, which refuses the rest of a wrong signature.
  const Bytes png = Edit(Png(2, 2), {{2, 1, 'X'}});
  uint32_t frame[4] = {};
  EXPECT_EQ(DetectFormat(png.data(), png.size()), ImageFormat::Png);
  EXPECT_EQ(ImageRender(png.data(), png.size(), frame, 8, 2, 2, 0, 0), -1);
}

}  // namespace
