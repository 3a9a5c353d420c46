// The filter and palette-order search of the effort levels.
//
// The planner's colour alternatives (the engine's own choice and, for a
// palette image, its smallest true-colour type; for palettes also the
// entries in other orders, kept with keeppal) are analysed once each.  Every
// filter strategy of the level then proposes per-row filters for each of
// them, and the deflate cost model prices every proposal: a trial estimate
// that costs a fraction of one engine pass.  Only the cheapest proposals
// are written for real: framed by one quick engine pass for the optimal
// parser to deflate (cli/OptimalRedeflate.h), or, where the level or the
// user's choices keep the engine's stream, through its full pass loop.  The
// user's own run (the plug-in's choice) always stays in the plan, so no
// level writes a larger file than the single run would.  Estimates and
// runs use the -j threads.
#pragma once

#include <vector>

#include "cli/CliOptions.h"
#include "cli/EffortLevels.h"
#include "cli/EngineRun.h"
#include "cli/SourceImage.h"

// Replaces the planned alternatives (other than the first run and runs from
// random tables) by the best estimated filter proposals, when the level
// searches filters and the user has not fixed the filter.
void PlanFilterTrials(EngineContext& ctx, const SourceImage& image, const CliOptions& options,
                      const EffortLevel& level, const StopFlags& stop, std::vector<RunSettings>& runs);
