// Filter strategies of the search and the engine's per-row filter entry,
// judged by libpng (the file decodes to the input) and by zlib (each row of
// the inflated stream carries the filter type the strategy claimed).

#include <gtest/gtest.h>

#include "SearchRows.h"
#include "cli/search/FilterSearch.h"

namespace {

using enginetest::Image;
using enginetest::MakeImage;
using enginetest::Noise;
using enginetest::Rec;
using search::FilterStrategy;

using searchtest::EncodeWithRows;

struct Analysed {
  EngineContext ctx;
  UnfilteredRows rows;
  EncodeJob job;
};

void Analyse(Image& img, Analysed& out) { out.rows = searchtest::AnalysedRows(out.ctx, img, {}, &out.job); }

struct ImageCase {
  const char* name;
  int width, height;
  uint32_t (*pixel)(int x, int y);
  int colortype, bitdepth;  // what the analysis must settle on
};

const ImageCase kImages[] = {
    {"photo-like RGB", 61, 23, [](int x, int y) { return 0xFF000000u | uint32_t(x * 3 + y) << 16 | uint32_t(y * 5) << 8 | (Noise(x, y) & 7); }, 2, 8},
    {"RGBA with soft alpha", 17, 19, [](int x, int y) { return uint32_t(x * 15) << 24 | (Noise(x, y) & 0x3F3F3F); }, 6, 8},
    {"grey ramp, 200 levels", 200, 9, [](int x, int y) { return enginetest::Grey((x + y) % 200); }, 0, 8},
    {"palette at 4 bits", 13, 11, [](int x, int y) { return enginetest::Rgb(((x ^ y) & 3) * 60, 10, (x % 3) * 50); }, 3, 4},
    {"two colours at 1 bit", 10, 7, [](int x, int y) { return ((x + y) & 1) ? 0xFFFFFFFFu : 0xFF000000u; }, 3, 1},
    {"one pixel wide", 1, 12, [](int, int y) { return enginetest::Rgb(y * 20, 255 - y * 20, y, 200); }, 3, 4},
    {"one row", 40, 1, [](int x, int) { return enginetest::Rgb(x * 6, x, 3 * x); }, 3, 8},
};

TEST(FilterSearch, EveryStrategyDecodesAndWritesTheFiltersItClaims) {
  for (const ImageCase& c : kImages) {
    Image img = MakeImage(c.width, c.height, c.pixel);
    Analysed a;
    Analyse(img, a);
    ASSERT_EQ(c.colortype, a.job.outcolortype) << c.name;
    ASSERT_EQ(c.bitdepth, a.job.outbitdepth) << c.name;
    for (FilterStrategy s : search::kAllFilterStrategies) {
      const std::vector<uint8_t> filters = search::ChooseRowFilters(a.rows, s);
      ASSERT_EQ(size_t(c.height), filters.size()) << c.name;
      EXPECT_NE(3, filters[0]) << c.name << " " << search::FilterStrategyName(s);
      const std::vector<uint8_t> png = EncodeWithRows(a.ctx, img, filters);
      EXPECT_TRUE(enginetest::DecodesTo(png, img)) << c.name << " " << search::FilterStrategyName(s);
      EXPECT_EQ(filters, enginetest::FilterBytes(png, size_t(a.rows.rowBytes) + 1)) << c.name << " " << search::FilterStrategyName(s);
    }
  }
}

TEST(FilterSearch, OneFilterForEveryRowWritesTheSameFileAsTheJobsFilter) {
  Image img = MakeImage(33, 21, [](int x, int y) { return enginetest::Rgb(x * 7, y * 11, (x * y) & 0xFF); });
  Analysed a;
  Analyse(img, a);
  for (int f = 0; f <= 4; ++f)
    EXPECT_EQ(enginetest::Encode(img, {.filter = f}).png, EncodeWithRows(a.ctx, img, std::vector<uint8_t>(21, uint8_t(f)))) << f;
}

TEST(FilterSearch, RowFilterAbovePaethFailsTheRun) {
  Image img = MakeImage(4, 3, [](int x, int y) { return enginetest::Rgb(x * 60, y * 80, 1); });
  EngineContext ctx;
  int result = 0;
  EncodeWithRows(ctx, img, {1, 5, 2}, {}, &result);
  EXPECT_EQ(kEncodeFailed, result);
  EXPECT_EQ("\rRow filter 5 not supported\n", Rec().Last());
}

// Cases whose best filter is plain to see: the heuristics and the searches
// must find it.
TEST(FilterSearch, StrategiesFindTheObviousFilter) {
  struct Case {
    const char* name;
    uint32_t (*pixel)(int x, int y);
    int expected;  // for every row after the first
    bool byMinSum;  // false: Paeth's small errors beat the constant under the absolute sum
  };
  const Case cases[] = {
      // One row of noise, brightened by a new amount in every row: Up turns
      // each row after the first into one repeated byte, while the noise
      // itself never repeats within the window.
      {"shifted noise", [](int x, int y) {
        const uint32_t n = Noise(x, 0), k = Noise(1, y) & 7;
        return enginetest::Rgb((n + k) & 0xFF, ((n >> 8) + k) & 0xFF, ((n >> 16) + k) & 0xFF); }, 2, false},
      // Horizontal ramps whose step alternates from row to row: only Sub
      // leaves constant bytes.
      {"horizontal ramps", [](int x, int y) { return enginetest::Rgb(x * (1 + y % 2), Noise(0, y) & 0xFF, 200 - x * (1 + y % 2)); }, 1, false},
  };
  for (const Case& c : cases) {
    Image img = MakeImage(64, 16, c.pixel);
    Analysed a;
    Analyse(img, a);
    for (FilterStrategy s : {FilterStrategy::Entropy, FilterStrategy::MinSum, FilterStrategy::Greedy,
                             FilterStrategy::Refined}) {
      if (s == FilterStrategy::MinSum && !c.byMinSum) continue;
      const std::vector<uint8_t> filters = search::ChooseRowFilters(a.rows, s);
      for (int y = 1; y < 16; ++y)
        EXPECT_EQ(c.expected, filters[size_t(y)]) << c.name << " " << search::FilterStrategyName(s) << " row " << y;
    }
  }
}

TEST(FilterSearch, RefinedIsNeverWorseThanGreedyUnderTheModel) {
  Image img = MakeImage(48, 40, [](int x, int y) {
    return 0xFF000000u | uint32_t((x * y) / 7 + (Noise(x / 4, y / 4) & 15)) * 0x010203u % 0x1000000u;
  });
  Analysed a;
  Analyse(img, a);
  const double greedy = search::ModelCost(a.rows, search::ChooseRowFilters(a.rows, FilterStrategy::Greedy));
  const double refined = search::ModelCost(a.rows, search::ChooseRowFilters(a.rows, FilterStrategy::Refined));
  const double none = search::ModelCost(a.rows, search::ChooseRowFilters(a.rows, FilterStrategy::None));
  EXPECT_LT(greedy, none);
  EXPECT_LE(refined, greedy * 1.001);
}

}  // namespace
