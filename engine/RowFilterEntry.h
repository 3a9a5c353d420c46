// An entry for callers that choose the scanline filters themselves.
//
// The command-line tool searches for better per-row filters than the
// engine's own choice: it analyses a job once (analysis-only run), takes the
// unfiltered scanlines exactly as the engine would filter them, picks a
// filter type per row, and hands the choice back for the real run.  The
// choice travels beside the job, never inside EncodeJob, so the record and
// the plug-in's runs stay exactly as they are.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/EngineContext.h"

// The scanlines of a job as the engine filters them, without filter bytes.
struct UnfilteredRows {
  int rowBytes = 0;      // bytes of one row
  int filterStride = 0;  // bytes a filter looks back by (1 for packed indices)
  int height = 0;
  std::vector<uint8_t> bytes;  // rowBytes * height

  const uint8_t* Row(int y) const { return bytes.data() + size_t(y) * size_t(rowBytes); }
};

// The rows of gpo's image in the colour type, bit depth and palette order
// the last run in ctx settled on; ctx must have passed the analysis of a run
// of this same image (an analysis-only run is enough).
UnfilteredRows TakeUnfilteredRows(EngineContext& ctx, EncodeJob* gpo);

// Runs gpo like OptimizePngInContext, except that row y is filtered with
// rowFilters[y] (0 None .. 4 Paeth; height entries) whatever gpo's filter
// says.  A row type above 4 fails the run with "\rRow filter %d not
// supported\n".
int OptimizePngWithRowFilters(EngineContext& ctx, EncodeJob* gpo, const uint8_t* rowFilters);
