#include "decode/PngChunkWalk.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "decode/ByteOrder.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr size_t kChunkOverhead = 12;  // length, type, CRC

bool IsType(const uint8_t* chunk, const char* type) { return std::memcmp(chunk + 4, type, 4) == 0; }

// The colour type / bit depth pairs PNG defines, without 16 bits.
bool IsSupportedFormat(int colorType, int bitDepth) {
  switch (colorType) {
    case 0:
    case 3:
      return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case 2:
    case 4:
    case 6:
      return bitDepth == 8;
    default:
      return false;
  }
}

bool ReadHeader(const uint8_t* body, uint32_t length, PngImageInfo& info) {
  if (length < 13) return false;
  const uint32_t width = ReadBigEndian32(body);
  const uint32_t height = ReadBigEndian32(body + 4);
  if (width < 1 || height < 1 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
  if (!IsSupportedFormat(body[9], body[8])) return false;
  if (body[10] != 0 || body[11] != 0 || body[12] > 1) return false;
  info.width = static_cast<int>(width);
  info.height = static_cast<int>(height);
  info.bitDepth = body[8];
  info.colorType = body[9];
  info.interlaced = body[12] == 1;
  if (info.colorType == 0 || info.colorType == 4) {
    const int levels = 1 << info.bitDepth;
    const uint32_t step = 255 / (levels - 1);
    for (int i = 0; i < levels; ++i) info.colors[i] = 0xFF000000 + static_cast<uint32_t>(i) * step * 0x010101;
    info.paletteCount = levels;
  }
  return true;
}

void ReadPalette(const uint8_t* body, uint32_t length, PngImageInfo& info) {
  // The table has 256 entries; a longer PLTE cannot index beyond them.
  const int count = static_cast<int>(std::min<uint32_t>(length / 3, 256));
  for (int i = 0; i < count; ++i) {
    const uint8_t* rgb = body + 3 * i;
    info.colors[i] = 0xFF000000 | uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2];
  }
  info.paletteCount = count;
}

void ReadTransparency(const uint8_t* body, uint32_t length, PngImageInfo& info) {
  if (info.colorType == 0 && length >= 2) {
    info.colors[body[1]] &= 0x00FFFFFF;
  } else if (info.colorType == 2 && length >= 6) {
    info.colorKey = 0xFF000000 | uint32_t{body[1]} << 16 | uint32_t{body[3]} << 8 | body[5];
  } else if (info.colorType == 3) {
    const int count = std::min<int>(static_cast<int>(std::min<uint32_t>(length, 256)), info.paletteCount);
    for (int i = 0; i < count; ++i) info.colors[i] = (info.colors[i] & 0x00FFFFFF) | uint32_t{body[i]} << 24;
  }
}

}  // namespace

int WalkPngChunks(const uint8_t* data, size_t size, PngImageInfo& info) {
  info = PngImageInfo{};
  std::fill(std::begin(info.colors), std::end(info.colors), kUndefinedPaletteColor);
  if (size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0) return -1;
  bool haveHeader = false;
  size_t offset = sizeof kSignature;
  while (size - offset >= 8) {
    const uint8_t* chunk = data + offset;
    const uint32_t length = ReadBigEndian32(chunk);
    if (IsType(chunk, "IDAT")) {
      if (!haveHeader) return -1;
      info.firstIdat = offset;
      return 0;
    }
    // A chunk whose body runs past the data ends the walk without an IDAT.
    if (length > size - offset - 8) return -1;
    const uint8_t* body = chunk + 8;
    if (IsType(chunk, "IHDR")) {
      if (haveHeader || !ReadHeader(body, length, info)) return -1;
      haveHeader = true;
    } else if (haveHeader && IsType(chunk, "PLTE") && info.colorType == 3) {
      ReadPalette(body, length, info);
    } else if (haveHeader && IsType(chunk, "tRNS")) {
      ReadTransparency(body, length, info);
    }
    if (size - offset - 8 - length < 4) return -1;
    offset += kChunkOverhead + length;
  }
  return -1;
}

bool IdatInput::Next(const uint8_t*& data, size_t& size) {
  if (m_next > m_size || m_size - m_next < 8) return false;
  const uint8_t* chunk = m_data + m_next;
  if (!IsType(chunk, "IDAT")) return false;
  const size_t available = m_size - m_next - 8;
  const uint32_t length = ReadBigEndian32(chunk);
  data = chunk + 8;
  if (length > available) {
    size = available;
    m_next = m_size;
  } else {
    size = length;
    m_next += kChunkOverhead + length;
  }
  return true;
}
