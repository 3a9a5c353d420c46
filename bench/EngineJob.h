// The encode job every benchmark starts from: the engine's own choices
// (filter, colour type, split threshold) and no progress text, so the
// benchmarks differ only in what they set on top.
#pragma once

#include "PngLoader.h"
#include "engine/EncodeJob.h"

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

}  // namespace bench
