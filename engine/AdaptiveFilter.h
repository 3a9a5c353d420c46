// The per-row filter choice of the adaptive selection.
//
// Each row is filtered five times into a histogram of byte values, and the
// filter whose bytes have the lowest order-0 entropy wins; equal costs keep
// the lower filter number.  The entropy is read from entropylut, a table of
// i * ln i scaled so that a row's largest possible term fills 31 bits, built
// once per row length (so in practice once per run) because every row of an
// image has the same length.
#pragma once

#include <cstdint>

#include "engine/EngineContext.h"

// The byte sink of a filter trial.
inline void TrialHistogram(EngineContext& ctx, uint8_t b) {
  ++ctx.trialCounts[b];
  ++ctx.trialTotal;
}

constexpr int32_t kEntropyTableFailed = -2147483647 - 1;  // 0x80000000

// Cost of the row in the trial histogram: lower is more compressible.
// kEntropyTableFailed after "\rmalloc failed (entropylut)\n".
int32_t RowEntropyCost(EngineContext& ctx);

// Tries filters 0..4 on row y and leaves the cheapest as the working filter.
// False when the entropy table cannot be allocated.
bool ChooseRowFilter(EngineContext& ctx, int y);

void ReleaseEntropyTable(EngineContext& ctx);
