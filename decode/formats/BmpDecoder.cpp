// BMP: the short (12-byte) and the longer Windows headers, palette images of
// 1, 4 and 8 bits, 16 and 32 bits with default or explicit channel masks,
// and 24 bits; rows bottom-up for a positive height, top-down for a negative
// one.  Two bits per pixel is a valid header that draws nothing.  A header
// that is cut short or not accepted is rejected; pixel rows that end early
// end the picture with the pixels drawn so far and the render succeeds.
#include "decode/DecodeFrame.h"
#include "decode/formats/BmpChannels.h"
#include "decode/formats/ByteReader.h"
#include "decode/formats/ColourTable.h"
#include "decode/formats/FrameAccess.h"

namespace {

constexpr uint64_t kFileHeaderSize = 14;
constexpr uint32_t kShortHeaderSize = 12;
// Where the channel masks follow the 40-byte information header.  Longer
// headers hold the same masks at the same place as their own fields.
constexpr uint64_t kMaskOffset = kFileHeaderSize + 40;

struct BmpHeader {
  uint32_t headerSize = 0;
  uint64_t width = 0;
  int64_t height = 0;  // negative: rows stored top-down
  unsigned bitsPerPixel = 0;
  uint32_t compression = 0;
  uint64_t pixelOffset = 0;

  bool ShortHeader() const { return headerSize == kShortHeaderSize; }
  uint64_t Rows() const { return static_cast<uint64_t>(height < 0 ? -height : height); }
  uint64_t RowBytes() const { return (width * bitsPerPixel + 31) / 32 * 4; }
};

bool ReadHeader(const ByteReader& in, BmpHeader& h) {
  if (!in.Has(0, kFileHeaderSize + 4) || in.U8(0) != 'B' || in.U8(1) != 'M') return false;
  h.pixelOffset = in.U32(10);
  h.headerSize = in.U32(14);
  if (h.ShortHeader()) {
    if (!in.Has(0, 26) || in.U16(22) != 1) return false;
    h.width = in.U16(18);
    h.height = in.U16(20);
    h.bitsPerPixel = in.U16(24);
  } else {
    if (!in.Has(0, 34) || in.U16(26) != 1) return false;
    h.width = in.U32(18);
    h.height = in.S32(22);
    h.bitsPerPixel = in.U16(28);
    h.compression = in.U32(30);
  }
  const unsigned b = h.bitsPerPixel;
  const bool knownDepth = b == 1 || b == 2 || b == 4 || b == 8 || b == 16 || b == 24 || b == 32;
  return h.width >= 1 && h.height != 0 && knownDepth && (h.compression == 0 || h.compression == 3);
}

// Palette entries lie between the header and the pixel data, four bytes each
// (three after the short header), at most 256 of them.
ColourTable ReadPalette(const ByteReader& in, const BmpHeader& h) {
  ColourTable table;
  const uint64_t entryBytes = h.ShortHeader() ? 3 : 4;
  const uint64_t start = kFileHeaderSize + h.headerSize;
  for (unsigned i = 0; i < 256; ++i) {
    const uint64_t at = start + i * entryBytes;
    if (at + entryBytes > h.pixelOffset || !in.Has(at, 3)) break;
    table[i] = OpaqueRgb(in.U8(at + 2), in.U8(at + 1), in.U8(at));
  }
  return table;
}

// How one pixel's stored bits become a colour.
class PixelFormat {
 public:
  PixelFormat(const BmpHeader& h, const ColourTable& palette, const BmpChannels& channels)
      : m_bits(h.bitsPerPixel), m_palette(palette), m_channels(channels) {}

  // Colour of pixel `col` in a row starting at `line`; the caller has checked
  // that the pixel's bytes are present.
  uint32_t At(const ByteReader& in, uint64_t line, uint64_t col) const {
    switch (m_bits) {
      case 1:
      case 4:
      case 8: {
        const uint64_t bit = col * m_bits;
        const unsigned shift = 8 - m_bits - static_cast<unsigned>(bit % 8);
        return m_palette[(in.U8(line + bit / 8) >> shift) & ((1u << m_bits) - 1)];
      }
      case 16: return m_channels.ToArgb(in.U16(line + col * 2));
      case 24: {
        const uint64_t at = line + col * 3;
        return OpaqueRgb(in.U8(at + 2), in.U8(at + 1), in.U8(at));
      }
      default: return m_channels.ToArgb(in.U32(line + col * 4));
    }
  }

 private:
  unsigned m_bits;
  const ColourTable& m_palette;
  const BmpChannels& m_channels;
};

}  // namespace

int RenderBmp(const uint8_t* data, size_t size, const DecodeFrame& frame) {
  const ByteReader in(data, size);
  BmpHeader header;
  if (!ReadHeader(in, header)) return -1;
  // Two bits per pixel is a legal header without a decoder behind it.
  if (header.bitsPerPixel == 2) return 0;

  BmpChannels channels = BmpChannels::Defaults(header.bitsPerPixel);
  const bool bitFields =
      header.compression == 3 && (header.bitsPerPixel == 16 || header.bitsPerPixel == 32);
  if (bitFields) {
    if (!in.Has(kMaskOffset, 12)) return 0;
    channels = BmpChannels::FromMasks(in.U32(kMaskOffset), in.U32(kMaskOffset + 4), in.U32(kMaskOffset + 8));
  }
  const ColourTable palette = header.bitsPerPixel < 16 ? ReadPalette(in, header) : ColourTable();
  const PixelFormat format(header, palette, channels);

  const VisibleSpan cols = VisibleColumns(frame, static_cast<int64_t>(header.width));
  const uint64_t rowBytes = header.RowBytes();
  uint64_t line = header.pixelOffset;
  for (uint64_t fileRow = 0; fileRow < header.Rows(); ++fileRow, line += rowBytes) {
    if (line >= size) return 0;
    const int64_t row = header.height < 0 ? static_cast<int64_t>(fileRow)
                                          : header.height - 1 - static_cast<int64_t>(fileRow);
    const uint64_t presentBits = (size - line) * 8;
    for (int64_t col = cols.begin; col < cols.end; ++col) {
      if ((static_cast<uint64_t>(col) + 1) * header.bitsPerPixel > presentBits) return 0;
      frame.Put(static_cast<int>(col), static_cast<int>(row), format.At(in, line, static_cast<uint64_t>(col)));
    }
  }
  return 0;
}
