#include "engine/RowFilterEntry.h"

#include "engine/RowFilter.h"
#include "engine/RowPacking.h"

UnfilteredRows TakeUnfilteredRows(EngineContext& ctx, EncodeJob* gpo) {
  UnfilteredRows rows;
  EncodeJob* const outer = ctx.job;
  ctx.job = gpo;
  const bool indexed = ctx.colortype == 0 || ctx.colortype == 3;
  if (indexed) RebuildPaletteHash(ctx);
  const int64_t width = gpo->width;
  switch (ctx.colortype) {
    case 0:
    case 3:
      rows.rowBytes = int((width * ctx.bitdepth + 7) / 8);
      rows.filterStride = 1;
      break;
    case 2: rows.rowBytes = int(3 * width); rows.filterStride = 3; break;
    case 4: rows.rowBytes = int(2 * width); rows.filterStride = 2; break;
    default: rows.rowBytes = int(4 * width); rows.filterStride = 4; break;
  }
  rows.height = gpo->height;
  rows.bytes.reserve(size_t(rows.rowBytes) * size_t(rows.height));
  for (int y = 0; y < gpo->height; ++y) {
    PackStoredRow(ctx, y, [&rows](uint8_t b) { rows.bytes.push_back(b); });
  }
  ctx.job = outer;
  return rows;
}

int OptimizePngWithRowFilters(EngineContext& ctx, EncodeJob* gpo, const uint8_t* rowFilters) {
  for (int y = 0; y < gpo->height; ++y) {
    if (rowFilters[y] > 4) {
      if (gpo->print) gpo->print("\rRow filter %d not supported\n", int(rowFilters[y]));
      return kEncodeFailed;
    }
  }
  ctx.rowFilters = rowFilters;
  const int result = OptimizePngInContext(ctx, gpo);
  ctx.rowFilters = nullptr;
  return result;
}
