// How much the choice among near-equal filter vectors is worth once the
// optimal parser writes them.
//
// For one PNG: the engine's analysis, every filter strategy's answer, the
// greedy and refined choices under other chain depths of the cost model,
// the genetic search's last population and the polished vector (the top
// level's budgets; polishing starts from the search's answer, the greedy
// and the refined choice, as velkor's top level does), each distinct
// vector deflated by the optimal parser at the given levels (1..7,
// cli/OptimalRedeflate.h).  Prints each vector's model bytes and stream
// bytes per level, best by the model first, so that one sees how well the
// model's order holds and what the best of the first N would give.
//
// Usage: filter_scatter FILE [--level L]... [--threads T] [--no-search]
//   --no-search  leaves out the genetic search and polishing (faster).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "EngineJob.h"
#include "PngLoader.h"
#include "cli/EffortLevels.h"
#include "cli/OptimalRedeflate.h"
#include "cli/search/FilterSearch.h"
#include "cli/search/ParallelFor.h"
#include "engine/deflate/OptimalDeflate.h"

namespace {

struct Vector {
  std::string name;
  std::vector<uint8_t> filters;
  double bits = 0;
  std::vector<size_t> bytes;
};

constexpr int kChainDepths[] = {32, 64, 128, 512, 1024};

int Usage() {
  std::fprintf(stderr, "usage: filter_scatter FILE [--level 1..7]... [--threads T] [--no-search]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::vector<int> levels;
  int threads = 2;
  bool searches = true;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-search") == 0) searches = false;
    else if (std::strcmp(argv[i], "--level") == 0 && i + 1 < argc) levels.push_back(std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) threads = std::max(1, std::atoi(argv[++i]));
    else return Usage();
  }
  if (levels.empty()) levels.push_back(6);
  EngineContext ctx;
  bench::AnalysedImage image;
  if (!bench::LoadAnalysed(ctx, argv[1], image)) return 1;
  const UnfilteredRows& rows = image.rows;
  std::vector<Vector> list;
  auto add = [&](std::string name, const std::vector<uint8_t>& filters) {
    for (const Vector& v : list)
      if (v.filters == filters) return;
    list.push_back({std::move(name), filters, search::ModelCost(rows, filters), {}});
  };
  std::vector<std::vector<uint8_t>> seeds;
  search::SearchEffort effort;
  effort.refineSweeps = 4;  // as the top level refines
  for (search::FilterStrategy s : search::kAllFilterStrategies) {
    if (s == search::FilterStrategy::Evolved || s == search::FilterStrategy::Polished) continue;
    seeds.push_back(search::ChooseRowFilters(rows, s, effort));
    add(search::FilterStrategyName(s), seeds.back());
  }
  for (int depth : kChainDepths) {
    search::SearchEffort shallower = effort;
    shallower.chainDepth = depth;
    for (search::FilterStrategy s : {search::FilterStrategy::Greedy, search::FilterStrategy::Refined}) {
      add(search::FilterStrategyName(s) + std::to_string(depth), search::ChooseRowFilters(rows, s, shallower));
    }
  }
  if (searches) {
    const EffortLevel& top = kEffortLevels[kEffortLevelCount - 1];
    const search::EvolvedFilters evolved =
        search::EvolveFromSeeds(rows, seeds, EvolutionBudgetOf(top, rows.bytes.size(), threads));
    for (size_t i = 0; i < evolved.population.size(); ++i) add("pop" + std::to_string(i), evolved.population[i]);
    const std::vector<std::vector<uint8_t>> starts = {
        evolved.filters, search::ChooseRowFilters(rows, search::FilterStrategy::Greedy, effort),
        search::ChooseRowFilters(rows, search::FilterStrategy::Refined, effort)};
    const search::PolishedFilters polished =
        search::PolishByDeflate(rows, starts, PolishBudgetOf(top, rows.bytes.size(), threads));
    if (polished.moves > 0) add("polished", polished.filters);
  }
  std::sort(list.begin(), list.end(), [](const Vector& a, const Vector& b) { return a.bits < b.bits; });
  for (Vector& v : list) v.bytes.resize(levels.size());
  search::ParallelFor(list.size() * levels.size(), threads, [&](size_t k) {
    Vector& v = list[k / levels.size()];
    const int level = levels[k % levels.size()];
    const std::vector<uint8_t> stream = search::FilteredStream(rows, v.filters);
    std::vector<uint8_t> zlib;
    v.bytes[k % levels.size()] = deflate::OptimalDeflate(stream.data(), stream.size(), OptimalSettingsOf(level), zlib);
  });
  std::vector<size_t> best(levels.size(), SIZE_MAX);
  for (size_t i = 0; i < list.size(); ++i) {
    std::printf("%2zu %-12s model %9.0f", i, list[i].name.c_str(), list[i].bits / 8);
    for (size_t l = 0; l < levels.size(); ++l) {
      best[l] = std::min(best[l], list[i].bytes[l]);
      std::printf("  L%d %8zu (best so far %8zu)", levels[l], list[i].bytes[l], best[l]);
    }
    std::printf("\n");
  }
  return 0;
}
