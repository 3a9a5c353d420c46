#include "engine/ImagePass.h"

#include <cstring>

#include "engine/Palette.h"
#include "engine/PngWriter.h"
#include "engine/Progress.h"
#include "engine/RowFilter.h"
#include "engine/deflate/BlockWriter.h"

bool CheckPassFormat(EngineContext& ctx) {
  const int ct = ctx.colortype;
  if (ct != 0 && ct != 2 && ct != 3 && ct != 4 && ct != 6) {
    ctx.print("\rPNG color type %d not supported\n", ct);
    return false;
  }
  const int d = ctx.bitdepth;
  if ((ct == 0 || ct == 3) && d != 1 && d != 2 && d != 4 && d != 8) {
    ctx.print("\rBit depth %d not supported\n", d);
    return false;
  }
  return true;
}

void TakeSnapshot(EngineContext& ctx) {
  const deflate::DeflateState& d = ctx.deflate;
  uint8_t* out = ctx.snapshot.data();
  for (int b = 0; b < d.numBlocks; ++b) {
    for (int i = 0; i < deflate::kSymbols; ++i) *out++ = uint8_t(d.blocks[b].lengths[i]);
  }
}

namespace {

// The rows filter to the bytes of the kept stream when the palette order is
// the one they were filtered with: colour type, bit depth, filter choice and
// pixels stay the same for the whole run, and the adaptive filter decides
// on the row's own bytes alone.
bool ReplayableStream(const EngineContext& ctx) {
  return ctx.passStreamWhole && ctx.sink == EngineContext::ByteSink::Deflate &&
         std::memcmp(ctx.passStreamPalette, ctx.palette, sizeof ctx.palette) == 0;
}

// A pass over the kept stream: the same progress and stop requests per row
// as a filtering pass, the same bytes to the compressor.
bool ReplayRows(EngineContext& ctx) {
  EncodeJob& job = *ctx.job;
  const int64_t rowBytes = ctx.passStreamCount / job.height;
  const uint8_t* row = ctx.passStream.get();
  for (int y = 0; y < job.height; ++y, row += rowBytes) {
    ReportRowProgress(ctx, y);
    if (ctx.poll(1) != 0) return false;
    deflate::DeflateBytes(ctx, row, rowBytes);
  }
  ctx.rowCounter = job.height;
  deflate::DeflateFinish(ctx);
  return true;
}

}  // namespace

bool EncodeImagePass(EngineContext& ctx) {
  if (!CheckPassFormat(ctx)) return false;
  // The reorder renumbers literals in the tables the pass starts from, so
  // the snapshot must show the swapped lengths.
  if (ctx.colortype == 3 && ReorderPalette(ctx)) TakeSnapshot(ctx);
  const bool indexed = ctx.colortype == 0 || ctx.colortype == 3;
  if (indexed) RebuildPaletteHash(ctx);
  EncodeJob& job = *ctx.job;
  if (!StreamStart(ctx, job.width, job.height, ctx.colortype, indexed ? ctx.bitdepth : 8,
                   indexed ? ctx.palette : nullptr, indexed ? ctx.palcount : 0)) {
    return false;
  }
  if (ReplayableStream(ctx)) return ReplayRows(ctx);
  const bool keeping = ctx.passStream && ctx.sink == EngineContext::ByteSink::Deflate;
  if (keeping) {
    ctx.passStreamWhole = false;
    ctx.passStreamCount = 0;
    ctx.passStreamRowStart = 0;
  }
  for (int y = 0; y < job.height; ++y) {
    ReportRowProgress(ctx, y);
    if (ctx.poll(1) != 0) return false;
    if (!FeedImageRow(ctx, y)) return false;
  }
  if (keeping) {
    ctx.passStreamWhole = true;
    std::memcpy(ctx.passStreamPalette, ctx.palette, sizeof ctx.passStreamPalette);
  }
  return true;
}
