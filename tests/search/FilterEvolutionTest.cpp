// The genetic filter search: never worse than its best seed by its own
// fitness, the same answer for the same seed whatever the threads, within
// its budget of fitness calls (counted by the fitness itself, not timed),
// and, on real rows, a vector that the written file carries row for row
// (zlib) and that decodes to the image (libpng).

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "SearchRows.h"
#include "cli/search/FilterEvolution.h"
#include "cli/search/FilterSearch.h"

namespace {

using enginetest::Image;
using enginetest::MakeImage;
using enginetest::Noise;
using search::EvolutionBudget;
using search::EvolvedFilters;

// A fitness whose optimum is known: the rows that differ from a hidden
// target, each weighted by its row number + 1 so that not every mismatch
// counts alike.  It counts its calls.
struct TargetFitness {
  std::vector<uint8_t> target;
  std::atomic<int>* calls;
  double operator()(const std::vector<uint8_t>& filters) const {
    ++*calls;
    double cost = 0.0;
    for (size_t y = 0; y < target.size(); ++y) cost += filters[y] != target[y] ? double(y + 1) : 0.0;
    return cost;
  }
};

std::vector<uint8_t> Pattern(size_t rows, uint32_t salt) {
  std::vector<uint8_t> v(rows);
  for (size_t y = 0; y < rows; ++y) v[y] = uint8_t(Noise(int(y), int(salt)) % 5);
  if (v[0] == 3) v[0] = 1;
  return v;
}

TEST(FilterEvolution, ImprovesOnItsSeedsWithinTheBudget) {
  struct Case {
    const char* name;
    size_t rows;
    int population, generations, evaluations, threads;
  };
  const Case cases[] = {
      {"evaluations bind", 40, 8, 1000, 150, 1},
      {"generations bind", 40, 8, 5, 10000, 2},
      {"population above the seeds", 12, 16, 30, 600, 2},
      {"one row", 1, 6, 10, 200, 1},
      {"budget below the seeds", 30, 8, 10, 2, 1},
  };
  for (const Case& c : cases) {
    std::atomic<int> calls{0};
    const TargetFitness fitness{Pattern(c.rows, 7), &calls};
    const std::vector<std::vector<uint8_t>> seeds = {std::vector<uint8_t>(c.rows, 0), std::vector<uint8_t>(c.rows, 2),
                                                     Pattern(c.rows, 8)};
    double bestSeed = 1e300;
    for (const auto& s : seeds) bestSeed = std::min(bestSeed, fitness(s));
    calls = 0;
    const EvolutionBudget budget{
        .population = c.population, .generations = c.generations, .evaluations = c.evaluations, .threads = c.threads};
    const EvolvedFilters result = search::EvolveRowFilters(seeds, fitness, budget);
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.rows, result.filters.size());
    EXPECT_NE(3, result.filters[0]);
    EXPECT_EQ(calls.load(), result.evaluations);
    EXPECT_LE(result.evaluations, c.evaluations);
    EXPECT_LE(result.generations, c.generations);
    // The fitness the search reports is the answer's own.
    EXPECT_EQ(fitness(result.filters), result.fitness);
    EXPECT_LE(result.fitness, bestSeed);
    // With room for a few generations, the search finds better than any
    // seed (the target is far from every one of them).
    EXPECT_TRUE(c.evaluations < 100 || c.generations < 5 || result.fitness < bestSeed) << result.fitness;
  }
}

TEST(FilterEvolution, SameSeedSameAnswerWhateverTheThreads) {
  std::atomic<int> calls{0};
  const TargetFitness fitness{Pattern(64, 11), &calls};
  const std::vector<std::vector<uint8_t>> seeds = {Pattern(64, 12), Pattern(64, 13)};
  EvolutionBudget budget{.evaluations = 300, .threads = 1};
  const EvolvedFilters one = search::EvolveRowFilters(seeds, fitness, budget);
  budget.threads = 3;
  const EvolvedFilters three = search::EvolveRowFilters(seeds, fitness, budget);
  EXPECT_EQ(one.filters, three.filters);
  EXPECT_EQ(one.fitness, three.fitness);
  EXPECT_EQ(one.evaluations, three.evaluations);
  // Another seed takes another path (the fitness has many optima of equal
  // rank only at its target, which 300 calls do not reach).
  budget.seed ^= 0xABCDEF;
  const EvolvedFilters other = search::EvolveRowFilters(seeds, fitness, budget);
  EXPECT_NE(one.filters, other.filters);
}

TEST(FilterEvolution, StopsWhenAskedAndWithoutSeeds) {
  std::atomic<int> calls{0};
  const TargetFitness fitness{Pattern(20, 3), &calls};
  std::atomic<bool> stop{true};
  const EvolutionBudget budget{.stop = &stop};
  const EvolvedFilters stopped = search::EvolveRowFilters({Pattern(20, 4)}, fitness, budget);
  // The first population is priced, then no generation runs.
  EXPECT_EQ(0, stopped.generations);
  EXPECT_EQ(calls.load(), stopped.evaluations);
  EXPECT_LE(stopped.evaluations, budget.population);
  EXPECT_EQ(20u, stopped.filters.size());

  calls = 0;
  const EvolvedFilters none = search::EvolveRowFilters({}, fitness, EvolutionBudget{});
  EXPECT_TRUE(none.filters.empty());
  EXPECT_EQ(0, calls.load());
}

// On real rows with the model's fitness: never above the best strategy by
// the model, and the vector is what the engine writes.
TEST(FilterEvolution, EvolvedRowsAreWhatTheFileCarries) {
  const struct {
    const char* name;
    int width, height;
    uint32_t (*pixel)(int x, int y);
  } cases[] = {
      {"textured RGB", 40, 30, [](int x, int y) { return 0xFF000000u | ((uint32_t(x * y) / 5 + (Noise(x / 3, y / 3) & 31)) * 0x010307u & 0xFFFFFFu); }},
      {"grey blocks", 57, 25, [](int x, int y) { return enginetest::Grey(((Noise(x / 4, y / 2) & 3) == 0) ? 30 : 220 - y); }},
  };
  for (const auto& c : cases) {
    Image img = MakeImage(c.width, c.height, c.pixel);
    EngineContext ctx;
    const UnfilteredRows rows = searchtest::AnalysedRows(ctx, img);
    std::vector<std::vector<uint8_t>> seeds;
    double bestSeed = 1e300;
    for (search::FilterStrategy s : {search::FilterStrategy::None, search::FilterStrategy::Up,
                                     search::FilterStrategy::Paeth, search::FilterStrategy::Greedy}) {
      seeds.push_back(search::ChooseRowFilters(rows, s));
      bestSeed = std::min(bestSeed, search::ModelCost(rows, seeds.back()));
    }
    const EvolvedFilters evolved = search::EvolveFromSeeds(rows, seeds, {.evaluations = 120, .threads = 2});
    SCOPED_TRACE(c.name);
    EXPECT_LE(evolved.fitness, bestSeed);
    EXPECT_EQ(search::ModelCost(rows, evolved.filters), evolved.fitness);

    const std::vector<uint8_t> png = searchtest::EncodeWithRows(ctx, img, evolved.filters);
    EXPECT_TRUE(enginetest::DecodesTo(png, img));
    EXPECT_EQ(search::FilteredStream(rows, evolved.filters), enginetest::InflatedIdat(png));
  }
}

}  // namespace
