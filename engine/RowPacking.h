// Row packing: how one image row becomes the bytes of a PNG scanline for the
// working colour type and bit depth (before filtering).
//
// Grey and palette rows are palette indices found through the colour hash,
// packed most significant bits first so the first pixel of a byte sits in
// its top bits; a last partial byte is sent with its unused low bits 0.  The
// true-colour types send their samples in PNG order.  Both the filters and
// the stored writer use these, so the two can never disagree on a scanline.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/EngineContext.h"

// The pixels of row y of the job's image.
inline const uint32_t* ImageRow(const EncodeJob& job, int y) {
  const auto* base = reinterpret_cast<const uint8_t*>(job.pixels);
  return reinterpret_cast<const uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * job.stride);
}

// Palette index of a pixel.  The palette stages refuse images with colours
// outside the palette, so a miss cannot happen; should it, index 0 keeps the
// scanline valid instead of writing an index past the palette.
inline uint8_t PaletteIndex(const ColorHash& hash, uint32_t v) {
  const int i = hash.Lookup(v);
  return static_cast<uint8_t>(i < 0 ? 0 : i);
}

// Calls emit(byte) for each packed index byte of a grey or palette row.
template <typename Emit>
void PackIndexRow(const ColorHash& hash, const uint32_t* row, int width, int bitdepth, Emit&& emit) {
  if (bitdepth == 8) {
    for (int x = 0; x < width; ++x) emit(PaletteIndex(hash, row[x]));
    return;
  }
  unsigned acc = 0;
  int bits = 0;
  for (int x = 0; x < width; ++x) {
    acc = (acc << bitdepth) | PaletteIndex(hash, row[x]);
    bits += bitdepth;
    if (bits == 8) {
      emit(static_cast<uint8_t>(acc));
      acc = 0;
      bits = 0;
    }
  }
  if (bits > 0) emit(static_cast<uint8_t>(acc << (8 - bits)));
}

// Calls emit(byte) for each byte of row y as the stored file holds it (no
// filter byte): indices for colour types 0 and 3, R G B for 2, grey and
// alpha for 4, R G B A for 6.
template <typename Emit>
void PackStoredRow(const EngineContext& ctx, int y, Emit&& emit) {
  const EncodeJob& job = *ctx.job;
  const uint32_t* row = ImageRow(job, y);
  switch (ctx.colortype) {
    case 0:
    case 3:
      PackIndexRow(ctx.hash, row, job.width, ctx.bitdepth, emit);
      break;
    case 2:
      for (int x = 0; x < job.width; ++x) {
        emit(static_cast<uint8_t>(row[x] >> 16));
        emit(static_cast<uint8_t>(row[x] >> 8));
        emit(static_cast<uint8_t>(row[x]));
      }
      break;
    case 4:
      for (int x = 0; x < job.width; ++x) {
        emit(static_cast<uint8_t>(row[x]));
        emit(static_cast<uint8_t>(row[x] >> 24));
      }
      break;
    default:
      for (int x = 0; x < job.width; ++x) {
        emit(static_cast<uint8_t>(row[x] >> 16));
        emit(static_cast<uint8_t>(row[x] >> 8));
        emit(static_cast<uint8_t>(row[x]));
        emit(static_cast<uint8_t>(row[x] >> 24));
      }
      break;
  }
}
