#include "decode/PngRows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Zero bytes in front of each row buffer: the "pixel to the left" of the
// first pixel, so the filters need no special case at the row start.
constexpr size_t kPad = 8;
constexpr size_t kMaxRowBytes = 65536;  // filter byte included, exclusive

struct PassGeometry {
  int colStart, colStep, rowStart, rowStep;
};
constexpr PassGeometry kAdam7[7] = {{0, 8, 0, 8}, {4, 8, 0, 8}, {0, 4, 4, 8}, {2, 4, 0, 4},
                                    {0, 2, 2, 4}, {1, 2, 0, 2}, {0, 1, 1, 2}};
constexpr PassGeometry kProgressive = {0, 1, 0, 1};

int CountInPass(int extent, int start, int step) { return extent > start ? (extent - start + step - 1) / step : 0; }

int SamplesPerPixel(int colorType) {
  switch (colorType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
  }
}

size_t PackedRowBytes(int pixels, int samplesPerPixel, int bitDepth) {
  return (static_cast<size_t>(pixels) * samplesPerPixel * bitDepth + 7) / 8;
}

// The Paeth predictor in the form that compiles to conditional moves:
// |p - a| = |b - c|, |p - b| = |a - c|, |p - c| = |a + b - 2c|, with the same
// tie order (a, then b, then c) as the PNG definition.
uint8_t Paeth(int a, int b, int c) {
  const int towardB = b - c;
  const int towardA = a - c;
  const int pa = std::abs(towardB);
  const int pb = std::abs(towardA);
  const int pc = std::abs(towardA + towardB);
  int best = a;
  int bestDistance = pa;
  if (pb < bestDistance) {
    bestDistance = pb;
    best = b;
  }
  if (pc < bestDistance) best = c;
  return static_cast<uint8_t>(best);
}

// Undoes one row's filter in place.  The bytes-per-pixel distance is a
// template argument so the compiler can keep the left neighbours in
// registers; cur and prev have kPad zero bytes in front of them.
template <int kBpp>
void UnfilterRow(uint8_t filter, uint8_t* cur, const uint8_t* prev, size_t n) {
  switch (filter) {
    case 1:
      for (size_t i = 0; i < n; ++i) cur[i] = static_cast<uint8_t>(cur[i] + cur[static_cast<ptrdiff_t>(i) - kBpp]);
      break;
    case 2:
      for (size_t i = 0; i < n; ++i) cur[i] = static_cast<uint8_t>(cur[i] + prev[i]);
      break;
    case 3:
      for (size_t i = 0; i < n; ++i)
        cur[i] = static_cast<uint8_t>(cur[i] + ((cur[static_cast<ptrdiff_t>(i) - kBpp] + prev[i]) >> 1));
      break;
    case 4:
      for (size_t i = 0; i < n; ++i) {
        const ptrdiff_t left = static_cast<ptrdiff_t>(i) - kBpp;
        cur[i] = static_cast<uint8_t>(cur[i] + Paeth(cur[left], prev[i], prev[left]));
      }
      break;
    default:
      break;
  }
}

// First index i >= 0 with start + i * step >= 0, and first index with
// start + i * step >= limit: the image pixels of a pass that land inside
// [0, limit) of the frame.
long long FirstAtOrAbove(long long start, long long step, long long limit) {
  if (start >= limit) return 0;
  return (limit - start + step - 1) / step;
}

}  // namespace

bool PngRowProcessor::Setup(const PngImageInfo& info, const DecodeFrame& frame) {
  m_info = &info;
  m_frame = frame;
  m_samplesPerPixel = SamplesPerPixel(info.colorType);
  m_filterBytesPerPixel = info.bitDepth < 8 ? 1 : m_samplesPerPixel;
  const size_t fullRow = PackedRowBytes(info.width, m_samplesPerPixel, info.bitDepth);
  if (fullRow + 1 >= kMaxRowBytes) return false;
  m_current.assign(kPad + fullRow, 0);
  m_previous.assign(kPad + fullRow, 0);
  m_lastPass = 0;
  if (info.interlaced) {
    for (int p = 0; p < 7; ++p)
      if (CountInPass(info.width, kAdam7[p].colStart, kAdam7[p].colStep) > 0 &&
          CountInPass(info.height, kAdam7[p].rowStart, kAdam7[p].rowStep) > 0)
        m_lastPass = p;
  }
  m_done = false;
  StartPass(0);
  return true;
}

void PngRowProcessor::StartPass(int pass) {
  const int passes = m_info->interlaced ? 7 : 1;
  for (m_pass = pass; m_pass < passes; ++m_pass) {
    const PassGeometry& g = m_info->interlaced ? kAdam7[m_pass] : kProgressive;
    m_geometry = {g.colStart, g.colStep, g.rowStart, g.rowStep};
    m_passWidth = CountInPass(m_info->width, g.colStart, g.colStep);
    m_passRows = CountInPass(m_info->height, g.rowStart, g.rowStep);
    if (m_passWidth > 0 && m_passRows > 0) break;
  }
  if (m_pass >= passes) {
    m_done = true;
    return;
  }
  m_row = 0;
  m_filled = 0;
  m_rowBytes = PackedRowBytes(m_passWidth, m_samplesPerPixel, m_info->bitDepth);
  std::fill(m_previous.begin(), m_previous.end(), 0);
  CheckDone();
}

// In the last pass, once the next row would land below the frame nothing
// more can be drawn, so the rest of the data need not be decoded.
void PngRowProcessor::CheckDone() {
  if (m_pass != m_lastPass) return;
  const long long frameRow = static_cast<long long>(m_frame.y) + m_geometry.rowStart +
                             static_cast<long long>(m_row) * m_geometry.rowStep;
  if (frameRow >= m_frame.height) m_done = true;
}

void PngRowProcessor::NextRow() {
  std::swap(m_current, m_previous);
  m_filled = 0;
  if (++m_row >= m_passRows) {
    StartPass(m_pass + 1);
    return;
  }
  CheckDone();
}

PngRowProcessor::Result PngRowProcessor::Consume(const uint8_t* data, size_t size) {
  while (size > 0 && !m_done) {
    if (m_filled == 0) {
      m_filter = *data++;
      --size;
      if (m_filter > 4) return Result::Error;
      m_filled = 1;
    }
    const size_t take = std::min(size, m_rowBytes + 1 - m_filled);
    std::memcpy(m_current.data() + kPad + m_filled - 1, data, take);
    data += take;
    size -= take;
    m_filled += take;
    if (m_filled == m_rowBytes + 1) {
      Unfilter();
      EmitRow();
      NextRow();
    }
  }
  return m_done ? Result::Done : Result::NeedMore;
}

void PngRowProcessor::Unfilter() {
  uint8_t* cur = m_current.data() + kPad;
  const uint8_t* prev = m_previous.data() + kPad;
  switch (m_filterBytesPerPixel) {
    case 1: UnfilterRow<1>(m_filter, cur, prev, m_rowBytes); break;
    case 2: UnfilterRow<2>(m_filter, cur, prev, m_rowBytes); break;
    case 3: UnfilterRow<3>(m_filter, cur, prev, m_rowBytes); break;
    default: UnfilterRow<4>(m_filter, cur, prev, m_rowBytes); break;
  }
}

void PngRowProcessor::EmitRow() const {
  const long long frameRow = static_cast<long long>(m_frame.y) + m_geometry.rowStart +
                             static_cast<long long>(m_row) * m_geometry.rowStep;
  if (frameRow < 0 || frameRow >= m_frame.height) return;
  const long long colOrigin = static_cast<long long>(m_frame.x) + m_geometry.colStart;
  const int step = m_geometry.colStep;
  const long long first = FirstAtOrAbove(colOrigin, step, 0);
  const long long last = std::min<long long>(m_passWidth, FirstAtOrAbove(colOrigin, step, m_frame.width));
  if (first >= last) return;

  auto* line = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(m_frame.pixels) +
                                           static_cast<ptrdiff_t>(frameRow) * m_frame.stride);
  uint32_t* out = line + colOrigin + first * step;
  const uint8_t* row = m_current.data() + kPad;
  const uint32_t* colors = m_info->colors;
  const int from = static_cast<int>(first);
  const int to = static_cast<int>(last);
  switch (m_info->colorType) {
    case 0:
    case 3: {
      const int depth = m_info->bitDepth;
      const unsigned mask = (1u << depth) - 1;
      for (int i = from; i < to; ++i, out += step) {
        const unsigned bit = static_cast<unsigned>(i) * depth;
        const unsigned sample = (row[bit >> 3] >> (8 - depth - (bit & 7))) & mask;
        *out = colors[sample];
      }
      break;
    }
    case 2: {
      const uint32_t key = m_info->colorKey;
      for (int i = from; i < to; ++i, out += step) {
        const uint8_t* p = row + 3 * i;
        const uint32_t argb = 0xFF000000 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
        *out = argb == key ? argb & 0x00FFFFFF : argb;
      }
      break;
    }
    case 4:
      for (int i = from; i < to; ++i, out += step) {
        const uint8_t* p = row + 2 * i;
        *out = (colors[p[0]] & 0x00FFFFFF) | uint32_t{p[1]} << 24;
      }
      break;
    default:
      for (int i = from; i < to; ++i, out += step) {
        const uint8_t* p = row + 4 * i;
        *out = uint32_t{p[3]} << 24 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
      }
      break;
  }
}
