#include "engine/Palette.h"

#include <utility>

#include "engine/EngineContext.h"
#include "engine/ImageRows.h"

namespace {

bool IsOpaque(uint32_t v) { return (v >> 24) == 0xFF; }

void SwapEntries(EngineContext& ctx, int a, int b) {
  std::swap(ctx.palette[a], ctx.palette[b]);
  std::swap(ctx.usage[a], ctx.usage[b]);
}

// Most used first.  A gap-halving exchange sort: equal usages never trade
// places, so ties keep their order of first appearance.
void SortByUsage(EngineContext& ctx, int count) {
  for (int gap = count / 2; gap > 0; gap /= 2) {
    for (int i = 0; i + gap < count; ++i) {
      for (int j = i; j >= 0 && ctx.usage[j] < ctx.usage[j + gap]; j -= gap) SwapEntries(ctx, j, j + gap);
    }
  }
}

bool ReportMissingColor(EngineContext& ctx) {
  ctx.print("\rImage has colors not in the given palette; try /c2 or /c6 instead");
  return false;
}

// The palette from the image itself, in order of first appearance, then by
// use.  The analysis has already ensured there are at most 256 colours.
bool GeneratePalette(EngineContext& ctx, int& count) {
  if (ctx.job->keeppal) ctx.print("\nIgnoring /kp (palette not found)");
  count = 0;
  bool overflow = false;
  const bool ok = ForEachRow(ctx, [&](const uint32_t* row, int width) {
    for (int x = 0; x < width; ++x) {
      const uint32_t v = row[x];
      const int i = ctx.hash.Lookup(v);
      if (i >= 0) {
        ++ctx.usage[i];
      } else if (count < 256) {
        ctx.palette[count] = v;
        ctx.usage[count] = 1;
        ctx.hash.Insert(v, count++);
      } else {
        overflow = true;
        return false;
      }
    }
    return true;
  });
  if (!ok) return false;
  if (overflow) {
    // Only reachable when the caller skipped the colour analysis.
    ctx.print("\rImage doesn't fit into 256 color entries; try %s instead", "/c6 (RGB+Alpha)");
    return false;
  }
  SortByUsage(ctx, count);
  return true;
}

// A given palette kept entry for entry must still hold every pixel colour;
// otherwise a pixel would be written with a wrong index.
bool GivenPaletteHoldsImage(const EngineContext& ctx) {
  for (int i = 0; i < ctx.colorCount; ++i) {
    if (ctx.hash.Lookup(ctx.seenColors[i]) < 0) return false;
  }
  return true;
}

// Drops the entries of a given palette that no pixel uses, keeping order.
bool CompactGivenPalette(EngineContext& ctx, int& count) {
  for (int i = 0; i < count; ++i) ctx.usage[i] = 0;
  bool missing = false;
  const bool ok = ForEachRow(ctx, [&](const uint32_t* row, int width) {
    for (int x = 0; x < width; ++x) {
      const int i = ctx.hash.Lookup(row[x]);
      if (i < 0) {
        missing = true;
        return false;
      }
      ++ctx.usage[i];
    }
    return true;
  });
  if (!ok) return false;
  if (missing) return ReportMissingColor(ctx);
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    if (ctx.usage[i] == 0) continue;
    ctx.palette[kept] = ctx.palette[i];
    ctx.usage[kept++] = ctx.usage[i];
  }
  count = kept;
  return true;
}

bool UseGivenPalette(EngineContext& ctx, int& count) {
  // From the last entry to the first, so that of two equal colours the
  // lower index is found.
  for (int i = count - 1; i >= 0; --i) ctx.hash.Insert(ctx.palette[i], i);
  if (ctx.job->keeppal) {
    if (!GivenPaletteHoldsImage(ctx)) return ReportMissingColor(ctx);
    return true;
  }
  return CompactGivenPalette(ctx, count);
}

// One more entry when a bKGD colour is not in the palette.
int EntriesNeeded(const EngineContext& ctx, int count) {
  const uint32_t bkgd = ctx.job->bkgd;
  if (bkgd == 0) return count;
  for (int i = count - 1; i >= 0; --i) {
    if (((ctx.palette[i] ^ bkgd) & 0xFFFFFF) == 0) return count;
  }
  return count + 1;
}

// Non-opaque entries first, keeping their relative order, so that tRNS
// stays as short as possible.
void PutAlphaFirst(EngineContext& ctx, int count) {
  for (int i = 1; i < count; ++i) {
    for (int j = 0; j < i; ++j) {
      if (IsOpaque(ctx.palette[j]) && !IsOpaque(ctx.palette[i])) SwapEntries(ctx, i, j);
    }
  }
}

}  // namespace

bool BuildPalette(EngineContext& ctx) {
  ctx.hash.Clear(ctx.palette);
  int count = ctx.palcount < 0 ? 0 : (ctx.palcount > 256 ? 256 : ctx.palcount);
  if (count == 0) {
    if (!GeneratePalette(ctx, count)) return false;
  } else if (!UseGivenPalette(ctx, count)) {
    return false;
  }
  ctx.palcount = count;
  ctx.entriesNeeded = EntriesNeeded(ctx, count);

  int depth = 1;
  while (depth < 8 && (1 << depth) < ctx.entriesNeeded) depth *= 2;
  if (ctx.bitdepth != 1 && ctx.bitdepth != 2 && ctx.bitdepth != 4 && ctx.bitdepth != 8) ctx.bitdepth = depth;
  if (ctx.bitdepth < depth) {
    ctx.print("\rImage doesn't fit in selected bitdepth");
    return false;
  }
  if (!ctx.job->keeppal) PutAlphaFirst(ctx, count);
  return true;
}

bool ReorderPalette(EngineContext& ctx) {
  if (ctx.colortype != 3 || ctx.filter != 0 || ctx.bitdepth != 8 || ctx.job->pass <= 0 || ctx.finalPass ||
      ctx.job->keeppal) {
    return false;
  }
  deflate::BlockState* blocks = ctx.deflate.blocks.get();
  const int32_t* lengths = blocks[0].lengths;
  // With filter None at depth 8 the literals are the indices themselves, so
  // an entry whose literal codes shorter moves down; within one alpha value
  // only, which keeps the alpha-first order and the length of tRNS.
  for (int i = 2; i < ctx.palcount; ++i) {
    for (int j = 1; j < i; ++j) {
      if ((ctx.palette[i] >> 24) != (ctx.palette[j] >> 24) || lengths[i] >= lengths[j]) continue;
      for (int b = ctx.deflate.numBlocks - 1; b >= 0; --b) std::swap(blocks[b].lengths[i], blocks[b].lengths[j]);
      std::swap(ctx.palette[i], ctx.palette[j]);
    }
  }
  return true;
}
