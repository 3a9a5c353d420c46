// Scanline filtering: the bytes in the zlib stream are checked against a
// reference filter written from the PNG standard (zlib inflates the stream),
// and the adaptive choice against an independent entropy estimate.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>

#include "EngineRunSupport.h"
#include "engine/AdaptiveFilter.h"
#include "engine/RowFilter.h"

namespace {

using namespace spinetest;
using Bytes = std::vector<uint8_t>;

// The PNG standard's predictor, written the standard's way (p = a + b - c).
int StandardPaeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  if (pb <= pc) return b;
  return c;
}

// Filters one scanline against the previous one (zeros for the first row).
Bytes FilterRow(const Bytes& row, const Bytes& prev, int bpp, int filter) {
  Bytes out(row.size());
  for (size_t i = 0; i < row.size(); ++i) {
    const int a = i >= size_t(bpp) ? row[i - bpp] : 0;
    const int b = prev[i];
    const int c = i >= size_t(bpp) ? prev[i - bpp] : 0;
    int pred = 0;
    switch (filter) {
      case 1: pred = a; break;
      case 2: pred = b; break;
      case 3: pred = (a + b) / 2; break;
      case 4: pred = StandardPaeth(a, b, c); break;
      default: break;
    }
    out[i] = uint8_t(row[i] - pred);
  }
  return out;
}

// The filtered stream a fixed filter gives: Average on the first row is
// sent as Sub.
Bytes ReferenceStream(const std::vector<Bytes>& rows, int bpp, int filter) {
  Bytes stream;
  Bytes prev(rows[0].size(), 0);
  for (size_t y = 0; y < rows.size(); ++y) {
    const int f = (filter == 3 && y == 0) ? 1 : filter;
    stream.push_back(uint8_t(f));
    const Bytes filtered = FilterRow(rows[y], prev, bpp, f);
    stream.insert(stream.end(), filtered.begin(), filtered.end());
    prev = rows[y];
  }
  return stream;
}

// Scanlines of the image in the file's layout for the true-colour types and
// 8-bit grey (whose index is the level itself).
std::vector<Bytes> Scanlines(const Image& img, int colortype) {
  std::vector<Bytes> rows;
  for (int y = 0; y < img.height; ++y) {
    Bytes row;
    for (int x = 0; x < img.width; ++x) {
      const uint32_t v = img.pixels[size_t(y) * img.width + x];
      const uint8_t r = uint8_t(v >> 16), g = uint8_t(v >> 8), b = uint8_t(v), a = uint8_t(v >> 24);
      switch (colortype) {
        case 0: row.push_back(b); break;
        case 2: row.insert(row.end(), {r, g, b}); break;
        case 4: row.insert(row.end(), {b, a}); break;
        default: row.insert(row.end(), {r, g, b, a}); break;
      }
    }
    rows.push_back(row);
  }
  return rows;
}

// Packed palette indices, taking each pixel's index from the file's PLTE.
std::vector<Bytes> IndexScanlines(const Image& img, const Bytes& plte, int depth) {
  std::map<uint32_t, int> index;
  for (size_t i = 0; i + 2 < plte.size(); i += 3) {
    const uint32_t rgb = uint32_t(plte[i]) << 16 | uint32_t(plte[i + 1]) << 8 | plte[i + 2];
    index.emplace(rgb, int(i / 3));
  }
  std::vector<Bytes> rows;
  for (int y = 0; y < img.height; ++y) {
    Bytes row((size_t(img.width) * depth + 7) / 8, 0);
    for (int x = 0; x < img.width; ++x) {
      const int idx = index.at(img.pixels[size_t(y) * img.width + x] & 0xFFFFFF);
      const int bit = x * depth;
      row[bit / 8] |= uint8_t(idx << (8 - depth - bit % 8));
    }
    rows.push_back(row);
  }
  return rows;
}

Bytes Inflated(const Bytes& png) {
  Bytes raw;
  EXPECT_TRUE(oracle::InflateIdat(png, raw));
  return raw;
}

Bytes FilterBytes(const Bytes& raw, size_t rowLength) {
  Bytes types;
  for (size_t p = 0; p < raw.size(); p += rowLength) types.push_back(raw[p]);
  return types;
}

struct TypeCase {
  int colortype;
  int bpp;
  std::function<uint32_t(int, int)> pixel;
};

TEST(RowFilter, FixedFiltersMatchTheStandardFilters) {
  const std::vector<TypeCase> cases = {
      {6, 4, [](int x, int y) { return Noise(x / 2, y) ^ uint32_t(x * 7); }},
      {2, 3, [](int x, int y) { return 0xFF000000u | ((Noise(x / 3, y / 2) + uint32_t(x)) & 0xFFFFFF); }},
      {4, 2, [](int x, int y) { return uint32_t(Noise(x, y / 2) & 0xFF) << 24 | 0x010101u * ((x * 5 + y * 3) & 0xFF); }},
      {0, 1, [](int x, int y) { return 0xFF000000u | 0x010101u * ((x * 13 + y * 7 + (Noise(x, y) & 3)) & 0xFF); }},
  };
  for (const TypeCase& c : cases) {
    Image img = MakeImage(37, 11, c.pixel);
    const std::vector<Bytes> rows = Scanlines(img, c.colortype);
    for (int filter = 0; filter <= 4; ++filter) {
      EncodeJob job = DefaultJob(img);
      job.colortype = c.colortype;
      job.bitdepth = 8;
      job.filter = filter;
      job.strategy = 3;
      RunResult run = RunJob(job);
      ASSERT_NE(run.result, kEncodeFailed) << TheRecorder().Text();
      ASSERT_EQ(job.outbitdepth, 8);
      EXPECT_EQ(Inflated(run.png), ReferenceStream(rows, c.bpp, filter))
          << "colour type " << c.colortype << " filter " << filter;
    }
  }
}

TEST(RowFilter, PackedIndicesAreFilteredByteWise) {
  for (int depth : {1, 2, 4, 8}) {
    const int colours = 1 << depth;
    Image img = MakeImage(10, 6, [&](int x, int y) {
      return 0xFF000000u | uint32_t(((x * 3 + y) % colours) * 0x0A0B0C + 0x102030);
    });
    for (int filter = 0; filter <= 4; ++filter) {
      EncodeJob job = DefaultJob(img);
      job.colortype = 3;
      job.bitdepth = depth;
      job.filter = filter;
      job.strategy = 2;
      RunResult run = RunJob(job);
      ASSERT_NE(run.result, kEncodeFailed) << TheRecorder().Text();
      std::vector<oracle::Chunk> chunks;
      ASSERT_TRUE(oracle::ListChunks(run.png, chunks));
      const std::vector<Bytes> rows = IndexScanlines(img, FindChunk(chunks, "PLTE")->data, depth);
      EXPECT_EQ(Inflated(run.png), ReferenceStream(rows, 1, filter)) << "depth " << depth << " filter " << filter;
    }
  }
}

TEST(RowFilter, OneBitRowOfTenPixelsEndsWithTwoPixelsInTheTopBits) {
  // Pixel 8 is white and pixel 9 black: the second byte is 10xxxxxx with the
  // six unused bits 0 (white is index 0, being the more used colour).
  Image img = MakeImage(10, 2, [](int x, int) { return x == 9 || x == 3 ? 0xFF000000u : 0xFFFFFFFFu; });
  EncodeJob job = DefaultJob(img);
  RunResult run = RunJob(job);
  ASSERT_EQ(job.outcolortype, 3);
  ASSERT_EQ(job.outbitdepth, 1);
  const Bytes raw = Inflated(run.png);
  EXPECT_EQ(raw, Bytes({0, 0x10, 0x40, 0, 0x10, 0x40}));
}

TEST(RowFilter, AverageOnTheFirstRowIsSentAsSub) {
  Image img = MakeImage(9, 5, [](int x, int y) { return Noise(x, y); });
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.filter = 3;
  RunResult run = RunJob(job);
  EXPECT_EQ(FilterBytes(Inflated(run.png), 9 * 4 + 1), Bytes({1, 3, 3, 3, 3}));
}

TEST(RowFilter, PaethOnTheFirstRowEqualsSub) {
  Image img = MakeImage(9, 1, [](int x, int y) { return Noise(x, y); });
  Bytes rows[2];
  for (int i = 0; i < 2; ++i) {
    EncodeJob job = DefaultJob(img);
    job.colortype = 6;
    job.filter = i == 0 ? 1 : 4;
    rows[i] = Inflated(RunJob(job).png);
  }
  ASSERT_EQ(rows[0].size(), 37u);
  EXPECT_EQ(rows[1][0], 4);
  EXPECT_TRUE(std::equal(rows[0].begin() + 1, rows[0].end(), rows[1].begin() + 1));
}

TEST(RowFilter, AdaptiveCodesIdenticalRowsWithUp) {
  // After the first row, Up and Paeth both give zeros; the lower number wins.
  Image img = MakeImage(16, 6, [](int x, int) { return Noise(x, 0) | 0x10000000u; });
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  RunResult run = RunJob(job);
  ASSERT_EQ(job.outfilter, 5);
  const Bytes types = FilterBytes(Inflated(run.png), 16 * 4 + 1);
  EXPECT_EQ(Bytes(types.begin() + 1, types.end()), Bytes(5, 2));
}

TEST(RowFilter, AdaptiveOneByteRowsAreNone) {
  // A one-pixel-wide palette image has one data byte a row: every filter
  // costs the same, so None is written.
  Image img = MakeImage(1, 12, [](int, int y) { return y % 3 ? 0xFF336699u : 0xFF000000u; });
  EncodeJob job = DefaultJob(img);
  job.filter = 5;
  RunResult run = RunJob(job);
  ASSERT_EQ(job.outcolortype, 3);
  EXPECT_EQ(FilterBytes(Inflated(run.png), 2), Bytes(12, 0));
}

// Sum of c ln c over the byte histogram of a row: the larger, the lower the
// row's order-0 entropy.
double Concentration(const Bytes& filtered) {
  int counts[256] = {};
  for (uint8_t b : filtered) ++counts[b];
  double s = 0;
  for (int c : counts) s += c > 1 ? c * std::log(double(c)) : 0.0;
  return s;
}

TEST(RowFilter, AdaptiveChoosesTheLowestEntropyRow) {
  Image img = MakeImage(50, 30, [](int x, int y) {
    const uint32_t smooth = uint32_t(x * 4 + y * 3) & 0xFF;
    return 0xFF000000u | (y % 7 == 3 ? Noise(x, y) & 0xFFFFFF : smooth * 0x010101u + uint32_t(x % 5));
  });
  EncodeJob job = DefaultJob(img);
  job.colortype = 2;
  RunResult run = RunJob(job);
  const std::vector<Bytes> rows = Scanlines(img, 2);
  const Bytes raw = Inflated(run.png);
  const size_t rowLength = 50 * 3 + 1;
  ASSERT_EQ(raw.size(), rowLength * 30);
  Bytes prev(rowLength - 1, 0);
  for (int y = 0; y < 30; ++y) {
    const int chosen = raw[rowLength * y];
    ASSERT_LE(chosen, 4);
    double best = -1;
    for (int f = 0; f <= 4; ++f) best = std::max(best, Concentration(FilterRow(rows[y], prev, 3, y == 0 && f == 3 ? 1 : f)));
    const double n = double(rowLength - 1);
    const double tolerance = 300.0 * n * std::log(n) / 2147483647.0;  // truncation of 256 table entries
    EXPECT_GE(Concentration(FilterRow(rows[y], prev, 3, chosen)), best - tolerance) << "row " << y;
    prev = rows[y];
  }
}

TEST(RowFilter, PaethPredictIsTheStandardPredictor) {
  for (int a = 0; a < 256; a += 5) {
    for (int b = 0; b < 256; b += 7) {
      for (int c = 0; c < 256; c += 3) ASSERT_EQ(PaethPredict(a, b, c), StandardPaeth(a, b, c)) << a << "," << b << "," << c;
    }
  }
  for (int v : {0, 1, 254, 255}) {
    EXPECT_EQ(PaethPredict(v, v, v), v);
    EXPECT_EQ(PaethPredict(v, 0, 0), v);
  }
}

TEST(RowFilter, EntropyCostRanksConcentratedRowsFirst) {
  EngineContext ctx;
  EncodeJob job{};
  ctx.job = &job;
  ctx.print = RecordPrint;
  auto cost = [&](const Bytes& rowWithType) {
    for (uint32_t& c : ctx.trialCounts) c = 0;
    ctx.trialTotal = 0;
    for (uint8_t b : rowWithType) TrialHistogram(ctx, b);
    ctx.rowFilter = rowWithType[0];
    return RowEntropyCost(ctx);
  };
  Bytes repeated(101, 7), spread(101), half(101);
  repeated[0] = 2;
  for (int i = 0; i < 101; ++i) spread[i] = uint8_t(i * 37);
  for (int i = 0; i < 101; ++i) half[i] = uint8_t(i % 2);
  spread[0] = 1;
  half[0] = 0;
  const int32_t one = cost(repeated), evenly = cost(spread), two = cost(half);
  EXPECT_LT(one, two);
  EXPECT_LT(two, evenly);
  EXPECT_LE(one, 0);  // the scale puts a single repeated byte at the very bottom
  EXPECT_EQ(ctx.entropyN, 100);
  // One data byte: every cost is the same.
  EXPECT_EQ(cost(Bytes({4, 200})), 0x7FFFFFFE);
  EXPECT_EQ(cost(Bytes({0, 3})), 0x7FFFFFFE);
  ReleaseEntropyTable(ctx);
}

}  // namespace
