// TGA: grey, true-colour and colour-mapped images, raw or run-length coded,
// in any of the four orientations.  A header the recognition rules would not
// accept, or a zero width or height, is rejected; pixel data (or a colour
// map) that ends early ends the picture with the pixels drawn so far and the
// render still succeeds.
#include <vector>

#include "decode/DecodeFrame.h"
#include "decode/formats/ByteReader.h"
#include "decode/formats/ColourTable.h"

namespace {

constexpr uint64_t kHeaderSize = 18;

struct TgaHeader {
  unsigned idLength = 0;
  unsigned mapType = 0;
  unsigned imageType = 0;
  unsigned mapFirst = 0;
  unsigned mapLength = 0;
  unsigned mapEntryBytes = 0;
  int64_t width = 0;
  int64_t height = 0;
  unsigned pixelBytes = 0;
  unsigned descriptor = 0;

  bool RunLength() const { return imageType >= 9; }
  bool RightToLeft() const { return (descriptor & 0x10) != 0; }
  bool TopDown() const { return (descriptor & 0x20) != 0; }
  // Only one- and two-byte pixels can be indices into the map.
  bool Mapped() const { return mapType == 1 && pixelBytes <= 2; }
};

bool ReadHeader(const ByteReader& in, TgaHeader& h) {
  if (!in.Has(0, kHeaderSize)) return false;
  h.idLength = in.U8(0);
  h.mapType = in.U8(1);
  h.imageType = in.U8(2);
  h.mapFirst = in.U16(3);
  h.mapLength = in.U16(5);
  h.mapEntryBytes = (in.U8(7) + 7u) / 8u;
  h.width = in.U16(12);
  h.height = in.U16(14);
  const unsigned bits = in.U8(16);
  h.pixelBytes = bits / 8;
  h.descriptor = in.U8(17);
  const bool knownType = h.imageType == 1 || h.imageType == 2 || h.imageType == 3 ||
                         h.imageType == 9 || h.imageType == 10 || h.imageType == 11;
  const bool knownDepth = bits != 0 && bits % 8 == 0 && bits <= 32;
  return h.mapType <= 1 && knownType && knownDepth && h.descriptor <= 63 && h.width > 0 && h.height > 0;
}

// A stored value of 1 to 4 bytes as 0xAARRGGBB: grey, 5:5:5, BGR or BGRA.
uint32_t ToArgb(uint32_t value, unsigned bytes) {
  switch (bytes) {
    case 1: return kOpaqueBlack + value * 0x010101u;
    case 2:
      return kOpaqueBlack | ((value & 0x7C00u) << 9) | ((value & 0x3E0u) << 6) | ((value & 0x1Fu) << 3);
    case 3: return kOpaqueBlack | value;
    default: return value;
  }
}

// The colour map as far as the file holds it.  Entries wider than four bytes
// have no colour meaning and stay out of the map (their indices draw opaque
// black), but still take their room in the file.
std::vector<uint32_t> ReadColourMap(const ByteReader& in, const TgaHeader& h, uint64_t start) {
  std::vector<uint32_t> map;
  if (h.mapEntryBytes == 0 || h.mapEntryBytes > 4) return map;
  for (unsigned i = 0; i < h.mapLength; ++i) {
    uint32_t value = 0;
    if (!in.ReadValue(start + static_cast<uint64_t>(i) * h.mapEntryBytes, h.mapEntryBytes, value)) break;
    map.push_back(ToArgb(value, h.mapEntryBytes));
  }
  return map;
}

class TgaPixelWriter {
 public:
  TgaPixelWriter(const TgaHeader& h, const std::vector<uint32_t>& map, const DecodeFrame& frame)
      : m_header(h), m_map(map), m_frame(frame), m_total(static_cast<uint64_t>(h.width) * h.height) {}

  bool Done() const { return m_index >= m_total; }

  // The colour of one stored pixel value, through the map when the file has one.
  uint32_t Colour(uint32_t value) const {
    if (!m_header.Mapped()) return ToArgb(value, m_header.pixelBytes);
    const int64_t entry = static_cast<int64_t>(value) - m_header.mapFirst;
    if (entry < 0 || entry >= static_cast<int64_t>(m_map.size())) return kOpaqueBlack;
    return m_map[static_cast<size_t>(entry)];
  }

  // Places the next pixel in file order; files run row after row.
  void Write(uint32_t argb) {
    const int64_t fileRow = static_cast<int64_t>(m_index / m_header.width);
    const int64_t fileCol = static_cast<int64_t>(m_index % m_header.width);
    const int64_t row = m_header.TopDown() ? fileRow : m_header.height - 1 - fileRow;
    const int64_t col = m_header.RightToLeft() ? m_header.width - 1 - fileCol : fileCol;
    m_frame.Put(static_cast<int>(col), static_cast<int>(row), argb);
    ++m_index;
  }

 private:
  const TgaHeader& m_header;
  const std::vector<uint32_t>& m_map;
  const DecodeFrame& m_frame;
  uint64_t m_total;
  uint64_t m_index = 0;
};

void DecodeRaw(ByteReader& in, unsigned pixelBytes, TgaPixelWriter& out) {
  uint32_t value = 0;
  while (!out.Done() && in.NextValue(pixelBytes, value)) out.Write(out.Colour(value));
}

// Packets may cross row ends; a packet that runs past the last pixel is cut.
void DecodeRunLength(ByteReader& in, unsigned pixelBytes, TgaPixelWriter& out) {
  uint8_t packet = 0;
  uint32_t value = 0;
  while (!out.Done() && in.Next(packet)) {
    if (packet >= 128) {
      if (!in.NextValue(pixelBytes, value)) return;
      const uint32_t colour = out.Colour(value);
      for (unsigned i = 0; i < packet - 127u && !out.Done(); ++i) out.Write(colour);
    } else {
      for (unsigned i = 0; i <= packet && !out.Done(); ++i) {
        if (!in.NextValue(pixelBytes, value)) return;
        out.Write(out.Colour(value));
      }
    }
  }
}

}  // namespace

int RenderTga(const uint8_t* data, size_t size, const DecodeFrame& frame) {
  ByteReader in(data, size);
  TgaHeader header;
  if (!ReadHeader(in, header)) return -1;

  uint64_t start = kHeaderSize + header.idLength;
  std::vector<uint32_t> map;
  if (header.mapType == 1) {
    map = ReadColourMap(in, header, start);
    start += static_cast<uint64_t>(header.mapLength) * header.mapEntryBytes;
  }
  if (!in.Has(start, 0)) return 0;
  in.Seek(start);

  TgaPixelWriter out(header, map, frame);
  if (header.RunLength()) {
    DecodeRunLength(in, header.pixelBytes, out);
  } else {
    DecodeRaw(in, header.pixelBytes, out);
  }
  return 0;
}
