// An entry for callers that want the image data deflated by Brumlex's
// optimal parser (engine/deflate/OptimalDeflate.h) after the engine's run.
//
// The run itself is the engine's, unchanged: its colour choice, filters and
// pass loop decide the file.  The filtered bytes of the pass that wrote the
// file are kept as they enter the compressor; the optimal parser then
// deflates them again, and its stream replaces the run's IDAT data when it
// is smaller.  The level travels beside the job, never inside EncodeJob, so
// the record, the strategies 0-4 and the plug-in's runs stay exactly as
// they are.
#pragma once

#include <cstdint>

#include "engine/EngineContext.h"

// Runs gpo like OptimizePngWithRowFilters (rowFilters null: like
// OptimizePngInContext), then, with level 1..5, deflates the image data
// again at that optimal-parser level and keeps the smaller IDAT.  Returns
// the PNG's length in gpo->kbuf, or kEncodeFailed as the run does.  A file
// the run wrote with stored blocks (compression did not pay) is left as it
// is.
int OptimizePngWithOptimalDeflate(EngineContext& ctx, EncodeJob* gpo, const uint8_t* rowFilters, int level);
