#include "cli/PngImageData.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "common/pngchunks/ChunkBytes.h"
#include "decode/Inflater.h"

namespace {

struct Adam7Pass {
  int x0, y0, dx, dy;
};
constexpr Adam7Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                 {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr Adam7Pass kWhole = {0, 0, 1, 1};

uint64_t PassExtent(uint32_t size, int start, int step) {
  return size > uint32_t(start) ? (uint64_t(size) - start + step - 1) / step : 0;
}

bool ValidDepth(int colorType, int depth) {
  switch (colorType) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2: case 4: case 6: return depth == 8 || depth == 16;
    default: return false;
  }
}

// Calls visit(pass, passWidth, passHeight, rowBytes) for every pass with
// pixels.
template <typename Visit>
void ForEachPass(const ImageLayout& layout, Visit visit) {
  const int passes = layout.interlaced ? 7 : 1;
  for (int p = 0; p < passes; ++p) {
    const Adam7Pass& pass = layout.interlaced ? kAdam7[p] : kWhole;
    const uint64_t w = PassExtent(layout.width, pass.x0, pass.dx);
    const uint64_t h = PassExtent(layout.height, pass.y0, pass.dy);
    if (w == 0 || h == 0) continue;
    visit(pass, w, h, (w * uint64_t(layout.BitsPerPixel()) + 7) / 8);
  }
}

// Feeds the inflater the data of the stream's chunks, each past its skip.
class ChunkSpans final : public InflateInput {
 public:
  ChunkSpans(const uint8_t* file, const PngFileScan& scan, const DataStream& stream)
      : m_file(file), m_scan(scan), m_stream(stream) {}
  bool Next(const uint8_t*& data, size_t& size) override {
    while (m_next < m_stream.chunkIndexes.size()) {
      const ScannedChunk& chunk = m_scan.chunks[m_stream.chunkIndexes[m_next++]];
      if (chunk.length <= m_stream.skip) continue;
      data = chunk.Data(m_file) + m_stream.skip;
      size = chunk.length - m_stream.skip;
      return true;
    }
    return false;
  }

 private:
  const uint8_t* m_file;
  const PngFileScan& m_scan;
  const DataStream& m_stream;
  size_t m_next = 0;
};

uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return uint8_t(a);
  return uint8_t(pb <= pc ? b : c);
}

// Undoes one row's filter in place against the previous row (zeros first).
void Unfilter(uint8_t filter, uint8_t* row, const uint8_t* prev, size_t n, size_t bpp) {
  for (size_t i = 0; i < n; ++i) {
    const int a = i >= bpp ? row[i - bpp] : 0;
    const int b = prev[i];
    const int c = i >= bpp ? prev[i - bpp] : 0;
    switch (filter) {
      case 1: row[i] = uint8_t(row[i] + a); break;
      case 2: row[i] = uint8_t(row[i] + b); break;
      case 3: row[i] = uint8_t(row[i] + ((a + b) >> 1)); break;
      case 4: row[i] = uint8_t(row[i] + Paeth(a, b, c)); break;
      default: break;
    }
  }
}

// Calls visit(pass, y, passWidth, row) with every row of every pass
// unfiltered (filter byte dropped), in stream order, until visit answers
// false.  The rows must already match the layout's stream size.
template <typename Visit>
void ForEachUnfilteredRow(const ImageLayout& layout, const std::vector<uint8_t>& filtered, Visit visit) {
  const size_t bpp = std::max<size_t>(1, size_t(layout.BitsPerPixel() / 8));
  std::vector<uint8_t> prev, row;
  size_t pos = 0;
  bool going = true;
  ForEachPass(layout, [&](const Adam7Pass& pass, uint64_t w, uint64_t h, uint64_t rowBytes) {
    prev.assign(size_t(rowBytes), 0);
    for (uint64_t y = 0; y < h && going; ++y) {
      row.assign(filtered.begin() + long(pos + 1), filtered.begin() + long(pos + 1 + rowBytes));
      Unfilter(filtered[pos], row.data(), prev.data(), row.size(), bpp);
      pos += size_t(rowBytes) + 1;
      going = visit(pass, y, w, row.data());
      prev.swap(row);
    }
  });
}

}  // namespace

int ImageLayout::Channels() const {
  switch (colorType) {
    case 0: case 3: return 1;
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 0;
  }
}

int ImageLayout::BitsPerPixel() const { return Channels() * bitDepth; }

size_t ImageLayout::StreamSize() const {
  if (!ValidDepth(colorType, bitDepth) || width == 0 || height == 0) return 0;
  uint64_t total = 0;
  ForEachPass(*this, [&](const Adam7Pass&, uint64_t, uint64_t h, uint64_t rowBytes) { total += (rowBytes + 1) * h; });
  return total > 0x7FFF0000 ? 0 : size_t(total);
}

size_t ImageLayout::RowSize() const { return size_t((uint64_t(width) * BitsPerPixel() + 7) / 8 + 1); }

ImageLayout LayoutOf(const PngFileScan& scan) {
  ImageLayout layout;
  layout.width = scan.width;
  layout.height = scan.height;
  layout.bitDepth = scan.bitDepth;
  layout.colorType = scan.colorType;
  layout.interlaced = scan.interlace == 1;
  return layout;
}

bool FindDataStreams(const PngFileScan& scan, const uint8_t* file, std::vector<DataStream>& streams) {
  streams.clear();
  DataStream idat;
  idat.layout = LayoutOf(scan);
  DataStream* frame = nullptr;
  for (size_t i = 0; i < scan.chunks.size(); ++i) {
    const ScannedChunk& chunk = scan.chunks[i];
    if (chunk.type == "IDAT") {
      idat.chunkIndexes.push_back(i);
      frame = nullptr;
    } else if (chunk.type == "fcTL") {
      if (chunk.length != 26) return false;
      const uint8_t* d = chunk.Data(file);
      const uint32_t w = chunks::ReadBe32(d + 4), h = chunks::ReadBe32(d + 8);
      const uint32_t x = chunks::ReadBe32(d + 12), y = chunks::ReadBe32(d + 16);
      if (w == 0 || h == 0 || x > scan.width || y > scan.height || w > scan.width - x || h > scan.height - y) {
        return false;
      }
      frame = nullptr;
      if (idat.chunkIndexes.empty()) continue;  // the default image's own frame control
      streams.push_back({});
      frame = &streams.back();
      frame->skip = 4;
      frame->layout = LayoutOf(scan);
      frame->layout.width = w;
      frame->layout.height = h;
    } else if (chunk.type == "fdAT") {
      if (!frame || chunk.length < 4) return false;
      frame->chunkIndexes.push_back(i);
    }
  }
  if (idat.chunkIndexes.empty()) return false;
  streams.insert(streams.begin(), idat);
  // A frame control without data leaves nothing to recompress.
  for (size_t s = 1; s < streams.size();) {
    if (streams[s].chunkIndexes.empty()) {
      streams.erase(streams.begin() + long(s));
    } else {
      ++s;
    }
  }
  return true;
}

bool InflateDataStream(const uint8_t* file, const PngFileScan& scan, const DataStream& stream,
                       std::vector<uint8_t>& filtered) {
  const size_t expected = stream.layout.StreamSize();
  if (expected == 0) return false;
  ChunkSpans spans(file, scan, stream);
  auto inflater = std::make_unique<Inflater>();
  inflater->Start(&spans, true);
  // Grown as the data comes, not sized from the header: a small hostile file
  // may claim a huge image.
  filtered.clear();
  for (;;) {
    const uint8_t* piece = nullptr;
    size_t n = 0;
    const Inflater::Status status = inflater->NextPiece(piece, n);
    if (status == Inflater::Status::Error) return false;
    if (n > expected - filtered.size()) return false;
    filtered.insert(filtered.end(), piece, piece + n);
    if (status == Inflater::Status::End) break;
  }
  if (filtered.size() != expected) return false;
  size_t pos = 0;
  bool ok = true;
  ForEachPass(stream.layout, [&](const Adam7Pass&, uint64_t, uint64_t h, uint64_t rowBytes) {
    for (uint64_t y = 0; y < h; ++y, pos += size_t(rowBytes) + 1) ok = ok && filtered[pos] <= 4;
  });
  return ok;
}

bool InflateStillImageData(const uint8_t* file, const PngFileScan& scan, std::vector<DataStream>& streams,
                           std::vector<uint8_t>& filtered) {
  return scan.hasIhdr && !scan.animated && FindDataStreams(scan, file, streams) && streams.size() == 1 &&
         InflateDataStream(file, scan, streams[0], filtered);
}

size_t DataStreamBytes(const PngFileScan& scan, const DataStream& stream) {
  size_t total = 0;
  for (size_t i : stream.chunkIndexes) total += scan.chunks[i].length - stream.skip;
  return total;
}

bool ReduceSixteenBit(const ImageLayout& layout, const std::vector<uint8_t>& filtered, const uint8_t* trnsData,
                      size_t trnsLength, std::vector<uint32_t>& pixels) {
  if (layout.bitDepth != 16 || filtered.size() != layout.StreamSize()) return false;
  const int channels = layout.Channels();
  const size_t bpp = size_t(channels) * 2;
  // The tRNS colour, as raw 16-bit samples: grey, or red, green, blue.
  int keySamples = 0;
  uint16_t key[3] = {};
  if (trnsData && (layout.colorType == 0 || layout.colorType == 2) && trnsLength == bpp) {
    keySamples = channels;
    for (int c = 0; c < channels; ++c) key[c] = chunks::ReadBe16(trnsData + 2 * c);
  }
  pixels.assign(size_t(layout.width) * layout.height, 0);
  bool reducible = true;
  ForEachUnfilteredRow(layout, filtered, [&](const Adam7Pass& pass, uint64_t y, uint64_t w, const uint8_t* row) {
    for (uint64_t x = 0; x < w && reducible; ++x) {
      const uint8_t* s = &row[size_t(x) * bpp];
      uint8_t v[4] = {};
      bool transparent = keySamples > 0;
      for (int c = 0; c < channels; ++c) {
        reducible = reducible && s[2 * c] == s[2 * c + 1];
        v[c] = s[2 * c];
        if (c < keySamples) transparent = transparent && chunks::ReadBe16(s + 2 * c) == key[c];
      }
      uint32_t argb = 0;
      switch (layout.colorType) {
        case 0: argb = 0xFF000000u | v[0] * 0x010101u; break;
        case 4: argb = uint32_t(v[1]) << 24 | v[0] * 0x010101u; break;
        case 2: argb = 0xFF000000u | uint32_t(v[0]) << 16 | uint32_t(v[1]) << 8 | v[2]; break;
        default: argb = uint32_t(v[3]) << 24 | uint32_t(v[0]) << 16 | uint32_t(v[1]) << 8 | v[2]; break;
      }
      if (transparent) argb &= 0x00FFFFFF;
      const uint64_t px = pass.x0 + x * pass.dx, py = pass.y0 + y * pass.dy;
      pixels[size_t(py * layout.width + px)] = argb;
    }
    return reducible;
  });
  return reducible;
}

bool UnfilteredImageRows(const ImageLayout& layout, const std::vector<uint8_t>& filtered, UnfilteredRows& rows) {
  if (layout.bitDepth < 8 || layout.StreamSize() == 0 || filtered.size() != layout.StreamSize()) return false;
  const size_t bpp = size_t(layout.BitsPerPixel() / 8);
  const size_t stride = size_t(layout.width) * bpp;
  rows.filterStride = int(bpp);
  rows.rowBytes = int(stride);
  rows.height = int(layout.height);
  std::vector<uint8_t>& raw = rows.bytes;
  raw.assign(stride * layout.height, 0);
  ForEachUnfilteredRow(layout, filtered, [&](const Adam7Pass& pass, uint64_t y, uint64_t w, const uint8_t* row) {
    uint8_t* target = raw.data() + size_t(pass.y0 + y * pass.dy) * stride;
    for (uint64_t x = 0; x < w; ++x) std::copy_n(&row[size_t(x) * bpp], bpp, target + size_t(pass.x0 + x * pass.dx) * bpp);
    return true;
  });
  return true;
}

bool ImageSamples(const ImageLayout& layout, const std::vector<uint8_t>& filtered, std::vector<uint16_t>& samples) {
  if (layout.StreamSize() == 0 || filtered.size() != layout.StreamSize()) return false;
  const int depth = layout.bitDepth;
  const size_t channels = size_t(layout.Channels());
  const size_t perRow = size_t(layout.width) * channels;
  samples.assign(perRow * layout.height, 0);
  // Sample i of a row, counted over the row's packed bits.
  auto sampleAt = [depth](const uint8_t* row, size_t i) -> uint16_t {
    if (depth == 16) return chunks::ReadBe16(row + 2 * i);
    if (depth == 8) return row[i];
    const size_t bit = i * size_t(depth);
    return uint16_t(row[bit / 8] >> (8 - depth - bit % 8) & ((1 << depth) - 1));
  };
  ForEachUnfilteredRow(layout, filtered, [&](const Adam7Pass& pass, uint64_t y, uint64_t w, const uint8_t* row) {
    uint16_t* target = samples.data() + size_t(pass.y0 + y * pass.dy) * perRow;
    for (uint64_t x = 0; x < w; ++x) {
      uint16_t* pixel = target + size_t(pass.x0 + x * pass.dx) * channels;
      for (size_t c = 0; c < channels; ++c) pixel[c] = sampleAt(row, size_t(x) * channels + c);
    }
    return true;
  });
  return true;
}
