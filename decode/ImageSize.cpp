// The size query: each format's width and height straight from its header,
// without decoding.  Every read is checked against the data length first; a
// size that is not positive (or does not fit an int) is answered as 0 x 0,
// which tells the caller there is nothing to render.
#include <cstdlib>

#include "decode/ByteOrder.h"
#include "decode/FormatDetect.h"
#include "decode/ImageDecode.h"

namespace {

struct Size {
  long long width = 0;
  long long height = 0;
};

Size PngSize(const uint8_t* data, size_t length) {
  // The first IHDR wins, even when other chunks come before it.
  uint64_t offset = 8;
  while (offset + 16 < length) {
    const uint8_t* chunk = data + offset;
    if (chunk[4] == 'I' && chunk[5] == 'H' && chunk[6] == 'D' && chunk[7] == 'R')
      return {ReadBigEndian32(chunk + 8), ReadBigEndian32(chunk + 12)};
    offset += uint64_t{ReadBigEndian32(chunk)} + 12;
  }
  return {};
}

Size JpegSize(const uint8_t* data, size_t length) {
  size_t pos = 2;
  while (pos + 8 < length) {
    if (data[pos] != 0xFF || data[pos + 1] == 0xFF) {
      ++pos;
      continue;
    }
    const uint8_t marker = data[pos + 1];
    if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2)
      return {ReadBigEndian16(data + pos + 7), ReadBigEndian16(data + pos + 5)};
    pos += ReadBigEndian16(data + pos + 2) + size_t{2};
  }
  return {};
}

Size BmpSize(const uint8_t* data, size_t length) {
  if (length < 24) return {};
  if (ReadLittleEndian32(data + 14) == 12) {
    if (ReadLittleEndian16(data + 22) != 1) return {};
    return {ReadLittleEndian16(data + 18), ReadLittleEndian16(data + 20)};
  }
  if (length < 30 || ReadLittleEndian16(data + 26) != 1) return {};
  // A negative height marks a top-down bitmap; the image is as tall either way.
  const auto height = static_cast<int32_t>(ReadLittleEndian32(data + 22));
  return {static_cast<int32_t>(ReadLittleEndian32(data + 18)), std::llabs(height)};
}

Size PcxSize(const uint8_t* data) {
  const auto field = [&](size_t at) { return static_cast<int16_t>(ReadLittleEndian16(data + at)); };
  return {field(8) - field(4) + 1, field(10) - field(6) + 1};
}

Size SizeOf(const uint8_t* data, size_t length) {
  switch (DetectFormat(data, length)) {
    case ImageFormat::Png: return PngSize(data, length);
    case ImageFormat::Jpeg: return JpegSize(data, length);
    case ImageFormat::Gif:
      if (data[12] != 0) return {};
      return {ReadLittleEndian16(data + 6), ReadLittleEndian16(data + 8)};
    case ImageFormat::Cel: return {ReadLittleEndian16(data + 2), ReadLittleEndian16(data + 4)};
    case ImageFormat::Bmp: return BmpSize(data, length);
    case ImageFormat::Pcx: return PcxSize(data);
    case ImageFormat::Dds:
      if (length < 20) return {};
      return {ReadLittleEndian32(data + 16), ReadLittleEndian32(data + 12)};
    case ImageFormat::Tga: return {ReadLittleEndian16(data + 12), ReadLittleEndian16(data + 14)};
    case ImageFormat::Unknown: break;
  }
  return {};
}

}  // namespace

void ImageGetSize(const uint8_t* data, size_t length, int* width, int* height) {
  *width = 0;
  *height = 0;
  if (data == nullptr || length < 16) return;
  const Size size = SizeOf(data, length);
  if (size.width <= 0 || size.height <= 0 || size.width > 0x7FFFFFFF || size.height > 0x7FFFFFFF) return;
  *width = static_cast<int>(size.width);
  *height = static_cast<int>(size.height);
}
