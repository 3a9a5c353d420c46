#include "engine/RowFilter.h"

#include "engine/AdaptiveFilter.h"
#include "engine/RowPacking.h"
#include "engine/deflate/BlockWriter.h"

namespace {

// Byte k of a unit value, per layout, in the order the scanline holds them.
struct RgbaUnit {
  static constexpr int kBytes = 4;
  static constexpr int kShift[4] = {16, 8, 0, 24};
};
struct RgbUnit {
  static constexpr int kBytes = 3;
  static constexpr int kShift[3] = {16, 8, 0};
};
struct GreyAlphaUnit {
  static constexpr int kBytes = 2;
  static constexpr int kShift[2] = {0, 8};
};
struct IndexUnit {
  static constexpr int kBytes = 1;
  static constexpr int kShift[1] = {0};
};

inline void SendByte(EngineContext& ctx, uint8_t b) {
  switch (ctx.sink) {
    case EngineContext::ByteSink::Deflate:
      // With a kept stream the row goes to the compressor whole at its end.
      if (ctx.passStream) ctx.passStream[ctx.passStreamCount++] = b;
      else deflate::DeflateByte(ctx, b);
      break;
    case EngineContext::ByteSink::TrialHistogram:
      TrialHistogram(ctx, b);
      break;
    case EngineContext::ByteSink::Collector:
      // The buffer holds the longest possible stream (4 bytes a pixel).
      if (ctx.collectedCount < ctx.collectedCapacity) ctx.collected[ctx.collectedCount] = b;
      ++ctx.collectedCount;
      break;
  }
}

inline uint8_t Filtered(int filter, int x, int a, int b, int c) {
  switch (filter) {
    case 1: return uint8_t(x - a);
    case 2: return uint8_t(x - b);
    case 3: return uint8_t(x - ((a + b) >> 1));
    case 4: return uint8_t(x - PaethPredict(a, b, c));
    default: return uint8_t(x);
  }
}

template <typename Unit>
inline void FeedUnit(EngineContext& ctx, uint32_t v) {
  if (ctx.unitIndex == 0) {
    // Average on the first row of a stream has no row above; it is sent as
    // Sub, which is what Average over a zero row amounts to anyway.
    ctx.rowFilter = (ctx.workingFilter == 3 && ctx.rowCounter == 0) ? 1 : ctx.workingFilter;
    SendByte(ctx, uint8_t(ctx.rowFilter));
    ctx.leftUnit = 0;
  }
  const int units = ctx.unitsPerRow;
  uint32_t* buf = ctx.olinbuf.get();
  const bool odd = (ctx.rowCounter & 1) != 0;
  uint32_t* cur = odd ? buf + 1 : buf + units + 2;
  const uint32_t* prev = odd ? buf + units + 2 : buf + 1;
  const int i = ctx.unitIndex;
  cur[i] = v;
  const uint32_t up = prev[i];
  const uint32_t upLeft = prev[i - 1];
  const uint32_t left = ctx.leftUnit;
  for (int k = 0; k < Unit::kBytes; ++k) {
    const int s = Unit::kShift[k];
    SendByte(ctx, Filtered(ctx.rowFilter, (v >> s) & 0xFF, (left >> s) & 0xFF, (up >> s) & 0xFF, (upLeft >> s) & 0xFF));
  }
  ctx.leftUnit = v;
  if (++ctx.unitIndex == units) {
    ctx.unitIndex = 0;
    if (ctx.sink == EngineContext::ByteSink::Deflate) {
      if (ctx.passStream) {
        const int64_t start = ctx.passStreamRowStart;
        ctx.passStreamRowStart = ctx.passStreamCount;
        deflate::DeflateBytes(ctx, ctx.passStream.get() + start, ctx.passStreamCount - start);
      }
      if (++ctx.rowCounter == ctx.job->height) deflate::DeflateFinish(ctx);
    }
  }
}

}  // namespace

bool StartRows(EngineContext& ctx, int64_t unitsPerRow) {
  ctx.unitIndex = 0;
  ctx.rowCounter = 0;
  ctx.leftUnit = 0;
  ctx.rowFilter = 0;
  ctx.unitsPerRow = int(unitsPerRow);
  ctx.olinbuf.reset();
  ctx.olinbuf = MallocArray<uint32_t>(size_t(2 * (unitsPerRow + 1)));
  if (!ctx.olinbuf) {
    ctx.print("\rmalloc failed (olinbuf)\n");
    return false;
  }
  for (int64_t w = 0; w <= unitsPerRow + 1; ++w) ctx.olinbuf[w] = 0;
  return true;
}

void FeedRgba(EngineContext& ctx, uint32_t pixel) { FeedUnit<RgbaUnit>(ctx, pixel); }
void FeedRgb(EngineContext& ctx, uint32_t rgb) { FeedUnit<RgbUnit>(ctx, rgb); }
void FeedGreyAlpha(EngineContext& ctx, uint32_t greyAlpha) { FeedUnit<GreyAlphaUnit>(ctx, greyAlpha); }
void FeedIndexByte(EngineContext& ctx, uint32_t packed) { FeedUnit<IndexUnit>(ctx, packed); }

void FeedRow(EngineContext& ctx, int y) {
  const EncodeJob& job = *ctx.job;
  const uint32_t* row = ImageRow(job, y);
  const int width = job.width;
  switch (ctx.colortype) {
    case 6:
      for (int x = 0; x < width; ++x) FeedUnit<RgbaUnit>(ctx, row[x]);
      break;
    case 2:
      for (int x = 0; x < width; ++x) FeedUnit<RgbUnit>(ctx, row[x] & 0xFFFFFF);
      break;
    case 4:
      for (int x = 0; x < width; ++x) FeedUnit<GreyAlphaUnit>(ctx, row[x] >> 16);
      break;
    default:
      PackIndexRow(ctx.hash, row, width, ctx.bitdepth, [&ctx](uint8_t b) { FeedUnit<IndexUnit>(ctx, b); });
      break;
  }
}

bool FeedImageRow(EngineContext& ctx, int y) {
  if (ctx.rowFilters) {
    ctx.workingFilter = ctx.rowFilters[y];
  } else if (ctx.filter == 5) {
    if (!ChooseRowFilter(ctx, y)) return false;
  } else {
    ctx.workingFilter = ctx.filter;
  }
  FeedRow(ctx, y);
  return true;
}

void RebuildPaletteHash(EngineContext& ctx) {
  ctx.hash.Clear(ctx.palette);
  for (int i = ctx.palcount - 1; i >= 0; --i) ctx.hash.Insert(ctx.palette[i], i);
}
