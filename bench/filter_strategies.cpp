// Filter strategies and trial estimates, measured against the real result.
//
// For every PNG of a folder: the engine's analysis, then each filter
// strategy of the search; per strategy the cost model's estimate (bits of
// the filtered stream), one engine pass with strategy 1 and one block (the
// second estimate), the full engine run (strategy 0, default split) with
// the strategy's row filters, and the optimal parser's stream of the same
// rows (its level 3, which the command's default level writes).  Besides
// the table of bytes it reports, per estimate, how often its best strategy
// is the real best and how many bytes trusting it (or its best two) loses,
// against either result.  CPU seconds are this process's user + system time
// per step.
//
// Usage: filter_strategies [folder] [--write-results | --out FILE]

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
#include "cli/search/FilterSearch.h"
#include "engine/RowFilterEntry.h"
#include "engine/deflate/OptimalDeflate.h"

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
  double modelBits = 0, onePass = 0, full = 0, optimal = 0;
  double searchCpu = 0, fullCpu = 0, optimalCpu = 0;
};

// How an estimate does against one of the real results.
struct Score {
  int hits = 0;
  double loss1 = 0, loss2 = 0;
};

}  // namespace

int main(int argc, char** argv) {
  std::string folder = "/work/shared/corpus/samples";
  bench::ResultsFile resultsFile;
  for (int i = 1; i < argc; ++i) {
    if (!resultsFile.TakeOption(argc, argv, i)) {
      folder = argv[i];
    }
  }
  const std::vector<std::filesystem::path> files = bench::PngFilesIn(folder);

  std::ostringstream table;
  table << "file | strategy | model bits/8 | one pass | full | optimal zlib | search cpu s | full cpu s | optimal cpu s\n";
  int files_ = 0;
  double totalBest = 0, totalOptimal = 0;
  Score modelFull, passFull, modelOptimal, passOptimal;
  std::vector<int> wins(std::size(search::kAllFilterStrategies), 0);
  std::vector<int> optimalWins(std::size(search::kAllFilterStrategies), 0);
  EngineContext ctx;
  for (const std::filesystem::path& file : files) {
    bench::AnalysedImage image;
    if (!bench::LoadAnalysed(ctx, file, image)) continue;
    const UnfilteredRows& rows = image.rows;
    std::vector<Row> results;
    for (search::FilterStrategy s : search::kAllFilterStrategies) {
      Row r{s};
      double t0 = CpuSeconds();
      const std::vector<uint8_t> filters = search::ChooseRowFilters(rows, s);
      r.modelBits = search::ModelCost(rows, filters) / 8;
      r.searchCpu = CpuSeconds() - t0;
      r.onePass = Encode(ctx, image.px, filters, 1, 0.0, 1);
      t0 = CpuSeconds();
      r.full = Encode(ctx, image.px, filters, 0, 256.0, 0);
      r.fullCpu = CpuSeconds() - t0;
      t0 = CpuSeconds();
      const std::vector<uint8_t> stream = search::FilteredStream(rows, filters);
      std::vector<uint8_t> zlib;
      r.optimal = double(deflate::OptimalDeflate(stream.data(), stream.size(), deflate::OptimalLevelSettings(3), zlib));
      r.optimalCpu = CpuSeconds() - t0;
      results.push_back(r);
      char line[320];
      std::snprintf(line, sizeof line, "%s | %s | %.0f | %.0f | %.0f | %.0f | %.3f | %.3f | %.3f\n",
                    file.filename().c_str(), search::FilterStrategyName(s), r.modelBits,
                    r.onePass, r.full, r.optimal, r.searchCpu, r.fullCpu, r.optimalCpu);
      table << line;
      std::fputs(line, stdout);
      std::fflush(stdout);
    }
    // The estimate's favourite (and the best real result among its top
    // `rank`) judged by the real result in `truth`.
    auto bestBy = [&results](double Row::*field, double Row::*truth, int rank) {
      std::vector<size_t> order(results.size());
      for (size_t i = 0; i < order.size(); ++i) order[i] = i;
      std::stable_sort(order.begin(), order.end(),
                       [&](size_t a, size_t b) { return results[a].*field < results[b].*field; });
      double best = results[order[0]].*truth;
      for (int k = 1; k < rank; ++k) best = std::min(best, results[order[size_t(k)]].*truth);
      return std::make_pair(order[0], best);
    };
    auto score = [&](double Row::*estimate, double Row::*truth, Score& s) {
      const double best = bestBy(truth, truth, 1).second;
      const auto top1 = bestBy(estimate, truth, 1), top2 = bestBy(estimate, truth, 2);
      s.hits += results[top1.first].*truth == best;
      s.loss1 += top1.second - best;
      s.loss2 += top2.second - best;
    };
    const auto [truth, best] = bestBy(&Row::full, &Row::full, 1);
    const auto [optimalTruth, optimalBest] = bestBy(&Row::optimal, &Row::optimal, 1);
    ++wins[truth];
    ++optimalWins[optimalTruth];
    ++files_;
    totalBest += best;
    totalOptimal += optimalBest;
    score(&Row::modelBits, &Row::full, modelFull);
    score(&Row::onePass, &Row::full, passFull);
    score(&Row::modelBits, &Row::optimal, modelOptimal);
    score(&Row::onePass, &Row::optimal, passOptimal);
  }
  auto winLine = [&table](const char* title, const std::vector<int>& counts) {
    table << title;
    for (size_t i = 0; i < counts.size(); ++i) {
      table << " " << search::FilterStrategyName(search::kAllFilterStrategies[i]) << " " << counts[i];
    }
    table << "\n";
  };
  table << "\n";
  winLine("wins, full engine loop (ties to the earlier strategy):", wins);
  winLine("wins, optimal parser (ties to the earlier strategy):", optimalWins);
  char summary[768];
  std::snprintf(summary, sizeof summary,
                "\nfiles %d, best total %.0f bytes (engine loop), %.0f bytes (optimal parser zlib)\n"
                "estimate      | judged by     | top-1 right | bytes lost trusting top 1 | top 2\n"
                "cost model    | engine loop   | %d | %.0f | %.0f\n"
                "one pass (s1) | engine loop   | %d | %.0f | %.0f\n"
                "cost model    | optimal zlib  | %d | %.0f | %.0f\n"
                "one pass (s1) | optimal zlib  | %d | %.0f | %.0f\n",
                files_, totalBest, totalOptimal, modelFull.hits, modelFull.loss1, modelFull.loss2, passFull.hits,
                passFull.loss1, passFull.loss2, modelOptimal.hits, modelOptimal.loss1, modelOptimal.loss2,
                passOptimal.hits, passOptimal.loss1, passOptimal.loss2);
  table << summary;
  std::fputs(summary, stdout);
  if (!resultsFile.Write(table.str(), bench::FolderTableName("filter_strategies", folder))) return 1;
  return 0;
}
