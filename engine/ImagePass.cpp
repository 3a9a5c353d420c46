#include "engine/ImagePass.h"

#include "engine/Palette.h"
#include "engine/PngWriter.h"
#include "engine/Progress.h"
#include "engine/RowFilter.h"

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
  for (int y = 0; y < job.height; ++y) {
    ReportRowProgress(ctx, y);
    if (ctx.poll(1) != 0) return false;
    if (!FeedImageRow(ctx, y)) return false;
  }
  return true;
}
