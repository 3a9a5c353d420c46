// Scanline filtering: the inflated stream against a reference filter written
// from the PNG standard, and the adaptive choice's tie rules.
#include <cstdlib>
#include <map>

#include "EngineRunSupport.h"

namespace {

using namespace enginetest;

// The PNG standard's predictor, written the standard's way (p = a + b - c).
int StandardPaeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Filters one scanline against the previous one (zeros for the first row).
Bytes FilterRow(const Bytes& row, const Bytes& prev, int bpp, int filter) {
  Bytes out(row.size());
  for (size_t i = 0; i < row.size(); ++i) {
    const int a = i >= size_t(bpp) ? row[i - bpp] : 0, b = prev[i], c = i >= size_t(bpp) ? prev[i - bpp] : 0;
    const int pred[5] = {0, a, b, (a + b) / 2, StandardPaeth(a, b, c)};
    out[i] = uint8_t(row[i] - pred[filter]);
  }
  return out;
}

// The filtered stream of a fixed filter: Average on the first row is sent as Sub.
Bytes ReferenceStream(const std::vector<Bytes>& rows, int bpp, int filter) {
  Bytes stream, prev(rows[0].size(), 0);
  for (size_t y = 0; y < rows.size(); ++y) {
    const int f = (filter == 3 && y == 0) ? 1 : filter;
    const Bytes filtered = FilterRow(rows[y], prev, bpp, f);
    stream.push_back(uint8_t(f));
    stream.insert(stream.end(), filtered.begin(), filtered.end());
    prev = rows[y];
  }
  return stream;
}

// Scanlines in the file's layout: samples, or indices into the file's PLTE
// packed from the top bits with a row's unused low bits 0.
std::vector<Bytes> Scanlines(const Image& img, int colortype, int depth, const oracle::Chunk* plte) {
  std::map<uint32_t, int> index;
  for (size_t i = 0; plte && i + 2 < plte->data.size(); i += 3)
    index.emplace(uint32_t(plte->data[i]) << 16 | uint32_t(plte->data[i + 1]) << 8 | plte->data[i + 2], int(i / 3));
  std::vector<Bytes> rows;
  for (int y = 0; y < img.height; ++y) {
    Bytes row(colortype == 3 ? (size_t(img.width) * depth + 7) / 8 : 0, 0);
    for (int x = 0; x < img.width; ++x) {
      const uint32_t v = img.pixels[size_t(y) * img.width + x];
      const uint8_t r = uint8_t(v >> 16), g = uint8_t(v >> 8), b = uint8_t(v), a = uint8_t(v >> 24);
      if (colortype == 3) row[size_t(x * depth / 8)] |= uint8_t(index.at(v & 0xFFFFFF) << (8 - depth - x * depth % 8));
      if (colortype == 0) row.push_back(b);
      if (colortype == 2) row.insert(row.end(), {r, g, b});
      if (colortype == 4) row.insert(row.end(), {b, a});
      if (colortype == 6) row.insert(row.end(), {r, g, b, a});
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(RowFilter, FixedFiltersMatchTheStandardFilters) {
  auto paletteOf = [](int colours) {
    return [colours](int x, int y) { return 0xFF000000u | uint32_t(((x * 3 + y) % colours) * 0x0A0B0C + 0x102030); };
  };
  const struct { int colortype, depth, bpp, width, height; std::function<uint32_t(int, int)> pixel; } cases[] = {
      {6, 8, 4, 37, 11, [](int x, int y) { return Noise(x / 2, y) ^ uint32_t(x * 7); }},
      {2, 8, 3, 37, 11, [](int x, int y) { return 0xFF000000u | ((Noise(x / 3, y / 2) + uint32_t(x)) & 0xFFFFFF); }},
      {4, 8, 2, 37, 11, [](int x, int y) { return uint32_t(Noise(x, y / 2) & 0xFF) << 24 | Grey((x * 5 + y * 3) & 0xFF, 0); }},
      {0, 8, 1, 37, 11, [](int x, int y) { return Grey((x * 13 + y * 7 + (Noise(x, y) & 3)) & 0xFF); }},
      {3, 1, 1, 10, 6, paletteOf(2)}, {3, 2, 1, 10, 6, paletteOf(4)},
      {3, 4, 1, 10, 6, paletteOf(16)}, {3, 8, 1, 10, 6, paletteOf(256)},
  };
  for (const auto& c : cases) {
    Image img = MakeImage(c.width, c.height, c.pixel);
    for (int filter = 0; filter <= 4; ++filter) {
      SCOPED_TRACE("/c" + std::to_string(c.colortype) + " /d" + std::to_string(c.depth) + " /f" + std::to_string(filter));
      const RunResult run =
          Encode(img, {.colortype = c.colortype, .bitdepth = c.depth, .filter = filter, .strategy = c.colortype == 3 ? 2 : 3});
      ASSERT_TRUE(run.result != kEncodeFailed && run.job.outbitdepth == c.depth) << Rec().Text();
      EXPECT_EQ(InflatedIdat(run.png), ReferenceStream(Scanlines(img, c.colortype, c.depth, FindChunk(run.chunks, "PLTE")),
                                                   c.bpp, filter));
    }
  }
}

TEST(RowFilter, AdaptiveTiesPickTheLowerFilter) {
  // Identical rows: after the first, Up and Paeth both give zeros; Up wins.
  RunResult run = Encode(MakeImage(16, 6, [](int x, int) { return Noise(x, 0) | 0x10000000u; }), {.colortype = 6});
  ASSERT_EQ(run.job.outfilter, 5);
  const Bytes types = FilterBytes(run.png, 16 * 4 + 1);
  EXPECT_EQ(Bytes(types.begin() + 1, types.end()), Bytes(5, 2));
  // One data byte a row (a one-pixel-wide palette image): every filter costs the same, so None.
  run = Encode(MakeImage(1, 12, [](int, int y) { return y % 3 ? 0xFF336699u : 0xFF000000u; }), {.filter = 5});
  ASSERT_EQ(run.job.outcolortype, 3);
  EXPECT_EQ(FilterBytes(run.png, 2), Bytes(12, 0));
}

}  // namespace
