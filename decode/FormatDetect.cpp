#include "decode/FormatDetect.h"

#include <initializer_list>

#include "decode/ByteOrder.h"

namespace {

bool StartsWith(const uint8_t* data, size_t length, std::initializer_list<uint8_t> bytes) {
  if (length < bytes.size()) return false;
  size_t i = 0;
  for (uint8_t b : bytes)
    if (data[i++] != b) return false;
  return true;
}

bool IsTga(const uint8_t* data, size_t length) {
  if (length < 20) return false;
  const uint8_t imageType = data[2];
  const bool knownType = imageType == 1 || imageType == 2 || imageType == 3 || imageType == 9 ||
                         imageType == 10 || imageType == 11;
  const uint8_t bits = data[16];
  return data[1] <= 1 && knownType && bits != 0 && bits % 8 == 0 && bits <= 32 && data[17] <= 63;
}

}  // namespace

ImageFormat DetectFormat(const uint8_t* data, size_t length) {
  if (StartsWith(data, length, {0x89, 0x50})) return ImageFormat::Png;
  if (StartsWith(data, length, {0xFF, 0xD8})) return ImageFormat::Jpeg;
  if (StartsWith(data, length, {0x47, 0x49, 0x46})) return ImageFormat::Gif;
  if (length >= 12 && data[0] == 0x19 && data[1] == 0x91 && data[10] == 8 && data[11] == 0) return ImageFormat::Cel;
  if (StartsWith(data, length, {0x42, 0x4D})) return ImageFormat::Bmp;
  if (StartsWith(data, length, {0x0A, 0x05, 0x01, 0x08})) return ImageFormat::Pcx;
  if (length >= 8 && StartsWith(data, length, {0x44, 0x44, 0x53, 0x20}) && ReadLittleEndian32(data + 4) == 124)
    return ImageFormat::Dds;
  if (IsTga(data, length)) return ImageFormat::Tga;
  return ImageFormat::Unknown;
}
