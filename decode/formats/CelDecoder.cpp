// CEL: an 8-bit palette image with a 32-byte header, a 768-byte palette of
// 6-bit channels at offset 32 and one byte per pixel from offset 800, rows
// top to bottom.  Data that ends early ends the picture: the pixels read so
// far are drawn and the render still succeeds.
#include "decode/DecodeFrame.h"
#include "decode/formats/ByteReader.h"
#include "decode/formats/ColourTable.h"
#include "decode/formats/FrameAccess.h"

namespace {

constexpr uint64_t kPaletteOffset = 32;
constexpr uint64_t kPixelOffset = 800;

bool IsCel(const ByteReader& in) {
  return in.Has(0, 12) && in.U8(0) == 0x19 && in.U8(1) == 0x91 && in.U8(10) == 8 && in.U8(11) == 0;
}

// Channels are 6-bit (0..63); the high two bits of a byte are dropped so that
// a stray value cannot carry into the neighbouring channel or the alpha.
ColourTable ReadCelPalette(const ByteReader& in) {
  ColourTable table;
  for (unsigned i = 0; i < 256; ++i) {
    const uint64_t at = kPaletteOffset + 3 * i;
    if (!in.Has(at, 3)) break;
    table[i] = OpaqueRgb((in.U8(at) & 63u) * 4, (in.U8(at + 1) & 63u) * 4, (in.U8(at + 2) & 63u) * 4);
  }
  return table;
}

}  // namespace

int RenderCel(const uint8_t* data, size_t size, const DecodeFrame& frame) {
  const ByteReader in(data, size);
  if (!IsCel(in)) return -1;
  const int64_t width = in.U16(2);
  const int64_t height = in.U16(4);
  if (width == 0 || height == 0) return -1;

  const ColourTable palette = ReadCelPalette(in);
  const VisibleSpan cols = VisibleColumns(frame, width);
  const VisibleSpan rows = VisibleRows(frame, height);
  for (int64_t row = rows.begin; row < rows.end; ++row) {
    const uint64_t line = kPixelOffset + static_cast<uint64_t>(row) * width;
    for (int64_t col = cols.begin; col < cols.end; ++col) {
      if (!in.Has(line + col, 1)) return 0;
      frame.Put(static_cast<int>(col), static_cast<int>(row), palette[in.U8(line + col)]);
    }
  }
  return 0;
}
