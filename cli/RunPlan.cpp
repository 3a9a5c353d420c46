#include "cli/RunPlan.h"

#include <utility>

#include "cli/EffortLevels.h"
#include "cli/FileReport.h"
#include "cli/FilterTrials.h"

namespace {

constexpr size_t kSmallImageData = 64 * 1024;

RunSettings BaseSettings(const CliOptions& o, const EffortLevel& level) {
  RunSettings s;
  s.colortype = o.colortype;
  s.filter = o.filter;
  s.bitdepth = o.bitdepth;
  s.strategy = o.strategyGiven ? o.strategy : level.strategy;
  s.keeppal = o.keeppal ? 1 : 0;
  s.randomtables = o.randomtables ? 1 : 0;
  s.numblocks = o.numblocks;
  s.splitthreshold = o.splitthreshold;
  s.maxPasses = o.passes > 0 ? o.passes : level.maxPasses;
  return s;
}

// Analysis-only run: which colour type the engine settles on, or why the
// settings cannot work (the engine's own message).
RunResult Analyse(EngineContext& ctx, const SourceImage& image, RunSettings settings, const StopFlags& stop) {
  settings.analysisOnly = true;
  return RunEngine(ctx, image.AsRunInput(settings.keeppal != 0), settings, stop, nullptr, false);
}

// The smallest true-colour type the image fits, tried in order of bytes per
// pixel; -1 when none takes it (cannot happen: colour type 6 takes anything).
int SmallestTrueColorType(EngineContext& ctx, const SourceImage& image, const RunSettings& base,
                          const StopFlags& stop) {
  for (int type : {0, 4, 2, 6}) {
    RunSettings trial = base;
    trial.colortype = type;
    trial.keeppal = 0;
    if (Analyse(ctx, image, trial, stop).analysed) return type;
  }
  return -1;
}

void AddWithFilters(std::vector<RunSettings>& runs, RunSettings run, bool filterGiven, int alternativeFilter) {
  runs.push_back(run);
  if (!filterGiven) {
    run.filter = alternativeFilter;
    runs.push_back(run);
  }
}

}  // namespace

int OptimalLevelOf(const CliOptions& o) {
  if (o.strategyGiven || o.splitGiven || o.passes > 0) return 0;
  return kEffortLevels[o.effort].optimalLevel;
}

std::vector<int> WinnerOptimalLevelsOf(const CliOptions& o, size_t rawBytes) {
  const int optimal = OptimalLevelOf(o);
  const int last = kEffortLevels[o.effort].winnerOptimalLevel;
  if (optimal == 0 || last <= optimal) return {};
  std::vector<int> levels = {last};
  if (rawBytes <= kSmallImageData) {
    for (int level = 1; level < optimal; ++level) levels.push_back(level);
  }
  return levels;
}

WinnerRetrial WinnerRetrialOf(const CliOptions& o, size_t rawBytes) {
  const EffortLevel& level = kEffortLevels[o.effort];
  const int optimal = OptimalLevelOf(o);
  if (optimal == 0 || level.winnerRetrialCodeLevel == 0 || o.filterGiven) return {};
  WinnerRetrial retrial{level.winnerRetrialCodeLevel, std::max(level.winnerOptimalLevel, optimal), {{}},
                        level.winnerPlans, rawBytes > kSmallImageData};
  if (rawBytes <= kSmallImageData) {
    // Margin, window: on the 128 px icon of the samples 0 bits over two
    // rows wrote 10,661 bytes where the usual sweep wrote 10,674.
    for (const auto& [margin, window] : {std::pair{0.0, 2}, std::pair{8.0, 2}, std::pair{4.0, 6}}) {
      search::RetrialEffort more;
      more.marginBits = margin;
      more.windowRows = window;
      retrial.sweeps.push_back(more);
    }
  }
  return retrial;
}

RunSettings BaseRunSettings(const CliOptions& options) {
  return BaseSettings(options, kEffortLevels[options.effort]);
}

bool PlanRuns(EngineContext& ctx, const SourceImage& image, const CliOptions& o, const StopFlags& stop,
              std::vector<RunSettings>& runs, std::string& error) {
  runs.clear();
  const EffortLevel& level = kEffortLevels[o.effort];
  const RunSettings base = BaseSettings(o, level);
  const RunResult analysis = Analyse(ctx, image, base, stop);
  if (!analysis.analysed) {
    error = analysis.message.empty() ? "the engine cannot take this image" : analysis.message;
    return false;
  }
  if (base.strategy == 4) {
    runs.push_back(base);
    return true;
  }
  // The engine's default filter is None for palettes and adaptive otherwise;
  // the alternative is the other one.
  const bool palette = analysis.outcolortype == 3;
  AddWithFilters(runs, base, o.filterGiven || !level.tryFilter, palette ? 5 : 0);
  if (level.tryTrueColor && palette && !o.colortypeGiven && (base.bitdepth == 0 || base.bitdepth == 8)) {
    RunSettings trueColor = base;
    trueColor.colortype = SmallestTrueColorType(ctx, image, base, stop);
    trueColor.keeppal = 0;
    trueColor.bitdepth = 0;
    if (trueColor.colortype >= 0) {
      trueColor.filter = o.filterGiven ? o.filter : 5;
      AddWithFilters(runs, trueColor, o.filterGiven || !level.tryFilter, 0);
    }
  }
  if (level.tryOneBlock && !o.splitGiven && base.splitthreshold > 0.0) {
    RunSettings oneBlock = base;
    oneBlock.splitthreshold = 0.0;
    runs.push_back(oneBlock);
  }
  const int trials = o.trials >= 0 ? o.trials : RandomTrials(level, image.pixels.size() * 4);
  if (!o.randomGiven && base.strategy < 3) {
    for (int i = 0; i < trials; ++i) {
      RunSettings random = runs[i % runs.size()];
      random.randomtables = 1;
      runs.push_back(random);
    }
  }
  PlanFilterTrials(ctx, image, o, level, stop, runs);
  return true;
}

std::string DescribeRun(const RunSettings& run) {
  std::string text;
  auto add = [&](const std::string& flag) { text += (text.empty() ? "" : " ") + flag; };
  if (run.recompress) add("recompress");
  if (run.colortype >= 0) add("-c " + std::to_string(run.colortype));
  if (run.filter >= 0) add("-f " + std::to_string(run.filter));
  if (run.bitdepth > 0) add("-d " + std::to_string(run.bitdepth));
  if (run.keeppal) add("-kp");
  add("-s " + std::to_string(run.strategy));
  if (run.numblocks > 0) {
    add("-n " + std::to_string(run.numblocks));
  } else if (run.splitthreshold <= 0.0) {
    add("-b 0");
  }
  if (run.randomtables) add("--random-tables");
  if (!run.rowFilterStrategy.empty()) add("rows " + run.rowFilterStrategy);
  return text;
}

std::string DescribeTrial(const RunSettings& run, const RunResult& result) {
  static const char* const kFilters[] = {"None", "Sub", "Up", "Average", "Paeth", "adaptive"};
  static const char* const kStrategies[] = {"Xtreme!", "Intense", "Longest match", "Huffman only", "No compression"};
  std::string text;
  if (run.recompress) {
    text = "image data recompressed, rows unchanged";
  } else {
    text = ColorTypeWords(result.outcolortype) + ", " + std::to_string(result.outbitdepth) + "-bit";
    if (result.outfilter >= 0 && result.outfilter <= 5) text += std::string(", filter ") + kFilters[result.outfilter];
    if (run.keeppal) text += ", palette kept";
  }
  if (result.redeflated) {
    // The optimal parser chose the blocks and the parse.
    text += ", optimal parser";
  } else if (run.numblocks > 0) {
    text += ", " + std::to_string(run.numblocks) + " blocks";
  } else {
    text += run.splitthreshold > 0.0 ? ", blocks split" : ", one block";
  }
  if (!result.redeflated && run.strategy >= 0 && run.strategy <= 4) text += std::string(", ") + kStrategies[run.strategy];
  if (run.randomtables) text += ", random start tables";
  if (!run.rowFilterStrategy.empty()) text += ", row filters " + run.rowFilterStrategy;
  return text;
}
