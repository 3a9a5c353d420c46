// What planning an image's rows under several restart seeds buys when the
// stream is written from the cheapest blocks of all the plans
// (deflate::OptimalDeflateCombined), on files velkor has already written.
//
// For each PNG: the IDAT stream's bytes as found, each seed's own stream,
// the combined stream, and the CPU seconds of all the plans.
//
// Usage: seed_plans [--level L] [--runs N] [--first-salt S] [--plans L:S,...] [--threads T]
//                   [--fixed N] [--union] [--explore L[:N]] PNG...
//   --level    the optimal parser's level as velkor's command line counts
//              them (1..7; 7 is what -o max writes its winner with).
//   --plans    the plans as level:salt pairs instead of --runs plans of one
//              level under salts from --first-salt on.
//   --fixed    N more plans of the first plan's settings under the next
//              salts, held to the combined stream's boundaries, so every
//              block can be taken from any of them.
//   --union    one more plan cut at every boundary of all the plans.
//   --explore  N plans at the cheaper level L, their cheapest cover's
//              boundaries planned again at the plans' settings.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "cli/OptimalRedeflate.h"
#include "cli/PngFileScan.h"
#include "cli/PngImageData.h"
#include "cli/search/ParallelFor.h"

namespace {

double CpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

int main(int argc, char** argv) {
  int level = 7;
  int runs = 4;
  int threads = 1;
  uint32_t firstSalt = 0;
  std::vector<std::string> files;
  std::vector<std::pair<int, uint32_t>> pairs;
  int exploreLevel = 5;
  int exploreRuns = 0;
  bool unionCuts = false;
  int fixedRuns = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--level" && i + 1 < argc) level = std::atoi(argv[++i]);
    else if (arg == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--first-salt" && i + 1 < argc) firstSalt = uint32_t(std::atol(argv[++i]));
    else if (arg == "--threads" && i + 1 < argc) threads = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--union") unionCuts = true;
    else if (arg == "--fixed" && i + 1 < argc) fixedRuns = std::atoi(argv[++i]);
    else if (arg == "--explore" && i + 1 < argc) {
      char* end = nullptr;
      exploreLevel = int(std::strtol(argv[++i], &end, 10));
      exploreRuns = *end == ':' ? std::atoi(end + 1) : 4;
    } else if (arg == "--plans" && i + 1 < argc) {
      for (const char* p = argv[++i]; *p;) {
        char* end = nullptr;
        const int planLevel = int(std::strtol(p, &end, 10));
        const uint32_t salt = *end == ':' ? uint32_t(std::strtoul(end + 1, &end, 10)) : 0;
        pairs.push_back({planLevel, salt});
        p = *end == ',' ? end + 1 : end;
        if (end == p && *p) break;
      }
    }
    else files.push_back(arg);
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: seed_plans [--level L] [--runs N] [--first-salt S] [--plans L:S,...] [--threads T]\n"
                         "                  [--fixed N] [--union] [--explore L[:N]] PNG...\n");
    return 2;
  }
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> png{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const PngFileScan scan = ScanPngFile(png.data(), png.size());
    std::vector<DataStream> streams;
    std::vector<uint8_t> rows;
    if (!InflateStillImageData(png.data(), scan, streams, rows)) {
      std::printf("%s: no single IDAT stream\n", file.c_str());
      continue;
    }
    const size_t idat = DataStreamBytes(scan, streams[0]);
    std::vector<deflate::OptimalSettings> settings;
    for (int k = 0; k < runs && pairs.empty(); ++k) {
      settings.push_back(OptimalSettingsOf(level));
      settings.back().seedSalt = firstSalt + uint32_t(k);
    }
    for (const auto& [planLevel, salt] : pairs) {
      settings.push_back(OptimalSettingsOf(planLevel));
      settings.back().seedSalt = salt;
    }
    const double start = CpuSeconds();
    std::vector<deflate::OptimalPlan> plans(settings.size());
    search::ParallelFor(settings.size(), threads,
                        [&](size_t k) { plans[k] = deflate::PlanOptimal(rows.data(), rows.size(), settings[k]); });
    std::vector<uint8_t> zlib;
    std::printf("%s: IDAT %zu, runs", file.substr(file.rfind('/') + 1).c_str(), idat);
    std::vector<const deflate::OptimalPlan*> all;
    for (const deflate::OptimalPlan& plan : plans) {
      all.push_back(&plan);
      std::printf(" %zu", deflate::WritePlan(rows.data(), rows.size(), plan, zlib));
    }
    deflate::OptimalPlan combined = deflate::CheapestOf(all);
    std::printf(", combined %zu (%zu blocks), %.1f cpu s\n", deflate::WritePlan(rows.data(), rows.size(), combined, zlib),
                combined.Cuts().size() - 1, CpuSeconds() - start);
    std::fflush(stdout);
    if (fixedRuns > 0) {
      // Where the plans cut apart, only their shared cuts let the stream
      // switch; held to one set of cuts, every block is anyone's.
      const std::vector<size_t> cuts = combined.Cuts();
      std::vector<deflate::OptimalPlan> fixed(static_cast<size_t>(fixedRuns));
      search::ParallelFor(fixed.size(), threads, [&](size_t k) {
        deflate::OptimalSettings s = settings[0];
        s.seedSalt = firstSalt + uint32_t(settings.size() + k);
        fixed[k] = deflate::PlanOptimal(rows.data(), rows.size(), s, &cuts);
      });
      std::vector<const deflate::OptimalPlan*> withFixed = {&combined};
      std::printf("  at the combined cuts:");
      for (const deflate::OptimalPlan& plan : fixed) {
        withFixed.push_back(&plan);
        std::printf(" %zu", deflate::WritePlan(rows.data(), rows.size(), plan, zlib));
        std::printf(" (all so far %zu)", deflate::WritePlan(rows.data(), rows.size(), deflate::CheapestOf(withFixed), zlib));
      }
      std::printf(", %.1f cpu s\n", CpuSeconds() - start);
      std::fflush(stdout);
    }
    if (unionCuts) {
      // Every plan's boundaries together, planned at the first plan's
      // settings: short blocks that join one plan's cuts to another's.
      std::vector<size_t> cuts;
      for (const deflate::OptimalPlan& plan : plans) {
        const std::vector<size_t> own = plan.Cuts();
        cuts.insert(cuts.end(), own.begin(), own.end());
      }
      std::sort(cuts.begin(), cuts.end());
      cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
      static std::vector<deflate::OptimalPlan> unions;
      unions.clear();
      unions.resize(1);
      unions[0] = deflate::PlanOptimal(rows.data(), rows.size(), settings[0], &cuts);
      all.push_back(&unions[0]);
      std::printf("  union of %zu blocks: %zu; all combined %zu, %.1f cpu s\n", cuts.size() - 1,
                  deflate::WritePlan(rows.data(), rows.size(), unions[0], zlib),
                  deflate::WritePlan(rows.data(), rows.size(), deflate::CheapestOf(all), zlib), CpuSeconds() - start);
      std::fflush(stdout);
    }
    if (exploreRuns > 0) {
      // Cheap plans under several salts, their cheapest cover's boundaries
      // planned again at the level, and that plan combined with the rest.
      std::vector<deflate::OptimalPlan> cheap(static_cast<size_t>(exploreRuns));
      search::ParallelFor(cheap.size(), threads, [&](size_t k) {
        deflate::OptimalSettings s = OptimalSettingsOf(exploreLevel);
        s.seedSalt = uint32_t(k);
        cheap[k] = deflate::PlanOptimal(rows.data(), rows.size(), s);
      });
      std::vector<const deflate::OptimalPlan*> cheapAll;
      std::printf("  explore level %d:", exploreLevel);
      for (const deflate::OptimalPlan& plan : cheap) {
        cheapAll.push_back(&plan);
        std::printf(" %zu", deflate::WritePlan(rows.data(), rows.size(), plan, zlib));
      }
      const deflate::OptimalPlan cheapest = deflate::CheapestOf(cheapAll);
      const std::vector<size_t> cuts = cheapest.Cuts();
      std::printf(", combined %zu (%zu blocks)", deflate::WritePlan(rows.data(), rows.size(), cheapest, zlib),
                  cuts.size() - 1);
      std::vector<deflate::OptimalPlan> recut(settings.size());
      search::ParallelFor(recut.size(), threads,
                          [&](size_t k) { recut[k] = deflate::PlanOptimal(rows.data(), rows.size(), settings[k], &cuts); });
      std::printf("; its cuts at the plans' settings:");
      for (const deflate::OptimalPlan& plan : recut) {
        all.push_back(&plan);
        std::printf(" %zu", deflate::WritePlan(rows.data(), rows.size(), plan, zlib));
      }
      std::printf("; all combined %zu, %.1f cpu s\n",
                  deflate::WritePlan(rows.data(), rows.size(), deflate::CheapestOf(all), zlib), CpuSeconds() - start);
      std::fflush(stdout);
    }
  }
  return 0;
}
