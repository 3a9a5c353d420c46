// What the genetic filter search buys over its best seed.
//
// For every PNG of a folder: the engine's analysis, every other filter
// strategy's answer (the seeds), then the genetic search at a given budget
// of estimates.  Per file: the cost model's bytes of the best seed and of
// the evolved vector, and the optimal parser's stream of both at the level
// the top effort level writes with (so the table shows whether what the
// model gains survives the real compressor), with the search's evaluations,
// generations and CPU seconds.
//
// Usage: filter_evolution [folder] [--evaluations N] [--level L] [--threads T] [--out FILE]

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "EngineJob.h"
#include "PngLoader.h"
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
  std::string out = std::string(VELKOR_SOURCE_DIR) + "/bench/results/filter_evolution.txt";
  search::EvolutionBudget budget;
  int level = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      out = argv[++i];
    } else if (std::strcmp(argv[i], "--evaluations") == 0 && i + 1 < argc) {
      budget.evaluations = std::atoi(argv[++i]);
      budget.generations = budget.evaluations;
    } else if (std::strcmp(argv[i], "--level") == 0 && i + 1 < argc) {
      level = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
      budget.threads = std::atoi(argv[++i]);
    } else {
      folder = argv[i];
    }
  }
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".png") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());

  std::ostringstream table;
  char line[512];
  std::snprintf(line, sizeof line,
                "file | best seed | model bytes seed | model bytes evolved | optimal L%d seed | optimal L%d evolved | "
                "evaluations | generations | search cpu s\n",
                level, level);
  table << line;
  std::fputs(line, stdout);
  double seedTotal = 0, evolvedTotal = 0;
  EngineContext ctx;
  for (const std::string& path : files) {
    bench::Pixels px;
    if (!bench::LoadPng(path, px)) continue;
    EncodeJob analysis = bench::DefaultJob(px);
    analysis.poll = bench::StopAtAnalysis;
    OptimizePngInContext(ctx, &analysis);
    const UnfilteredRows rows = TakeUnfilteredRows(ctx, &analysis);
    std::vector<std::vector<uint8_t>> seeds;
    size_t best = 0;
    double bestBits = 0;
    for (search::FilterStrategy s : search::kAllFilterStrategies) {
      if (s == search::FilterStrategy::Evolved) continue;
      seeds.push_back(search::ChooseRowFilters(rows, s));
      const double bits = search::ModelCost(rows, seeds.back());
      if (seeds.size() == 1 || bits < bestBits) {
        best = seeds.size() - 1;
        bestBits = bits;
      }
    }
    const double t0 = CpuSeconds();
    const search::EvolvedFilters evolved = search::EvolveFromSeeds(rows, seeds, budget);
    const double cpu = CpuSeconds() - t0;
    const size_t seedBytes = OptimalBytes(rows, seeds[best], level);
    const size_t evolvedBytes = OptimalBytes(rows, evolved.filters, level);
    seedTotal += double(seedBytes);
    evolvedTotal += double(evolvedBytes);
    std::snprintf(line, sizeof line, "%s | %s | %.0f | %.0f | %zu | %zu | %d | %d | %.2f\n",
                  std::filesystem::path(path).filename().c_str(),
                  search::FilterStrategyName(search::kAllFilterStrategies[best]), bestBits / 8, evolved.fitness / 8,
                  seedBytes, evolvedBytes, evolved.evaluations, evolved.generations, cpu);
    table << line;
    std::fputs(line, stdout);
    std::fflush(stdout);
  }
  std::snprintf(line, sizeof line, "\ntotal optimal L%d: best seed %.0f, evolved %.0f (%+.0f bytes)\n", level, seedTotal,
                evolvedTotal, evolvedTotal - seedTotal);
  table << line;
  std::fputs(line, stdout);
  std::ofstream(out) << table.str();
  return 0;
}
