// The polishing moves: they start from the smallest start, never end above
// it, keep within their budget of size calls (counted by the size function,
// not timed), give the same answer on any number of threads, and on real
// rows write a file that carries the polished filters and decodes to the
// image; their size calls are the optimal parser's own (checked by zlib).

#include <gtest/gtest.h>

#include <atomic>
#include <new>

#include "SearchRows.h"
#include "cli/search/FilterPolish.h"
#include "cli/search/FilterSearch.h"
#include "engine/deflate/OptimalDeflate.h"

namespace {

using enginetest::Image;
using enginetest::MakeImage;
using enginetest::Noise;
using search::PolishBudget;
using search::PolishedFilters;

// A size whose best vector is known: 100 bytes, plus 3 for every row not
// Up in the first half, plus 2 for every row not Sub in the second.  A
// whole-class move cannot reach it; moves on the halves can.
struct HalvesSize {
  std::atomic<int>* calls;
  size_t operator()(const std::vector<uint8_t>& filters) const {
    ++*calls;
    size_t bytes = 100;
    for (size_t y = 0; y < filters.size(); ++y) {
      if (y < filters.size() / 2) bytes += filters[y] != 2 ? 3 : 0;
      if (y >= filters.size() / 2) bytes += filters[y] != 1 ? 2 : 0;
    }
    return bytes;
  }
};

TEST(FilterPolish, MovesFromTheSmallestStartWithinTheBudget) {
  const std::vector<uint8_t> paeth(16, 4), mixed = {4, 4, 0, 4, 4, 0, 4, 4, 4, 0, 4, 4, 0, 4, 4, 4};
  const struct {
    const char* name;
    int evaluations, threads;
    size_t expectedBytes;  // 0: only "below the best start"
  } cases[] = {
      {"room for every level", 200, 2, 100},
      {"one thread", 200, 1, 100},
      {"starts only", 2, 1, 0},
      {"a few moves", 12, 2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::atomic<int> calls{0};
    const HalvesSize size{&calls};
    const size_t bestStart = std::min(size(paeth), size(mixed));
    calls = 0;
    const PolishedFilters p = search::PolishRowFilters({paeth, mixed}, size, {.evaluations = c.evaluations, .threads = c.threads});
    EXPECT_EQ(calls.load(), p.evaluations);
    EXPECT_LE(p.evaluations, c.evaluations);
    ASSERT_EQ(16u, p.filters.size());
    EXPECT_EQ(size(p.filters), p.bytes);
    EXPECT_LE(p.bytes, bestStart);
    EXPECT_NE(3, p.filters[0]);
    EXPECT_TRUE(c.expectedBytes == 0 || (p.bytes == c.expectedBytes && p.moves >= 2)) << p.bytes << " " << p.moves;
    EXPECT_TRUE(c.evaluations > 2 || p.moves == 0) << p.moves;
  }
}

TEST(FilterPolish, SameAnswerWhateverTheThreads) {
  std::atomic<int> calls{0};
  const HalvesSize size{&calls};
  const std::vector<uint8_t> start = {1, 0, 4, 4, 3, 2, 0, 0, 4, 1, 1, 4, 2, 0, 3, 4, 4, 0, 1, 2};
  PolishBudget budget{.evaluations = 40, .threads = 1};
  const PolishedFilters one = search::PolishRowFilters({start}, size, budget);
  budget.threads = 4;
  const PolishedFilters four = search::PolishRowFilters({start}, size, budget);
  EXPECT_EQ(one.filters, four.filters);
  EXPECT_EQ(one.evaluations, four.evaluations);
  EXPECT_EQ(one.moves, four.moves);
}

TEST(FilterPolish, StopsWhenAskedAndWithoutStarts) {
  std::atomic<int> calls{0};
  const HalvesSize size{&calls};
  std::atomic<bool> stop{true};
  const PolishedFilters stopped = search::PolishRowFilters({std::vector<uint8_t>(8, 0)}, size, {.stop = &stop});
  EXPECT_EQ(1, stopped.evaluations);
  EXPECT_EQ(0, stopped.moves);
  calls = 0;
  EXPECT_TRUE(search::PolishRowFilters({}, size, PolishBudget{}).filters.empty());
  EXPECT_EQ(0, calls.load());
}

// A size call that runs out of memory, on the caller's thread or a helper,
// reaches the caller as that exception once every thread has stopped;
// before, a throw on a helper thread ended the whole process.
TEST(FilterPolish, AFailingSizeCallReachesTheCaller) {
  const std::vector<uint8_t> paeth(16, 4), mixed = {4, 4, 0, 4, 4, 0, 4, 4, 4, 0, 4, 4, 0, 4, 4, 4};
  const struct {
    const char* name;
    int threads, failFromCall;
  } cases[] = {
      {"every call, one thread", 1, 1},
      {"every call, four threads", 4, 1},
      {"during the moves, four threads", 4, 3},
      {"during the moves, more threads than moves", 64, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::atomic<int> calls{0};
    const HalvesSize halves{&calls};
    const search::FilteredSize size = [&](const std::vector<uint8_t>& filters) -> size_t {
      if (calls + 1 >= c.failFromCall) throw std::bad_alloc();
      return halves(filters);
    };
    EXPECT_THROW(search::PolishRowFilters({paeth, mixed}, size, {.evaluations = 200, .threads = c.threads}), std::bad_alloc);
  }
}

TEST(FilterPolish, PolishedRowsAreWhatTheFileCarries) {
  // Soft horizontal gradients with noise in blocks: Sub and Up both do well,
  // Paeth and None less so.
  Image img = MakeImage(48, 32, [](int x, int y) {
    return 0xFF000000u | ((uint32_t(x * 3 + y) + (Noise(x / 5, y / 3) & 15)) * 0x010101u & 0xFFFFFFu);
  });
  EngineContext ctx;
  const UnfilteredRows rows = searchtest::AnalysedRows(ctx, img);
  std::vector<uint8_t> start(size_t(rows.height));
  for (size_t y = 0; y < start.size(); ++y) start[y] = uint8_t(y % 2 ? 4 : 0);
  const PolishedFilters p = search::PolishByDeflate(rows, {start}, {.evaluations = 30, .threads = 2});
  ASSERT_GT(p.moves, 0);
  // The size it reports is the optimal parser's stream of those rows.
  const std::vector<uint8_t> stream = search::FilteredStream(rows, p.filters);
  std::vector<uint8_t> zlib;
  EXPECT_EQ(p.bytes, deflate::OptimalDeflate(stream.data(), stream.size(),
                                             deflate::OptimalLevelSettings(deflate::kOptimalLevelMin), zlib));
  std::vector<uint8_t> inflated;
  ASSERT_TRUE(oracle::InflateZlib(zlib.data(), zlib.size(), inflated));
  EXPECT_EQ(stream, inflated);

  const std::vector<uint8_t> png = searchtest::EncodeWithRows(ctx, img, p.filters);
  EXPECT_TRUE(enginetest::DecodesTo(png, img));
  EXPECT_EQ(stream, enginetest::InflatedIdat(png));
}

}  // namespace
