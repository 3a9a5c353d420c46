// What the genetic filter search and the polishing moves buy over the best
// seed.
//
// For every PNG of a folder: the engine's analysis, every other filter
// strategy's answer (the seeds), the genetic search at a given budget of
// estimates, then the polishing moves from the evolved vector and the best
// seed at a given budget of deflates.  Per file: the cost model's bytes of
// the best seed and of the evolved vector, and the optimal parser's stream
// of the best seed, the evolved and the polished vector at a given level
// (so the table shows whether what the model gains survives the real
// compressor), with the evaluations, generations, moves and CPU seconds.
//
// Budgets are the top effort level's for each image unless given.
//
// Usage: filter_evolution [folder] [--evaluations N] [--polish N] [--level L] [--threads T] [--write-results | --out FILE]

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "EngineJob.h"
#include "PngLoader.h"
#include "ResultsFile.h"
#include "cli/EffortLevels.h"
#include "cli/search/FilterSearch.h"
#include "engine/RowFilterEntry.h"
#include "engine/deflate/OptimalDeflate.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

size_t OptimalBytes(const UnfilteredRows& rows, const std::vector<uint8_t>& filters, int level) {
  const std::vector<uint8_t> stream = search::FilteredStream(rows, filters);
  std::vector<uint8_t> zlib;
  return deflate::OptimalDeflate(stream.data(), stream.size(), deflate::OptimalLevelSettings(level), zlib);
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = "/work/shared/corpus/samples";
  bench::ResultsFile resultsFile;
  search::EvolutionBudget budget;
  search::PolishBudget polish;
  int evaluations = 0, polishes = 0, threads = 2;
  int level = 5;
  for (int i = 1; i < argc; ++i) {
    if (resultsFile.TakeOption(argc, argv, i)) continue;
    if (std::strcmp(argv[i], "--evaluations") == 0 && i + 1 < argc) {
      evaluations = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--polish") == 0 && i + 1 < argc) {
      polishes = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--level") == 0 && i + 1 < argc) {
      level = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
      threads = std::atoi(argv[++i]);
    } else {
      folder = argv[i];
    }
  }
  const std::vector<std::filesystem::path> files = bench::PngFilesIn(folder);

  std::ostringstream table;
  char line[512];
  std::snprintf(line, sizeof line,
                "file | best seed | model bytes seed | model bytes evolved | optimal L%d seed | optimal L%d evolved | "
                "optimal L%d polished | evaluations | generations | moves | evolve cpu s | polish cpu s\n",
                level, level, level);
  table << line;
  std::fputs(line, stdout);
  double seedTotal = 0, evolvedTotal = 0, polishedTotal = 0;
  EngineContext ctx;
  for (const std::filesystem::path& file : files) {
    bench::AnalysedImage image;
    if (!bench::LoadAnalysed(ctx, file, image)) continue;
    const UnfilteredRows& rows = image.rows;
    std::vector<std::vector<uint8_t>> seeds;
    size_t best = 0;
    double bestBits = 0;
    for (search::FilterStrategy s : search::kAllFilterStrategies) {
      if (s == search::FilterStrategy::Evolved || s == search::FilterStrategy::Polished) continue;
      seeds.push_back(search::ChooseRowFilters(rows, s));
      const double bits = search::ModelCost(rows, seeds.back());
      if (seeds.size() == 1 || bits < bestBits) {
        best = seeds.size() - 1;
        bestBits = bits;
      }
    }
    const EffortLevel& top = kEffortLevels[kEffortLevelCount - 1];
    budget = EvolutionBudgetOf(top, rows.bytes.size(), threads);
    if (evaluations > 0) budget.evaluations = budget.generations = evaluations;
    polish = PolishBudgetOf(top, rows.bytes.size(), threads);
    if (polishes > 0) polish.evaluations = polishes;
    const double t0 = CpuSeconds();
    const search::EvolvedFilters evolved = search::EvolveFromSeeds(rows, seeds, budget);
    const double cpu = CpuSeconds() - t0;
    const double t1 = CpuSeconds();
    const search::PolishedFilters polished = search::PolishByDeflate(rows, {evolved.filters, seeds[best]}, polish);
    const double polishCpu = CpuSeconds() - t1;
    const size_t seedBytes = OptimalBytes(rows, seeds[best], level);
    const size_t evolvedBytes = OptimalBytes(rows, evolved.filters, level);
    const size_t polishedBytes = OptimalBytes(rows, polished.filters, level);
    seedTotal += double(seedBytes);
    evolvedTotal += double(evolvedBytes);
    polishedTotal += double(polishedBytes);
    std::snprintf(line, sizeof line, "%s | %s | %.0f | %.0f | %zu | %zu | %zu | %d | %d | %d | %.2f | %.2f\n",
                  file.filename().c_str(),
                  search::FilterStrategyName(search::kAllFilterStrategies[best]), bestBits / 8, evolved.fitness / 8,
                  seedBytes, evolvedBytes, polishedBytes, evolved.evaluations, evolved.generations, polished.moves, cpu,
                  polishCpu);
    table << line;
    std::fputs(line, stdout);
    std::fflush(stdout);
  }
  std::snprintf(line, sizeof line,
                "\ntotal optimal L%d: best seed %.0f, evolved %.0f (%+.0f bytes), polished %.0f (%+.0f bytes)\n", level,
                seedTotal, evolvedTotal, evolvedTotal - seedTotal, polishedTotal, polishedTotal - seedTotal);
  table << line;
  std::fputs(line, stdout);
  if (!resultsFile.Write(table.str(), bench::FolderTableName("filter_evolution", folder))) return 1;
  return 0;
}
