// Kept rows filtered afresh.
//
// A 16-bit image the engine cannot write keeps its samples, but nothing
// obliges it to keep its source's filters or interlacing: most writers filter
// 16-bit rows poorly and interlacing costs a fifth or more.  The rows are
// unfiltered (an interlaced image's passes put back in place), every filter
// strategy of the search proposes per-row filters, the cost model ranks the
// proposals, and the best few are compressed for real.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/EngineRun.h"
#include "cli/PngImageData.h"

struct RefilteredRows {
  std::vector<uint8_t> zlib;  // the smallest stream made; empty when none
  std::string strategy;       // the search strategy that made it
};

// Refilters the stream's rows (layout, filtered as inflated) with the
// filter search of the settings' rowSearchEffort, compressing its best
// proposals (FullTrials) with the optimal parser at the settings'
// redeflateLevel, or else the engine's compressor with the settings'
// strategy, split and passes.  False when stopped; true with
// an empty result when the rows cannot be refiltered (pixels below a byte).
bool RefilterRows(EngineContext& ctx, const ImageLayout& layout, const std::vector<uint8_t>& filtered,
                  const RunSettings& settings, const StopFlags& stop, RunProgress* progress, RefilteredRows& best);
