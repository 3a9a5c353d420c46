// GIF: the first image of the file, drawn into its logical screen.  The
// screen sits at the frame's placement offset and the image at its own
// left/top inside the screen; screen area the image leaves uncovered gets
// the background colour first.
//
// Hostile input: everything up to the image data (header, colour tables,
// extension blocks, image descriptor) must be present, else the file is
// rejected with -1.  Image data that ends early or is corrupt ends the
// picture: the render succeeds with the pixels drawn so far.
#include <algorithm>

#include "decode/DecodeFrame.h"
#include "decode/formats/ByteReader.h"
#include "decode/formats/ColourTable.h"
#include "decode/formats/FrameAccess.h"
#include "decode/formats/GifLzw.h"

namespace {

constexpr uint64_t kScreenDescriptorEnd = 13;
constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kGraphicControlLabel = 0xF9;

struct GifScreen {
  int64_t width = 0;
  int64_t height = 0;
  unsigned flags = 0;
  unsigned background = 0;
  bool HasGlobalTable() const { return (flags & 0x80) != 0; }
};

struct GifImage {
  int64_t left = 0;
  int64_t top = 0;
  int64_t width = 0;
  int64_t height = 0;
  unsigned flags = 0;
  bool HasLocalTable() const { return (flags & 0x80) != 0; }
  bool Interlaced() const { return (flags & 0x40) != 0; }
};

// A stored colour table of 2^(size + 1) RGB entries starting at `start`.
struct StoredTable {
  uint64_t start = 0;
  unsigned entries = 0;
  uint64_t Bytes() const { return 3ull * entries; }
};

StoredTable TableAt(uint64_t start, unsigned flags) { return {start, 2u << (flags & 7)}; }

// Skips the sub-blocks of an extension; a graphic control extension with its
// transparency flag set names the transparent index.  False when the blocks
// run past the end of the file.
bool SkipExtension(ByteReader& in, int& transparent) {
  uint8_t label = 0;
  if (!in.Next(label)) return false;
  bool firstBlock = true;
  for (;;) {
    uint8_t size = 0;
    if (!in.Next(size)) return false;
    if (size == 0) return true;
    const uint64_t block = in.Position();
    if (!in.Skip(size)) return false;
    if (label == kGraphicControlLabel && firstBlock && size >= 4 && (in.U8(block) & 1) != 0) {
      transparent = in.U8(block + 3);
    }
    firstBlock = false;
  }
}

ColourTable BuildTable(const ByteReader& in, const StoredTable& stored, int transparent) {
  ColourTable table;
  for (unsigned i = 0; i < stored.entries; ++i) {
    const uint64_t at = stored.start + 3ull * i;
    table[i] = OpaqueRgb(in.U8(at), in.U8(at + 1), in.U8(at + 2));
  }
  if (transparent >= 0) table[static_cast<unsigned>(transparent)] &= 0x00FFFFFFu;
  return table;
}

// Screen area outside the image rectangle, clipped to the frame.
void FillUncovered(const DecodeFrame& frame, const GifScreen& screen, const GifImage& image,
                   uint32_t argb) {
  const bool covered = image.left == 0 && image.top == 0 && image.width >= screen.width &&
                       image.height >= screen.height;
  if (covered) return;
  const VisibleSpan cols = VisibleColumns(frame, screen.width);
  const VisibleSpan rows = VisibleRows(frame, screen.height);
  for (int64_t row = rows.begin; row < rows.end; ++row) {
    const bool imageRow = row >= image.top && row < image.top + image.height;
    for (int64_t col = cols.begin; col < cols.end; ++col) {
      if (imageRow && col >= image.left && col < image.left + image.width) continue;
      *FramePixel(frame, col, row) = argb;
    }
  }
}

// Takes decoded indices row by row, in interlaced order when the image is
// interlaced, and stops the decoder once the last row is filled.
class GifImageSink final : public LzwSink {
 public:
  GifImageSink(const DecodeFrame& frame, const GifImage& image, const ColourTable& table)
      : m_frame(frame), m_image(image), m_table(table),
        m_cols(VisibleColumns(frame, image.width, image.left)) {}

  bool Write(const uint8_t* indices, size_t count) override {
    while (count > 0) {
      const int64_t take = std::min<int64_t>(static_cast<int64_t>(count), m_image.width - m_col);
      DrawRun(indices, take);
      indices += take;
      count -= static_cast<size_t>(take);
      m_col += take;
      if (m_col == m_image.width && !NextRow()) return false;
    }
    return true;
  }

 private:
  // Pixels [m_col, m_col + take) of the current row, only those in the frame.
  void DrawRun(const uint8_t* indices, int64_t take) const {
    const int64_t frameRow = m_frame.y + m_image.top + m_row;
    if (frameRow < 0 || frameRow >= m_frame.height) return;
    const int64_t begin = std::max(m_col, m_cols.begin);
    const int64_t end = std::min(m_col + take, m_cols.end);
    for (int64_t col = begin; col < end; ++col) {
      *FramePixel(m_frame, m_image.left + col, m_image.top + m_row) = m_table[indices[col - m_col]];
    }
  }

  // Rows 0, 8, 16 ...; 4, 12 ...; 2, 6 ...; 1, 3 ... when interlaced.
  bool NextRow() {
    static constexpr int kPassStart[4] = {0, 4, 2, 1};
    static constexpr int kPassStep[4] = {8, 8, 4, 2};
    m_col = 0;
    if (!m_image.Interlaced()) return ++m_row < m_image.height;
    m_row += kPassStep[m_pass];
    while (m_row >= m_image.height) {
      if (++m_pass == 4) return false;
      m_row = kPassStart[m_pass];
    }
    return true;
  }

  const DecodeFrame& m_frame;
  const GifImage& m_image;
  const ColourTable& m_table;
  const VisibleSpan m_cols;
  int64_t m_col = 0;
  int64_t m_row = 0;
  int m_pass = 0;
};

}  // namespace

int RenderGif(const uint8_t* data, size_t size, const DecodeFrame& frame) {
  ByteReader in(data, size);
  if (!in.Has(0, kScreenDescriptorEnd) || in.U8(0) != 'G' || in.U8(1) != 'I' || in.U8(2) != 'F' ||
      in.U8(12) != 0) {
    return -1;
  }
  GifScreen screen{in.U16(6), in.U16(8), in.U8(10), in.U8(11)};
  StoredTable stored;
  in.Seek(kScreenDescriptorEnd);
  if (screen.HasGlobalTable()) {
    stored = TableAt(kScreenDescriptorEnd, screen.flags);
    if (!in.Skip(stored.Bytes())) return -1;
  }

  int transparent = -1;
  uint8_t introducer = 0;
  for (;;) {
    if (!in.Next(introducer)) return -1;
    if (introducer == kImageSeparator) break;
    if (introducer != kExtensionIntroducer || !SkipExtension(in, transparent)) return -1;
  }

  const uint64_t descriptor = in.Position();
  if (!in.Skip(9)) return -1;
  const GifImage image{in.U16(descriptor), in.U16(descriptor + 2), in.U16(descriptor + 4),
                       in.U16(descriptor + 6), in.U8(descriptor + 8)};
  if (image.HasLocalTable()) {
    stored = TableAt(in.Position(), image.flags);
    if (!in.Skip(stored.Bytes())) return -1;
  }

  const ColourTable table = BuildTable(in, stored, transparent);
  FillUncovered(frame, screen, image, screen.HasGlobalTable() ? table[screen.background] : 0u);

  uint8_t minCodeSize = 0;
  if (image.width == 0 || image.height == 0 || !in.Next(minCodeSize)) return 0;
  GifImageSink sink(frame, image, table);
  DecodeGifLzw(in, minCodeSize, sink);
  return 0;
}
