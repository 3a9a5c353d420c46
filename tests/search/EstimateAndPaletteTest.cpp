// The trial estimate against the engine's real sizes on cases whose order is
// known, and the palette orders: each a permutation that keeps translucent
// entries first, each giving a file that libpng decodes to the image.

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "SearchRows.h"
#include "cli/search/FilterSearch.h"
#include "cli/search/PaletteOrders.h"

namespace {

using enginetest::Image;
using enginetest::MakeImage;
using enginetest::Noise;
using search::FilterStrategy;

using searchtest::AnalysedRows;
using searchtest::EncodeWithRows;

struct EstimateCase {
  const char* name;
  uint32_t (*pixel)(int x, int y);
};

// Images where the strategies differ by a lot and in different directions.
const EstimateCase kEstimateCases[] = {
    {"vertical gradient with noise columns", [](int x, int y) { return enginetest::Rgb(Noise(x, 0) & 0xFF, (y * 3) & 0xFF, (x * 5) & 0xFF); }},
    {"diagonal stripes", [](int x, int y) { return enginetest::Rgb(((x + y) / 4 % 2) * 200, 30, ((x - y) & 0xFF)); }},
    {"photo-like smooth field", [](int x, int y) { return enginetest::Rgb((x * x + y * 3) / 40 & 0xFF, (x + y * y) / 30 & 0xFF, ((x * y) / 50 + (Noise(x, y) & 3)) & 0xFF); }},
    {"text-like blocks", [](int x, int y) { return enginetest::Grey(((Noise(x / 3, y / 5) & 3) == 0) ? 20 : 240); }},
};

TEST(TrialEstimate, RanksStrategiesAsTheEngineDoes) {
  const FilterStrategy strategies[] = {FilterStrategy::None, FilterStrategy::Sub, FilterStrategy::Up,
                                       FilterStrategy::Paeth, FilterStrategy::Greedy};
  for (const EstimateCase& c : kEstimateCases) {
    Image img = MakeImage(96, 64, c.pixel);
    EngineContext ctx;
    const UnfilteredRows rows = AnalysedRows(ctx, img);
    std::vector<double> estimate;
    std::vector<int> real;
    for (FilterStrategy s : strategies) {
      const std::vector<uint8_t> filters = search::ChooseRowFilters(rows, s);
      estimate.push_back(search::ModelCost(rows, filters));
      real.push_back(int(EncodeWithRows(ctx, img, filters).size()));
    }
    std::vector<size_t> order(estimate.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&estimate](size_t a, size_t b) { return estimate[a] < estimate[b]; });
    const int best = *std::min_element(real.begin(), real.end());
    // Giving the estimate's two favourites the full loop (as the higher
    // levels do) loses at most 2 % against the best.
    EXPECT_LE(std::min(real[order[0]], real[order[1]]), best * 1.02) << c.name;
    // Pairs the engine separates clearly (by a fifth) the estimate orders alike.
    for (size_t i = 0; i < real.size(); ++i)
      for (size_t j = 0; j < real.size(); ++j)
        EXPECT_TRUE(real[i] * 1.2 >= real[j] || estimate[i] < estimate[j])
            << c.name << ": " << search::FilterStrategyName(strategies[i]) << " vs " << search::FilterStrategyName(strategies[j]);
  }
}

TEST(PaletteOrders, PermutationsWithTranslucentEntriesFirst) {
  const std::vector<uint32_t> palette = {0x80112233, 0x00FFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF808080,
                                         0xFF102030, 0xFFF0E0D0, 0xFF7F8081};
  const uint32_t pixels[] = {0xFF808080, 0xFFFFFFFF, 0x00FFFFFF, 0xFF000000, 0xFF7F8081,
                             0x80112233, 0xFFF0E0D0, 0xFF102030};
  struct Expected {
    search::PaletteOrder order;
    std::vector<uint32_t> entries;
  };
  const Expected cases[] = {
      // Darkest first in each group (the transparent white is lighter than the dark translucent entry).
      {search::PaletteOrder::Luminance,
       {0x80112233, 0x00FFFFFF, 0xFF000000, 0xFF102030, 0xFF7F8081, 0xFF808080, 0xFFF0E0D0, 0xFFFFFFFF}},
      // From each group's first entry, always to the nearest colour left.
      {search::PaletteOrder::NearestChain,
       {0x80112233, 0x00FFFFFF, 0xFF000000, 0xFF102030, 0xFF7F8081, 0xFF808080, 0xFFF0E0D0, 0xFFFFFFFF}},
      {search::PaletteOrder::FirstOccurrence,
       {0x00FFFFFF, 0x80112233, 0xFF808080, 0xFFFFFFFF, 0xFF000000, 0xFF7F8081, 0xFFF0E0D0, 0xFF102030}},
  };
  for (const Expected& e : cases)
    EXPECT_EQ(e.entries, search::OrderPalette(palette, e.order, pixels, std::size(pixels))) << search::PaletteOrderName(e.order);
}

TEST(PaletteOrders, KeptOrderDecodesWithEveryFilterStrategy) {
  Image img = MakeImage(37, 29, [](int x, int y) {
    const int k = (x / 5 + y / 4 + int(Noise(x / 9, y / 7) & 3)) % 24;
    return enginetest::Rgb(k * 10, 255 - k * 9, (k * 37) & 0xFF, k == 3 ? 0 : (k == 5 ? 128 : 255));
  });
  EngineContext ctx;
  EncodeJob analysis;
  AnalysedRows(ctx, img, {}, &analysis);
  ASSERT_EQ(3, analysis.outcolortype);
  const std::vector<uint32_t> byUse(analysis.outpal, analysis.outpal + analysis.outpalcount);
  for (search::PaletteOrder order : search::kAllPaletteOrders) {
    const std::vector<uint32_t> ordered = search::OrderPalette(byUse, order, img.pixels.data(), img.pixels.size());
    const enginetest::Options o{.keeppal = 1, .pal = &ordered};
    const UnfilteredRows rows = AnalysedRows(ctx, img, o);
    for (FilterStrategy s : {FilterStrategy::None, FilterStrategy::Greedy}) {
      const std::vector<uint8_t> png = EncodeWithRows(ctx, img, search::ChooseRowFilters(rows, s), o);
      EXPECT_TRUE(enginetest::DecodesTo(png, img)) << search::PaletteOrderName(order);
      std::vector<oracle::Chunk> chunks;
      ASSERT_TRUE(oracle::ListChunks(png, chunks));
      const oracle::Chunk* plte = enginetest::FindChunk(chunks, "PLTE");
      ASSERT_NE(nullptr, plte);
      for (size_t i = 0; i < ordered.size(); ++i)
        EXPECT_EQ(uint8_t(ordered[i] >> 16), plte->data[3 * i]) << search::PaletteOrderName(order) << " entry " << i;
    }
  }
}

}  // namespace
