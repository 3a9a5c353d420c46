// The two engine entries every search suite goes through: the analysis
// alone (stopped at its checkpoint, rows taken unfiltered), and a whole run
// with one filter per row chosen by the caller.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/EncodeJob.h"
#include "engine/EngineRunSupport.h"
#include "engine/RowFilterEntry.h"

namespace searchtest {

inline int StopAtAnalysis(int checkpoint) { return checkpoint == 2 ? 1 : 0; }

// The rows the analysis settled on; the job (colour type, depth, palette) as
// it left it in *analysed.
inline UnfilteredRows AnalysedRows(EngineContext& ctx, enginetest::Image& img, const enginetest::Options& o = {},
                                   EncodeJob* analysed = nullptr) {
  EncodeJob job = enginetest::MakeJob(img, o);
  job.poll = StopAtAnalysis;
  OptimizePngInContext(ctx, &job);
  if (analysed) *analysed = job;
  return TakeUnfilteredRows(ctx, &job);
}

// The file written with the given row filters; empty when the run failed,
// its result in *result.
inline std::vector<uint8_t> EncodeWithRows(EngineContext& ctx, enginetest::Image& img,
                                           const std::vector<uint8_t>& filters, const enginetest::Options& o = {},
                                           int* result = nullptr) {
  EncodeJob job = enginetest::MakeJob(img, o);
  enginetest::Rec().pieces.clear();
  const int length = OptimizePngWithRowFilters(ctx, &job, filters.data());
  if (result) *result = length;
  std::vector<uint8_t> png;
  if (length != kEncodeFailed) png.assign(job.kbuf, job.kbuf + length);
  FreeEncodeBuffer(job.kbuf);
  return png;
}

}  // namespace searchtest
