#include "engine/AdaptiveFilter.h"

#include "engine/CorrectlyRoundedLog.h"
#include "engine/RowFilter.h"

namespace {

// Truncation toward zero to 64 bits, with the value an x86 conversion gives
// for NaN and out-of-range inputs (the "integer indefinite" 2^63), so that a
// one-byte row (ln 1 = 0, an infinite scale, 0 x inf = NaN) yields 0 entries.
uint32_t LowBitsOfTruncation(double x) {
  if (!(x >= -9223372036854775808.0 && x < 9223372036854775808.0)) return 0;
  return uint32_t(uint64_t(int64_t(x)));
}

bool BuildEntropyTable(EngineContext& ctx, int n) {
  ReleaseEntropyTable(ctx);
  ctx.entropylut = MallocArray<uint32_t>(size_t(n) + 1);
  if (!ctx.entropylut) {
    ctx.print("\rmalloc failed (entropylut)\n");
    ctx.olinbuf.reset();
    return false;
  }
  ctx.entropyN = n;
  const double scale = 2147483647.0 / (double(n) * CorrectlyRoundedLog(double(n)));
  for (int i = n; i >= 1; --i) {
    ctx.entropylut[i] = LowBitsOfTruncation(double(i) * CorrectlyRoundedLog(double(i)) * scale);
  }
  ctx.entropylut[0] = 0;
  return true;
}

}  // namespace

void ReleaseEntropyTable(EngineContext& ctx) {
  ctx.entropylut.reset();
  ctx.entropyN = -1;
}

int32_t RowEntropyCost(EngineContext& ctx) {
  // The filter-type byte says nothing about the row's data.
  --ctx.trialCounts[ctx.rowFilter];
  --ctx.trialTotal;
  const int n = ctx.trialTotal;
  if ((!ctx.entropylut || ctx.entropyN != n) && !BuildEntropyTable(ctx, n)) return kEntropyTableFailed;
  uint32_t sum = 0;
  for (uint32_t count : ctx.trialCounts) sum += ctx.entropylut[count];
  return int32_t(0x7FFFFFFEu - sum);
}

bool ChooseRowFilter(EngineContext& ctx, int y) {
  const EngineContext::ByteSink passSink = ctx.sink;
  ctx.sink = EngineContext::ByteSink::TrialHistogram;
  int32_t bestCost = 2147483647;
  int bestFilter = 0;
  for (int f = 0; f <= 4; ++f) {
    ctx.workingFilter = f;
    for (uint32_t& c : ctx.trialCounts) c = 0;
    ctx.trialTotal = 0;
    FeedRow(ctx, y);
    const int32_t cost = RowEntropyCost(ctx);
    if (cost == kEntropyTableFailed) {
      ctx.sink = passSink;
      return false;
    }
    if (cost < bestCost) {
      bestCost = cost;
      bestFilter = f;
    }
  }
  ctx.sink = passSink;
  ctx.workingFilter = bestFilter;
  return true;
}
