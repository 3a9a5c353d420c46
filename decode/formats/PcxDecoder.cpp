// PCX version 5 with 8 bits per plane: one plane of palette indices (the
// palette is the file's last 768 bytes) or three planes of red, green and
// blue.  Rows are read by the header's bytes per line, so the padding an
// encoder adds to odd widths is skipped, not drawn.  Other plane counts draw
// nothing.  A header cut short or with an empty image is rejected; data that
// ends early ends the picture with the pixels drawn so far and the render
// succeeds.
#include "decode/DecodeFrame.h"
#include "decode/formats/ByteReader.h"
#include "decode/formats/ColourTable.h"
#include "decode/formats/FrameAccess.h"

namespace {

constexpr uint64_t kHeaderSize = 128;
constexpr uint64_t kPaletteSize = 768;

struct PcxHeader {
  int64_t width = 0;
  int64_t height = 0;
  unsigned planes = 0;
  unsigned bytesPerLine = 0;
};

bool ReadHeader(const ByteReader& in, PcxHeader& h) {
  if (!in.Has(0, kHeaderSize)) return false;
  if (in.U8(0) != 0x0A || in.U8(1) != 0x05 || in.U8(2) != 0x01 || in.U8(3) != 0x08) return false;
  h.width = static_cast<int64_t>(in.S16(8)) - in.S16(4) + 1;
  h.height = static_cast<int64_t>(in.S16(10)) - in.S16(6) + 1;
  h.planes = in.U8(65);
  h.bytesPerLine = in.U16(66);
  return h.width >= 1 && h.height >= 1;
}

ColourTable ReadPalette(const ByteReader& in) {
  ColourTable table;
  if (in.Size() < kPaletteSize) return table;
  const uint64_t start = in.Size() - kPaletteSize;
  for (unsigned i = 0; i < 256; ++i) {
    table[i] = OpaqueRgb(in.U8(start + 3 * i), in.U8(start + 3 * i + 1), in.U8(start + 3 * i + 2));
  }
  return table;
}

// The run-length coded byte stream: a byte of 192 or more repeats the next
// byte (its low six bits) times.  Runs carry on across plane and row ends.
class PcxRunReader {
 public:
  explicit PcxRunReader(ByteReader& in) : m_in(in) {}

  bool Next(uint8_t& byte) {
    while (m_count == 0) {
      uint8_t code = 0;
      if (!m_in.Next(code)) return false;
      if (code < 192) {
        byte = code;
        return true;
      }
      if (!m_in.Next(m_value)) return false;
      m_count = code & 63u;
    }
    --m_count;
    byte = m_value;
    return true;
  }

 private:
  ByteReader& m_in;
  uint8_t m_value = 0;
  unsigned m_count = 0;
};

void MakeOpaque(const DecodeFrame& frame, int64_t width, int64_t height) {
  const VisibleSpan cols = VisibleColumns(frame, width);
  const VisibleSpan rows = VisibleRows(frame, height);
  for (int64_t row = rows.begin; row < rows.end; ++row) {
    for (int64_t col = cols.begin; col < cols.end; ++col) *FramePixel(frame, col, row) |= 0xFF000000u;
  }
}

// Three planes fill the red, green and blue bytes of pixels whose alpha was
// made opaque beforehand, so a picture cut short leaves the other channels
// of the frame as they were.
void DecodeTrueColour(PcxRunReader& runs, const PcxHeader& h, const DecodeFrame& frame) {
  MakeOpaque(frame, h.width, h.height);
  for (int64_t row = 0; row < h.height; ++row) {
    for (unsigned plane = 0; plane < 3; ++plane) {
      const unsigned shift = 16 - 8 * plane;
      for (unsigned i = 0; i < h.bytesPerLine; ++i) {
        uint8_t byte = 0;
        if (!runs.Next(byte)) return;
        uint32_t* pixel = i < h.width ? FramePixel(frame, i, row) : nullptr;
        if (pixel) *pixel = (*pixel & ~(0xFFu << shift)) | (static_cast<uint32_t>(byte) << shift);
      }
    }
  }
}

void DecodeIndexed(PcxRunReader& runs, const PcxHeader& h, const ColourTable& palette,
                   const DecodeFrame& frame) {
  for (int64_t row = 0; row < h.height; ++row) {
    for (unsigned i = 0; i < h.bytesPerLine; ++i) {
      uint8_t byte = 0;
      if (!runs.Next(byte)) return;
      if (i < h.width) frame.Put(static_cast<int>(i), static_cast<int>(row), palette[byte]);
    }
  }
}

}  // namespace

int RenderPcx(const uint8_t* data, size_t size, const DecodeFrame& frame) {
  ByteReader in(data, size);
  PcxHeader header;
  if (!ReadHeader(in, header)) return -1;
  if (header.planes != 1 && header.planes != 3) return 0;

  in.Seek(kHeaderSize);
  PcxRunReader runs(in);
  if (header.planes == 1) {
    DecodeIndexed(runs, header, ReadPalette(in), frame);
  } else {
    DecodeTrueColour(runs, header, frame);
  }
  return 0;
}
