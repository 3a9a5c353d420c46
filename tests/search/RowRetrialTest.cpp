// Row filters chosen again under a written stream's codes: rows written with
// a filter that costs them far more than another take a cheaper one, the
// stream the new filters make deflates smaller (the optimal parser, checked
// by zlib), rows already well filtered stay, and the answer does not depend
// on the threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "SearchRows.h"
#include "cli/search/FilterSearch.h"
#include "cli/search/RowRetrial.h"
#include "engine/deflate/OptimalDeflate.h"
#include "support/Oracles.h"

namespace {

using enginetest::Image;
using enginetest::MakeImage;
using enginetest::Noise;

struct Written {
  std::vector<uint8_t> zlib;
  deflate::OptimalStats stats;
};

Written Deflate(const UnfilteredRows& rows, const std::vector<uint8_t>& filters) {
  Written w;
  const std::vector<uint8_t> stream = search::FilteredStream(rows, filters);
  deflate::OptimalDeflate(stream.data(), stream.size(), deflate::OptimalLevelSettings(3), w.zlib, &w.stats);
  std::vector<uint8_t> inflated;
  EXPECT_TRUE(oracle::InflateZlib(w.zlib.data(), w.zlib.size(), inflated));
  EXPECT_EQ(inflated, stream);
  return w;
}

}  // namespace

TEST(RowRetrial, BadlyFilteredRowsTakeACheaperFilter) {
  // Every row the noise of the row above, each sample one brighter: Up
  // makes a row one byte over and over, None leaves it noise no other row
  // holds.  Two rows in every eight are written with None.
  Image img = MakeImage(96, 48, [](int x, int y) { return (Noise(uint32_t(x), 0) + uint32_t(y) * 0x010101u) | 0xFF000000u; });
  EngineContext ctx;
  const UnfilteredRows rows = searchtest::AnalysedRows(ctx, img);
  std::vector<uint8_t> filters(size_t(rows.height), 2);
  filters[0] = 0;  // nothing above: None is as good as any
  std::vector<int> bad;
  for (int y = 8; y < rows.height; y += 8) {
    filters[size_t(y)] = filters[size_t(y) + 1] = 0;
    bad.push_back(y);
    bad.push_back(y + 1);
  }
  const Written before = Deflate(rows, filters);
  const search::RetriedFilters retried = search::RetryRowFilters(rows, filters, before.stats.written, {.threads = 2});
  ASSERT_EQ(filters.size(), retried.filters.size());
  for (int y : bad) EXPECT_NE(0, retried.filters[size_t(y)]) << "row " << y;
  EXPECT_GE(retried.changedRows, int(bad.size()));
  EXPECT_LE(retried.changedRows, int(bad.size()) + 1);
  // The first row has no row above to be cheaper against; the margin keeps
  // every other row as it was.
  for (size_t y = 1; y < filters.size(); ++y)
    EXPECT_TRUE(std::count(bad.begin(), bad.end(), int(y)) || filters[y] == retried.filters[y]) << "row " << y;
  EXPECT_LT(Deflate(rows, retried.filters).zlib.size(), before.zlib.size());
}

TEST(RowRetrial, SameAnswerWhateverTheThreadsNeverAverageFirst) {
  Image img = MakeImage(64, 40, [](int x, int y) {
    const uint32_t n = Noise(uint32_t(x / 3), uint32_t(y / 5)) & 0x1F1F1Fu;
    return 0xFF000000u | (uint32_t(x * 3 + y) * 0x010203u + n);
  });
  EngineContext ctx;
  const UnfilteredRows rows = searchtest::AnalysedRows(ctx, img);
  std::vector<uint8_t> filters(size_t(rows.height));
  for (size_t y = 0; y < filters.size(); ++y) filters[y] = uint8_t(y == 0 ? 0 : (y * 7) % 5);
  const Written before = Deflate(rows, filters);
  search::RetrialEffort effort{.marginBits = 0, .threads = 1};
  const search::RetriedFilters one = search::RetryRowFilters(rows, filters, before.stats.written, effort);
  effort.threads = 3;
  const search::RetriedFilters three = search::RetryRowFilters(rows, filters, before.stats.written, effort);
  EXPECT_EQ(one.filters, three.filters);
  EXPECT_EQ(one.changedRows, three.changedRows);
  EXPECT_GT(one.changedRows, 0);
  EXPECT_NE(3, one.filters[0]);
  for (uint8_t f : one.filters) EXPECT_LE(f, 4);
  // What the rows were given is not touched when the blocks are missing.
  const search::RetriedFilters none = search::RetryRowFilters(rows, filters, {}, effort);
  EXPECT_EQ(filters, none.filters);
  EXPECT_EQ(0, none.changedRows);
}
