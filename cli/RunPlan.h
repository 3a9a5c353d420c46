// Which engine runs an input gets, by effort level (cli/EffortLevels.h).
//
// Level 1 is one run with the user's options, as the plug-in saves.  Level 2
// also runs what a user would otherwise try by hand and keeps the smallest
// file:
// for an image that fits a palette, the smallest true-colour type as well
// (a small icon with many colours is often smaller as RGBA than with a long
// PLTE and tRNS), filter None as well as adaptive, and the whole stream as
// one block as well as split where its statistics change (the split's
// estimate is an order-0 guess and loses on many screenshots and icons).
// Higher levels add runs
// from random start tables.  Choices the user made explicitly are never varied.
#pragma once

#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/EngineRun.h"
#include "cli/SourceImage.h"
#include "cli/search/RowRetrial.h"

// The runs for one input.  Uses ctx for quick analysis-only runs.  False with
// the engine's reason when the image cannot take the requested options.
bool PlanRuns(EngineContext& ctx, const SourceImage& image, const CliOptions& options, const StopFlags& stop,
              std::vector<RunSettings>& runs, std::string& error);

// The optimal parser's level for this run of the command (cli/OptimalRedeflate.h),
// or 0: the effort level's, unless the user chose the parse, the block split
// or a pass limit, which the optimal parser would not respect.
int OptimalLevelOf(const CliOptions& options);

// The optimal parser's levels for the winning file's last deflates, each
// kept when smaller: the effort level's winnerOptimalLevel, under the same
// conditions as OptimalLevelOf; for image data of at most 64 KB (rawBytes
// unfiltered) also every cheaper level, since the levels do not order a
// small stream's sizes by their effort (an icon's rows: 577 bytes at
// levels 1 to 3, 580 at 5) and they cost next to nothing there.
std::vector<int> WinnerOptimalLevelsOf(const CliOptions& options, size_t rawBytes);

// The optimal parser level whose codes the winning file's row filters are
// chosen again under (ImageDataRedeflate::WithRetriedFilters), the level
// the retried rows are then deflated at, and the sweeps: one for most
// images; for image data of at most 64 KB (rawBytes unfiltered) a few
// more with smaller margins and a wider window, each a second or so there,
// whose vectors the optimal parser ranks by a few bytes either way.  No
// sweeps when the effort level does not retry the filters or the winner's
// last deflates do not run.
struct WinnerRetrial {
  int codeLevel = 0;
  int level = 0;
  std::vector<search::RetrialEffort> sweeps;
  int plans = 1;  // of a large image's retried rows' deflate (EffortLevel::winnerPlans)
  // A large image's rows are not deflated at `level` before the sweeps:
  // the retried rows' stream nearly always replaces that one (a photo's
  // by a few hundred bytes), so the time goes to the plans of the rows
  // that are written last: the retried ones, or the rows as they are when
  // the retried rows do not replace the stream.
  bool replacesLevel = false;
};
WinnerRetrial WinnerRetrialOf(const CliOptions& options, size_t rawBytes);

// The user's run at the chosen effort level, before any alternative.
RunSettings BaseRunSettings(const CliOptions& options);

// A run's choices as the flags that ask for them ("-c 3 -f 0 -d 4 -s 0"),
// labelling verbose engine messages.
std::string DescribeRun(const RunSettings& run);

// The winning run in words: "palette, 4-bit, filter None, one block,
// Xtreme!".
std::string DescribeTrial(const RunSettings& run, const RunResult& result);
