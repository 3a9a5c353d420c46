// Scanline filtering: how each row of a pass becomes filtered bytes in the
// current byte sink (the split collector, the trial histogram of the
// adaptive choice, or the compressor).
//
// A row is a sequence of units: one pixel for the true-colour types, one
// byte of packed indices for grey and palette.  The filters look back by one
// unit, as PNG prescribes for each type.  The line buffer olinbuf holds two
// rows of units side by side with a zero word in front of each, so the
// unit above-left of a row's first unit is always 0 and row 0 reads a row of
// zeros above it without special cases:
//
//   word 0 | words 1..units | word units+1 | words units+2..2*units+1
//     0      odd rows          0             even rows
//
// The row counter moves only when the sink is the compressor, so filter
// trials and the split pre-pass filter every row as if it were row 0.
#pragma once

#include <cstdint>

#include "engine/EngineContext.h"

// Row state for a new stream and a fresh line buffer of units per row.
// False after "\rmalloc failed (olinbuf)\n".
bool StartRows(EngineContext& ctx, int64_t unitsPerRow);

// The PNG Paeth predictor: a (left), b (above) or c (above-left), whichever
// is closest to a + b - c, ties in that order.
inline int PaethPredict(int a, int b, int c) {
  const int pa = b > c ? b - c : c - b;
  const int pb = a > c ? a - c : c - a;
  const int pcRaw = a + b - 2 * c;
  const int pc = pcRaw < 0 ? -pcRaw : pcRaw;
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// The unit feeders, one per unit layout.
void FeedRgba(EngineContext& ctx, uint32_t pixel);          // R G B A
void FeedRgb(EngineContext& ctx, uint32_t rgb);             // R G B of 0xRRGGBB
void FeedGreyAlpha(EngineContext& ctx, uint32_t greyAlpha); // grey, alpha of 0xAAGG
void FeedIndexByte(EngineContext& ctx, uint32_t packed);    // one byte

// Feeds row y with the current working filter into the current sink.
void FeedRow(EngineContext& ctx, int y);

// Row y of a pass: chooses its filter (per row under the adaptive selection)
// and feeds it.  False when the adaptive choice fails.
bool FeedImageRow(EngineContext& ctx, int y);

// Colour-to-index hash over the engine palette, entries from the last to the
// first so that of two equal colours the lower index is found.
void RebuildPaletteHash(EngineContext& ctx);
