// The encode job every benchmark starts from: the engine's own choices
// (filter, colour type, split threshold) and no progress text, so the
// benchmarks differ only in what they set on top.
#pragma once

#include "PngLoader.h"
#include "engine/EncodeJob.h"
#include "engine/RowFilterEntry.h"

namespace bench {

inline int Quiet(const char*, ...) { return 0; }

// Poll callback that ends a run once the analysis is done, leaving its
// unfiltered rows in the context.
inline int StopAtAnalysis(int checkpoint) { return checkpoint == 2 ? 1 : 0; }

inline EncodeJob DefaultJob(Pixels& px) {
  EncodeJob job{};
  job.pixels = px.words.data();
  job.stride = px.width * 4;
  job.width = px.width;
  job.height = px.height;
  job.filter = -1;
  job.colortype = -1;
  job.splitthreshold = 256.0;
  job.print = Quiet;
  return job;
}

// job after an analysis-only run in ctx: its colour type and palette are
// settled, and ctx holds its rows ready for TakeUnfilteredRows.
inline EncodeJob Analysed(EngineContext& ctx, EncodeJob job) {
  job.poll = StopAtAnalysis;
  OptimizePngInContext(ctx, &job);
  return job;
}

// The scanlines the engine would filter for job, for benchmarks that choose
// the row filters themselves.
inline UnfilteredRows AnalysedRows(EngineContext& ctx, const EncodeJob& job) {
  EncodeJob analysed = Analysed(ctx, job);
  return TakeUnfilteredRows(ctx, &analysed);
}

// An input file's pixels with the rows the engine would filter for them at
// its default settings.
struct AnalysedImage {
  Pixels px;
  UnfilteredRows rows;
};

// false when the file is not a PNG libpng can read; such files are skipped.
inline bool LoadAnalysed(EngineContext& ctx, const std::filesystem::path& file, AnalysedImage& out) {
  if (!LoadPng(file.string(), out.px)) return false;
  out.rows = AnalysedRows(ctx, DefaultJob(out.px));
  return true;
}

}  // namespace bench
