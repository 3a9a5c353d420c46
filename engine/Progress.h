// Row progress of a pass: the percentage of rows done, reported through
// percent (read by the progress dialog on another thread) and print.
//
// The percentage is computed with a reciprocal of the height prepared once
// per run instead of a division per row; on very tall images it may be one
// off from the exact floor(100 * y / height), which the display tolerates.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/EngineContext.h"

// percent and pass are read by another thread while the engine runs; they
// are plain aligned ints written without ordering.
inline void PublishPercent(EncodeJob& job, int value) {
  std::atomic_ref<int>(job.percent).store(value, std::memory_order_relaxed);
}
inline void PublishPass(EncodeJob& job, int value) {
  std::atomic_ref<int>(job.pass).store(value, std::memory_order_relaxed);
}

inline void PreparePercent(EngineContext& ctx, int height) {
  const uint64_t h = uint32_t(height);
  const uint64_t factor = h >= 2 ? ((uint64_t(1) << 33) + h) / (2 * h) : ((uint64_t(1) << 32) - h) & 0xFFFFFFFF;
  ctx.percentFactor = uint32_t(factor);
  ctx.percentCorrection = factor * h < (uint64_t(1) << 32) ? 1 : 0;
}

inline int RowPercent(const EngineContext& ctx, int y) {
  return int(((100 * uint64_t(uint32_t(y)) + ctx.percentCorrection) * ctx.percentFactor) >> 32);
}

// Before row y is encoded: publishes and prints the percentage when it grew.
inline void ReportRowProgress(EngineContext& ctx, int y) {
  const int p = RowPercent(ctx, y);
  if (p > ctx.job->percent) {
    PublishPercent(*ctx.job, p);
    ctx.print("%2d%% \r", p);
  }
}
