#include "engine/ColorAnalysis.h"

#include "engine/EngineContext.h"
#include "engine/ImageRows.h"

namespace {

constexpr uint32_t kNoKey = 0xFFFFFFFF;

// Names of the colour types as the "try %s instead" messages show them.
const char* ColorTypeName(int colortype) {
  switch (colortype) {
    case 0: return "/c0 (Gray)";
    case 2: return "/c2 (RGB)";
    case 3: return "/c3 (Pal)";
    case 4: return "/c4 (Gray+Alpha)";
    case 6: return "/c6 (RGB+Alpha)";
    default: return "";
  }
}

// Red, green and blue are not all equal.
bool IsColored(uint32_t v) { return (((v << 8) ^ v) & 0xFFFF00) != 0; }

// Counts distinct colours in first-appearance order until there are more
// than 256, tracks the smallest pixel value (the key candidate) and greyness.
bool FirstScan(EngineContext& ctx) {
  int count = 0;
  const bool ok = ForEachRow(ctx, [&](const uint32_t* row, int width) {
    for (int x = 0; x < width; ++x) {
      const uint32_t v = row[x];
      if (v < ctx.key) ctx.key = v;
      if (!(ctx.analysisFlags & kNotGrey) && IsColored(v)) ctx.analysisFlags |= kNotGrey;
      if (!(ctx.analysisFlags & kTooManyColors) && ctx.hash.Lookup(v) < 0) {
        if (count < 256) {
          ctx.hash.Insert(v, count);
          ctx.palette[count++] = v;
        } else {
          ctx.analysisFlags |= kTooManyColors;
        }
      }
    }
  });
  ctx.colorCount = count;
  return ok;
}

// A bKGD colour must be expressible too: it makes the image non-grey when
// it is coloured, and a full palette without its colour overflows.
void CheckBackground(EngineContext& ctx) {
  const uint32_t bkgd = ctx.job->bkgd;
  if (bkgd == 0) return;
  if (!(ctx.analysisFlags & kNotGrey) && IsColored(bkgd)) ctx.analysisFlags |= kNotGrey;
  if (!(ctx.analysisFlags & kTooManyColors) && ctx.colorCount == 256) {
    for (int i = 255; i >= 0; --i) {
      if (((ctx.palette[i] ^ bkgd) & 0xFFFFFF) == 0) return;
    }
    ctx.analysisFlags |= kTooManyColors;
  }
}

// The key stands only when every non-opaque pixel is exactly the key and
// no pixel of another alpha shares its red, green and blue.
bool CheckKey(EngineContext& ctx) {
  bool needsAlpha = false;
  const uint32_t key = ctx.key;
  const bool ok = ForEachRow(ctx, [&](const uint32_t* row, int width) {
    for (int x = 0; x < width && !needsAlpha; ++x) {
      const uint32_t v = row[x];
      const bool sameColor = ((v ^ key) & 0xFFFFFF) == 0;
      if ((sameColor && (v >> 24) != 0) || ((v >> 24) != 0xFF && v != key)) needsAlpha = true;
    }
    return !needsAlpha;
  });
  if (needsAlpha) ctx.analysisFlags |= kNeedsAlpha;
  return ok;
}

// Leaves the key as none, or as the one alpha-0 colour that can stand for
// all the transparency.  When a full alpha channel is needed no key is kept:
// a stale candidate would otherwise reach the writers of tRNS.
bool ResolveTransparency(EngineContext& ctx) {
  if (ctx.key < 0x01000000) {
    if (!CheckKey(ctx)) return false;
  } else if (ctx.key < 0xFF000000) {
    ctx.analysisFlags |= kNeedsAlpha;
  }
  if (ctx.key >= 0xFF000000 || (ctx.analysisFlags & kNeedsAlpha)) ctx.key = kNoKey;
  return true;
}

int SuggestColorType(int flags, int colorCount) {
  switch (flags) {
    case 0: return colorCount < 128 ? 3 : 0;
    case kNeedsAlpha | kTooManyColors: return 4;
    case kNotGrey | kTooManyColors: return 2;
    case kNeedsAlpha | kNotGrey | kTooManyColors: return 6;
    default: return 3;  // 1, 2 or 1+2 (4 alone cannot arise)
  }
}

bool CheckColorType(EngineContext& ctx, int suggestion) {
  const int flags = ctx.analysisFlags;
  const char* name = ColorTypeName(suggestion);
  switch (ctx.colortype) {
    case 0:
      if (flags == 0) return true;
      ctx.print("\rImage ");
      if (flags & kNeedsAlpha) ctx.print("requires full alpha; ");
      if (flags & kNotGrey) ctx.print("is not grayscale; ");
      if (flags & kTooManyColors) ctx.print("doesn't fit into 256 color entries; ");
      ctx.print("try %s instead", name);
      return false;
    case 2:
      if (!(flags & kNeedsAlpha)) return true;
      ctx.print("\rImage requires full alpha; try %s instead", name);
      return false;
    case 3:
      if (!(flags & kTooManyColors)) return true;
      ctx.print("\rImage doesn't fit into 256 color entries; try %s instead", name);
      return false;
    case 4:
      if (!(flags & kNotGrey)) return true;
      ctx.print("\rImage is not grayscale; try %s instead", name);
      return false;
    default:
      return true;
  }
}

bool IsPngBitDepth(int d) { return d == 1 || d == 2 || d == 4 || d == 8; }

// Smallest grey depth whose even ramp holds every marked level: levels 0
// and 255 need 1 bit, 85 and 170 need 2, multiples of 17 need 4.
int NeededGreyDepth(const bool* level) {
  int n = 0;
  for (int v = 128; v >= 1; --v) {
    if (!level[v] && !level[255 - v]) continue;
    n |= 1;
    if (v == 85) continue;
    n |= 2;
    if ((((v << 4) ^ v) & 0xF0) != 0) {
      n |= 4;
      break;
    }
  }
  return n + 1;
}

uint32_t GreyStep(int depth) {
  switch (depth) {
    case 1: return 0xFFFFFF;
    case 2: return 0x555555;
    case 4: return 0x111111;
    default: return 0x010101;
  }
}

}  // namespace

bool ScanColors(EngineContext& ctx) {
  ctx.hash.Clear(ctx.palette);
  ctx.colorCount = 0;
  ctx.analysisFlags = 0;
  ctx.key = kNoKey;
  if (!FirstScan(ctx)) return false;
  CheckBackground(ctx);
  if (!ResolveTransparency(ctx)) return false;
  const int suggestion = SuggestColorType(ctx.analysisFlags, ctx.colorCount);
  if (ctx.colortype < 0) ctx.colortype = suggestion;
  for (int i = 0; i < ctx.colorCount; ++i) ctx.seenColors[i] = ctx.palette[i];
  return CheckColorType(ctx, suggestion);
}

bool ReduceGrey(EngineContext& ctx) {
  bool level[256] = {};
  const uint32_t bkgd = ctx.job->bkgd;
  if (bkgd != 0) {
    if ((((bkgd >> 8) ^ bkgd) & 0xFFFF) != 0) {
      ctx.print("\rbKGD must be grayscale in color type 0.");
      return false;
    }
    level[bkgd & 0xFF] = true;
  }
  const bool ok = ForEachRow(ctx, [&](const uint32_t* row, int width) {
    for (int x = 0; x < width; ++x) level[row[x] & 0xFF] = true;
  });
  if (!ok) return false;

  const int needed = NeededGreyDepth(level);
  if (!IsPngBitDepth(ctx.bitdepth)) ctx.bitdepth = needed;
  if (ctx.bitdepth < needed) {
    ctx.print("\rImage doesn't fit in selected bitdepth");
    return false;
  }
  const uint32_t step = GreyStep(ctx.bitdepth);
  ctx.palcount = 1 << ctx.bitdepth;
  for (int i = 0; i < ctx.palcount; ++i) ctx.palette[i] = 0xFF000000 + uint32_t(i) * step;
  // The transparent colour takes its grey level's place, so that the index
  // lookup of a transparent pixel finds it and tRNS names that level.
  if (ctx.key != kNoKey) ctx.palette[ctx.key / step] = ctx.key;
  return true;
}

bool ReduceTrueColor(EngineContext& ctx) {
  if (ctx.bitdepth == 1 || ctx.bitdepth == 2 || ctx.bitdepth == 4) {
    ctx.print("\rImage doesn't fit in selected bitdepth");
    return false;
  }
  ctx.bitdepth = 8;
  return true;
}
