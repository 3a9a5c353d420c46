// Filter strategies and trial estimates, measured against the real result.
//
// For every PNG of a folder: the engine's analysis, then each filter
// strategy of the search; per strategy the cost model's estimate (bits of
// the filtered stream), one engine pass with strategy 1 and one block (the
// second estimate) and the full engine run (strategy 0, default split) with
// the strategy's row filters.  Besides the table of bytes it reports, per
// estimate, how often its best strategy is the real best and how many bytes
// trusting it (or its best two) loses.  CPU seconds are this process's
// user + system time per step.
//
// Usage: filter_strategies [folder] [--out FILE]

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

namespace {

int g_passLimit = 0;
int StopAfterPasses(int checkpoint) { return checkpoint == 0 && g_passLimit > 0 ? 1 : 0; }

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int Encode(EngineContext& ctx, bench::Pixels& px, const std::vector<uint8_t>& filters, int strategy,
           double split, int passes) {
  EncodeJob job = bench::DefaultJob(px);
  job.strategy = strategy;
  job.splitthreshold = split;
  g_passLimit = passes;
  job.poll = StopAfterPasses;
  const int bytes = OptimizePngWithRowFilters(ctx, &job, filters.data());
  FreeEncodeBuffer(job.kbuf);
  return bytes;
}

struct Row {
  search::FilterStrategy strategy;
  double modelBits = 0, onePass = 0, full = 0;
  double searchCpu = 0, fullCpu = 0;
};

}  // namespace

int main(int argc, char** argv) {
  std::string folder = "/work/shared/corpus/samples";
  std::string out = std::string(VELKOR_SOURCE_DIR) + "/bench/results/filter_strategies.txt";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      out = argv[++i];
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
  table << "file | strategy | model bits/8 | one pass | full | search cpu s | full cpu s\n";
  int files_ = 0, modelHits = 0, passHits = 0;
  double totalBest = 0, modelLoss1 = 0, modelLoss2 = 0, passLoss1 = 0, passLoss2 = 0;
  std::vector<int> wins(std::size(search::kAllFilterStrategies), 0);
  EngineContext ctx;
  for (const std::string& path : files) {
    bench::Pixels px;
    if (!bench::LoadPng(path, px)) continue;
    EncodeJob analysis = bench::DefaultJob(px);
    analysis.poll = bench::StopAtAnalysis;
    OptimizePngInContext(ctx, &analysis);
    const UnfilteredRows rows = TakeUnfilteredRows(ctx, &analysis);
    std::vector<Row> results;
    for (search::FilterStrategy s : search::kAllFilterStrategies) {
      Row r{s};
      double t0 = CpuSeconds();
      const std::vector<uint8_t> filters = search::ChooseRowFilters(rows, s);
      r.modelBits = search::ModelCost(rows, filters) / 8;
      r.searchCpu = CpuSeconds() - t0;
      r.onePass = Encode(ctx, px, filters, 1, 0.0, 1);
      t0 = CpuSeconds();
      r.full = Encode(ctx, px, filters, 0, 256.0, 0);
      r.fullCpu = CpuSeconds() - t0;
      results.push_back(r);
      char line[256];
      std::snprintf(line, sizeof line, "%s | %s | %.0f | %.0f | %.0f | %.3f | %.3f\n",
                    std::filesystem::path(path).filename().c_str(), search::FilterStrategyName(s), r.modelBits,
                    r.onePass, r.full, r.searchCpu, r.fullCpu);
      table << line;
      std::fputs(line, stdout);
      std::fflush(stdout);
    }
    auto bestBy = [&results](double Row::*field, int rank) {
      std::vector<size_t> order(results.size());
      for (size_t i = 0; i < order.size(); ++i) order[i] = i;
      std::stable_sort(order.begin(), order.end(),
                       [&](size_t a, size_t b) { return results[a].*field < results[b].*field; });
      double best = results[order[0]].full;
      for (int k = 1; k < rank; ++k) best = std::min(best, results[order[size_t(k)]].full);
      return std::make_pair(order[0], best);
    };
    const auto [truth, best] = bestBy(&Row::full, 1);
    ++wins[truth];
    ++files_;
    totalBest += best;
    const auto m1 = bestBy(&Row::modelBits, 1), m2 = bestBy(&Row::modelBits, 2);
    const auto p1 = bestBy(&Row::onePass, 1), p2 = bestBy(&Row::onePass, 2);
    modelHits += results[m1.first].full == best;
    passHits += results[p1.first].full == best;
    modelLoss1 += m1.second - best;
    modelLoss2 += m2.second - best;
    passLoss1 += p1.second - best;
    passLoss2 += p2.second - best;
  }
  table << "\nwins (smallest full result; ties to the earlier strategy):";
  for (size_t i = 0; i < wins.size(); ++i) {
    table << " " << search::FilterStrategyName(search::kAllFilterStrategies[i]) << " " << wins[i];
  }
  char summary[512];
  std::snprintf(summary, sizeof summary,
                "\nfiles %d, best total %.0f bytes\n"
                "estimate      | top-1 right | bytes lost trusting top 1 | top 2\n"
                "cost model    | %d | %.0f | %.0f\n"
                "one pass (s1) | %d | %.0f | %.0f\n",
                files_, totalBest, modelHits, modelLoss1, modelLoss2, passHits, passLoss1, passLoss2);
  table << summary;
  std::fputs(summary, stdout);
  std::ofstream(out) << table.str();
  return 0;
}
