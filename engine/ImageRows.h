// Row walk shared by the analysis and palette scans.
//
// Every scan over the image asks poll(1) once per row before reading it, so
// that a long analysis stays responsive and can be stopped; a non-zero answer
// ends the walk and fails the run without a message.  A visitor that returns
// bool may end the walk early by answering false (that is not a failure).
#pragma once

#include <cstdint>
#include <type_traits>

#include "engine/EngineContext.h"

// Calls visit(row, width) for every row from the top.  False only when poll
// asked to stop.
template <typename Visitor>
bool ForEachRow(EngineContext& ctx, Visitor&& visit) {
  const EncodeJob& job = *ctx.job;
  const auto* base = reinterpret_cast<const uint8_t*>(job.pixels);
  for (int y = 0; y < job.height; ++y) {
    if (ctx.poll(1) != 0) return false;
    const auto* row = reinterpret_cast<const uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * job.stride);
    if constexpr (std::is_same_v<decltype(visit(row, job.width)), bool>) {
      if (!visit(row, job.width)) return true;
    } else {
      visit(row, job.width);
    }
  }
  return true;
}
