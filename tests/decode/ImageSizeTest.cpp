// Format recognition and the size query over hand-made headers of every
// format: the first matching test decides, so a file that looks like two
// formats goes to the earlier one, and TGA (the weakest signature) is last.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decode/FormatDetect.h"
#include "decode/ImageDecode.h"
#include "tests/decode/PngTestFiles.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutLittleEndian(Bytes& b, size_t at, uint32_t value, int bytes) {
  if (b.size() < at + bytes) b.resize(at + bytes, 0);
  for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}
void PutBigEndian16(Bytes& b, size_t at, uint32_t value) {
  if (b.size() < at + 2) b.resize(at + 2, 0);
  b[at] = static_cast<uint8_t>(value >> 8);
  b[at + 1] = static_cast<uint8_t>(value);
}

Bytes Padded(Bytes b, size_t size = 64) {
  if (b.size() < size) b.resize(size, 0);
  return b;
}

Bytes Gif(int w, int h, uint8_t aspect = 0) {
  Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
  PutLittleEndian(b, 6, w, 2);
  PutLittleEndian(b, 8, h, 2);
  PutLittleEndian(b, 12, aspect, 1);
  return Padded(b);
}
Bytes Cel(int w, int h) {
  Bytes b = {0x19, 0x91};
  PutLittleEndian(b, 2, w, 2);
  PutLittleEndian(b, 4, h, 2);
  PutLittleEndian(b, 10, 8, 2);
  return Padded(b);
}
Bytes BmpCore(int w, int h) {
  Bytes b = {'B', 'M'};
  PutLittleEndian(b, 14, 12, 4);
  PutLittleEndian(b, 18, w, 2);
  PutLittleEndian(b, 20, h, 2);
  PutLittleEndian(b, 22, 1, 2);
  return Padded(b);
}
Bytes BmpInfo(int32_t w, int32_t h, int planes = 1) {
  Bytes b = {'B', 'M'};
  PutLittleEndian(b, 14, 40, 4);
  PutLittleEndian(b, 18, static_cast<uint32_t>(w), 4);
  PutLittleEndian(b, 22, static_cast<uint32_t>(h), 4);
  PutLittleEndian(b, 26, planes, 2);
  return Padded(b);
}
Bytes Pcx(int xmin, int ymin, int xmax, int ymax) {
  Bytes b = {0x0A, 0x05, 0x01, 0x08};
  PutLittleEndian(b, 4, static_cast<uint16_t>(xmin), 2);
  PutLittleEndian(b, 6, static_cast<uint16_t>(ymin), 2);
  PutLittleEndian(b, 8, static_cast<uint16_t>(xmax), 2);
  PutLittleEndian(b, 10, static_cast<uint16_t>(ymax), 2);
  return Padded(b, 128);
}
Bytes Dds(uint32_t w, uint32_t h) {
  Bytes b = {'D', 'D', 'S', ' '};
  PutLittleEndian(b, 4, 124, 4);
  PutLittleEndian(b, 12, h, 4);
  PutLittleEndian(b, 16, w, 4);
  return Padded(b, 128);
}
Bytes Tga(int w, int h, uint8_t type = 2, uint8_t bits = 24, uint8_t first = 0, uint8_t descriptor = 0x20) {
  Bytes b = {first, 0, type};
  PutLittleEndian(b, 12, w, 2);
  PutLittleEndian(b, 14, h, 2);
  PutLittleEndian(b, 16, bits, 1);
  PutLittleEndian(b, 17, descriptor, 1);
  return Padded(b);
}
Bytes Jpeg(int w, int h, uint8_t frameMarker = 0xC0) {
  Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0};
  b.resize(4 + 0x10, 0);  // APP0 segment of 16 bytes after the marker
  const size_t sof = b.size();
  b.insert(b.end(), {0xFF, frameMarker, 0x00, 0x11, 8});
  PutBigEndian16(b, sof + 5, h);
  PutBigEndian16(b, sof + 7, w);
  return Padded(b, sof + 24);
}
Bytes Png(uint32_t w, uint32_t h, bool otherChunkFirst) {
  png_test::PngFile file;
  if (otherChunkFirst) file.Chunk("gAMA", {0, 0, 0xB1, 0x8F});
  return file.Header(w, h, 8, 2).bytes;
}

TEST(ImageSize, EachFormatsHeader) {
  const struct {
    const char* what;
    Bytes bytes;
    ImageFormat format;
    int width, height;
  } cases[] = {
      {"PNG", Png(640, 480, false), ImageFormat::Png, 640, 480},
      {"PNG with IHDR not first", Png(3, 70000, true), ImageFormat::Png, 3, 70000},
      {"PNG with a width above 2^31 - 1", Png(0x80000000u, 2, false), ImageFormat::Png, 0, 0},
      {"JPEG baseline after APP0", Jpeg(1024, 768), ImageFormat::Jpeg, 1024, 768},
      {"JPEG progressive", Jpeg(3, 5, 0xC2), ImageFormat::Jpeg, 3, 5},
      {"JPEG without a frame header", Jpeg(3, 5, 0xC4), ImageFormat::Jpeg, 0, 0},
      {"GIF", Gif(320, 200), ImageFormat::Gif, 320, 200},
      {"GIF with an aspect ratio", Gif(320, 200, 49), ImageFormat::Gif, 0, 0},
      {"CEL", Cel(64, 48), ImageFormat::Cel, 64, 48},
      {"BMP core header", BmpCore(300, 20), ImageFormat::Bmp, 300, 20},
      {"BMP info header", BmpInfo(70000, 3), ImageFormat::Bmp, 70000, 3},
      {"BMP top-down", BmpInfo(5, -7), ImageFormat::Bmp, 5, 7},
      {"BMP with two planes", BmpInfo(5, 7, 2), ImageFormat::Bmp, 0, 0},
      {"PCX", Pcx(10, 20, 109, 69), ImageFormat::Pcx, 100, 50},
      {"PCX with negative corners", Pcx(-5, -5, 4, 0), ImageFormat::Pcx, 10, 6},
      {"PCX with max below min", Pcx(10, 0, 5, 0), ImageFormat::Pcx, 0, 0},
      {"DDS", Dds(256, 128), ImageFormat::Dds, 256, 128},
      {"TGA", Tga(33, 44), ImageFormat::Tga, 33, 44},
      {"TGA run-length grey", Tga(7, 9, 11, 8), ImageFormat::Tga, 7, 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DetectFormat(c.bytes.data(), c.bytes.size()), c.format);
    int width = -1, height = -1;
    ImageGetSize(c.bytes.data(), c.bytes.size(), &width, &height);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
  }
}

TEST(ImageSize, ShortOrUnknownDataGivesNothing) {
  const Bytes png = Png(10, 10, false);
  const Bytes cases[] = {Bytes(png.begin(), png.begin() + 15), Bytes(64, 0), Bytes(64, 0xFF), Bytes{},
                         Tga(33, 44, 4), Tga(33, 44, 2, 12), Tga(33, 44, 2, 24, 0, 64)};
  for (const Bytes& bytes : cases) {
    int width = -1, height = -1;
    ImageGetSize(bytes.data(), bytes.size(), &width, &height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    if (bytes.size() >= 16) {
      uint32_t pixel = 0;
      EXPECT_EQ(ImageRender(bytes.data(), bytes.size(), &pixel, 4, 1, 1, 0, 0), -1);
    }
  }
}

// A TGA header is recognised only when no earlier test matches.  Every
// earlier signature has a second byte above 1, which a TGA colour-map type
// cannot be, so a TGA whose ID length equals another format's first byte is
// still a TGA, and data passing an earlier test never reaches the TGA test.
TEST(FormatDetect, TgaComesLast) {
  for (int first : {0x00, 0x89, 0xFF, 0x47, 0x19, 0x42, 0x0A, 0x44}) {
    const Bytes tga = Tga(4, 4, 2, 24, static_cast<uint8_t>(first));
    EXPECT_EQ(DetectFormat(tga.data(), tga.size()), ImageFormat::Tga) << first;
  }
  const struct {
    Bytes prefix;
    ImageFormat format;
  } lookalikes[] = {
      {{0x89, 0x50}, ImageFormat::Png},    {{0xFF, 0xD8}, ImageFormat::Jpeg},
      {{'G', 'I', 'F'}, ImageFormat::Gif}, {{'B', 'M'}, ImageFormat::Bmp},
      {{0x0A, 0x05, 0x01, 0x08}, ImageFormat::Pcx},
  };
  for (const auto& l : lookalikes) {
    // Otherwise a valid TGA header: type 2, 24 bits, descriptor 0x20.
    Bytes bytes = Tga(4, 4);
    std::copy(l.prefix.begin(), l.prefix.end(), bytes.begin());
    EXPECT_EQ(DetectFormat(bytes.data(), bytes.size()), l.format);
  }
  // CEL needs bytes 10 and 11 as well, DDS the header size 124.
  Bytes notCel = Cel(4, 4);
  notCel[10] = 7;
  EXPECT_EQ(DetectFormat(notCel.data(), notCel.size()), ImageFormat::Unknown);
  Bytes notDds = Dds(4, 4);
  notDds[4] = 123;
  EXPECT_EQ(DetectFormat(notDds.data(), notDds.size()), ImageFormat::Unknown);
}

TEST(FormatDetect, AnyDataStartingLikePngGoesToThePngDecoder) {
  Bytes bytes = Png(2, 2, false);
  bytes[2] = 'X';  // the rest of the signature is wrong
  EXPECT_EQ(DetectFormat(bytes.data(), bytes.size()), ImageFormat::Png);
  uint32_t frame[4] = {};
  EXPECT_EQ(ImageRender(bytes.data(), bytes.size(), frame, 8, 2, 2, 0, 0), -1);
}

}  // namespace
