// DDS renderer: the top-level surface of an uncompressed 32-bit A8R8G8B8
// texture or of a DXT1 to DXT5 compressed one.  Other pixel formats, and
// files whose data is shorter than the surface, are refused before
// anything is drawn.  The decoder draws straight into the frame and needs
// no memory of its own.
#include <cstring>

#include "decode/DecodeFrame.h"
#include "decode/formats/DdsBlocks.h"

namespace {

constexpr size_t kHeaderEnd = 128;  // "DDS " plus the 124-byte header
constexpr uint32_t kFourCcFlag = 0x4;
// Larger sides cannot fit the frame's int coordinates safely.
constexpr uint32_t kMaxSide = 1u << 28;

uint32_t Le32(const uint8_t* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

enum class Kind { Unsupported, Argb32, Dxt1, Dxt2, Dxt3, Dxt4, Dxt5 };

Kind KindOf(const uint8_t* header) {
  const uint32_t flags = Le32(header + 80);
  if (flags & kFourCcFlag) {
    const uint8_t* code = header + 84;
    if (std::memcmp(code, "DXT", 3) != 0) return Kind::Unsupported;
    switch (code[3]) {
      case '1': return Kind::Dxt1;
      case '2': return Kind::Dxt2;
      case '3': return Kind::Dxt3;
      case '4': return Kind::Dxt4;
      case '5': return Kind::Dxt5;
      default: return Kind::Unsupported;
    }
  }
  const bool argb = Le32(header + 88) == 32 && Le32(header + 92) == 0x00FF0000u && Le32(header + 96) == 0x0000FF00u &&
                    Le32(header + 100) == 0x000000FFu && Le32(header + 104) == 0xFF000000u;
  return argb ? Kind::Argb32 : Kind::Unsupported;
}

int RenderArgb(const uint8_t* pixels, size_t available, uint32_t width, uint32_t height, const DecodeFrame& frame) {
  if (static_cast<uint64_t>(width) * height > available / 4) return -1;
  for (uint32_t row = 0; row < height; ++row) {
    for (uint32_t col = 0; col < width; ++col) {
      frame.Put(static_cast<int>(col), static_cast<int>(row), Le32(pixels + (static_cast<size_t>(row) * width + col) * 4));
    }
  }
  return 0;
}

void DecodeBlock(Kind kind, const uint8_t* block, dds::BlockPixels out) {
  if (kind == Kind::Dxt1) {
    dds::DecodeColourBlock(block, false, out);
    return;
  }
  dds::DecodeColourBlock(block + 8, true, out);
  if (kind == Kind::Dxt2 || kind == Kind::Dxt3) {
    dds::ApplyExplicitAlpha(block, out);
  } else {
    dds::ApplyInterpolatedAlpha(block, out);
  }
  if (kind == Kind::Dxt2 || kind == Kind::Dxt4) dds::Unpremultiply(out);
}

int RenderBlocks(Kind kind, const uint8_t* blocks, size_t available, uint32_t width, uint32_t height,
                 const DecodeFrame& frame) {
  const size_t blockBytes = kind == Kind::Dxt1 ? 8 : 16;
  const uint32_t blocksWide = (width + 3) / 4, blocksHigh = (height + 3) / 4;
  if (static_cast<uint64_t>(blocksWide) * blocksHigh > available / blockBytes) return -1;
  dds::BlockPixels pixels;
  for (uint32_t by = 0; by < blocksHigh; ++by) {
    for (uint32_t bx = 0; bx < blocksWide; ++bx) {
      DecodeBlock(kind, blocks + (static_cast<size_t>(by) * blocksWide + bx) * blockBytes, pixels);
      for (uint32_t i = 0; i < 16; ++i) {
        // Blocks at the right and bottom edges hang over the picture.
        const uint32_t col = bx * 4 + i % 4, row = by * 4 + i / 4;
        if (col < width && row < height) frame.Put(static_cast<int>(col), static_cast<int>(row), pixels[i]);
      }
    }
  }
  return 0;
}

}  // namespace

int RenderDds(const uint8_t* data, size_t size, const DecodeFrame& frame) {
  if (size < kHeaderEnd || std::memcmp(data, "DDS ", 4) != 0 || Le32(data + 4) != 124) return -1;
  const uint32_t height = Le32(data + 12);
  const uint32_t width = Le32(data + 16);
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return -1;
  const Kind kind = KindOf(data);
  const uint8_t* body = data + kHeaderEnd;
  const size_t available = size - kHeaderEnd;
  switch (kind) {
    case Kind::Unsupported: return -1;
    case Kind::Argb32: return RenderArgb(body, available, width, height, frame);
    default: return RenderBlocks(kind, body, available, width, height, frame);
  }
}
