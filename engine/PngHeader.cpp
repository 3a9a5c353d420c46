// The chunks in front of the image data, and the rules for kept chunks that
// depend on the colour type this file is written with.

#include <cstring>

#include "engine/PngWriter.h"

namespace {

void StoreBigEndian32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

bool TypeIs(const uint8_t* chunk, const char* type) { return std::memcmp(chunk + 4, type, 4) == 0; }

// Length, type, data and the CRC over type and data.
void WriteChunk(EngineContext& ctx, const char* type, const uint8_t* data, uint32_t length) {
  PutBigEndian32(ctx, length);
  const auto* typeBytes = reinterpret_cast<const uint8_t*>(type);
  PutBytes(ctx, typeBytes, 4);
  PutBytes(ctx, data, length);
  uint32_t crc = CrcBytes(ctx, 0xFFFFFFFF, typeBytes, 4);
  crc = CrcBytes(ctx, crc, data, length);
  PutBigEndian32(ctx, crc ^ 0xFFFFFFFF);
}

void CopyChunk(EngineContext& ctx, const uint8_t* chunk) { PutBytes(ctx, chunk, size_t(KeptChunkLength(chunk)) + 12); }

void WriteSignatureAndIhdr(EngineContext& ctx, int width, int height, int colortype, int bitdepth) {
  uint8_t staging[33] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  StoreBigEndian32(staging + 16, uint32_t(width));
  StoreBigEndian32(staging + 20, uint32_t(height));
  staging[24] = uint8_t(bitdepth);
  staging[25] = uint8_t(colortype);
  staging[26] = staging[27] = staging[28] = 0;  // deflate, adaptive filtering, no interlace
  StoreBigEndian32(staging + 29, CrcBytes(ctx, 0xFFFFFFFF, staging + 12, 17) ^ 0xFFFFFFFF);
  PutBytes(ctx, staging, sizeof staging);
}

// A kept sBIT describes the source's channels; the file may have other
// channels now, so its bytes are redistributed: missing green and blue take
// red's value, a missing alpha (or grey's alpha) takes the first byte.
void WriteRewrittenSbit(EngineContext& ctx, const uint8_t* chunk, int colortype) {
  const uint32_t length = KeptChunkLength(chunk);
  if (length == 0) return;  // nothing to redistribute; an empty sBIT is invalid anyway
  uint8_t b[4] = {};
  for (uint32_t i = 0; i < 4 && i < length; ++i) b[i] = chunk[8 + i];
  if (length < 4) b[3] = b[0];
  if (length < 3) b[1] = b[2] = b[0];
  uint8_t data[4];
  uint32_t n = 0;
  switch (colortype) {
    case 0: data[n++] = b[0]; break;
    case 2:
    case 3: data[n++] = b[0]; data[n++] = b[1]; data[n++] = b[2]; break;
    case 4: data[n++] = b[0]; data[n++] = b[3]; break;
    default: data[n++] = b[0]; data[n++] = b[1]; data[n++] = b[2]; data[n++] = b[3]; break;
  }
  WriteChunk(ctx, "sBIT", data, n);
}

void WriteKeptBeforePalette(EngineContext& ctx, int colortype) {
  const EncodeJob& job = *ctx.job;
  for (int i = job.chunkpre; i < job.chunkmid; ++i) {
    const uint8_t* chunk = job.chunks[i];
    if (TypeIs(chunk, "bKGD")) continue;  // the file's bKGD always reflects the job's colour
    if (TypeIs(chunk, "sBIT")) {
      WriteRewrittenSbit(ctx, chunk, colortype);
    } else {
      CopyChunk(ctx, chunk);
    }
  }
}

void WriteKeptBeforeImageData(EngineContext& ctx, int colortype) {
  const EncodeJob& job = *ctx.job;
  for (int i = job.chunkmid; i < job.chunkpost; ++i) {
    const uint8_t* chunk = job.chunks[i];
    if (TypeIs(chunk, "bKGD")) continue;
    if (TypeIs(chunk, "hIST") && colortype != 3) continue;  // a histogram needs a palette
    CopyChunk(ctx, chunk);
  }
}

bool SameRgb(uint32_t a, uint32_t b) { return ((a ^ b) & 0xFFFFFF) == 0; }

// Appends the bKGD colour to the palette when no entry has it.  The engine's
// count is left alone, so every pass appends it again at the same index.
bool AddBackgroundEntry(EngineContext& ctx, int bitdepth, uint32_t* palette, int& count) {
  const uint32_t bkgd = ctx.job->bkgd;
  if (bkgd == 0) return true;
  for (int i = count - 1; i >= 0; --i) {
    if (SameRgb(palette[i], bkgd)) return true;
  }
  if (count >= (1 << bitdepth) || count >= 256) {
    ctx.print("\rbKGD chunk can't fit palette index. Try higher bitdepth, /c2 or /c6 instead\n");
    return false;
  }
  palette[count++] = bkgd | 0xFF000000;
  return true;
}

void WritePaletteChunks(EngineContext& ctx, const uint32_t* palette, int count) {
  uint8_t data[768];
  for (int i = 0; i < count; ++i) {
    data[3 * i] = uint8_t(palette[i] >> 16);
    data[3 * i + 1] = uint8_t(palette[i] >> 8);
    data[3 * i + 2] = uint8_t(palette[i]);
  }
  WriteChunk(ctx, "PLTE", data, uint32_t(3 * count));
  int last = count - 1;
  while (last >= 0 && (palette[last] >> 24) == 0xFF) --last;
  if (last < 0) return;
  for (int i = 0; i <= last; ++i) data[i] = uint8_t(palette[i] >> 24);
  WriteChunk(ctx, "tRNS", data, uint32_t(last + 1));
}

// An 8-bit sample scaled to the file's bit depth.
uint8_t ScaleSample(uint32_t value, int bitdepth) {
  return bitdepth == 8 ? uint8_t(value) : uint8_t((value * ((1u << bitdepth) - 1)) / 255);
}

void WriteKeyTransparency(EngineContext& ctx, int colortype, int bitdepth) {
  const uint32_t key = ctx.key;
  if (key == 0xFFFFFFFF) return;
  if (colortype == 0) {
    const uint8_t data[2] = {0, uint8_t(((key & 0xFF) * ((1u << bitdepth) - 1)) / 255)};
    WriteChunk(ctx, "tRNS", data, 2);
  } else if (colortype == 2) {
    const uint8_t data[6] = {0, uint8_t(key >> 16), 0, uint8_t(key >> 8), 0, uint8_t(key)};
    WriteChunk(ctx, "tRNS", data, 6);
  }
}

void WriteBackground(EngineContext& ctx, int colortype, int bitdepth, const uint32_t* palette, int count) {
  const uint32_t bkgd = ctx.job->bkgd;
  if (bkgd == 0) return;
  uint8_t data[6] = {};
  uint32_t n = 0;
  if (colortype == 3) {
    int index = count - 1;
    while (index >= 1 && !SameRgb(palette[index], bkgd)) --index;
    data[n++] = uint8_t(index < 1 ? 0 : index);
  } else if (colortype == 0 || colortype == 4) {
    data[n++] = 0;
    data[n++] = ScaleSample(bkgd & 0xFF, bitdepth);
  } else {
    for (int shift = 16; shift >= 0; shift -= 8) {
      data[n++] = 0;
      data[n++] = ScaleSample((bkgd >> shift) & 0xFF, bitdepth);
    }
  }
  WriteChunk(ctx, "bKGD", data, n);
}

}  // namespace

void PutBigEndian32(EngineContext& ctx, uint32_t v) {
  PutByte(ctx, uint8_t(v >> 24));
  PutByte(ctx, uint8_t(v >> 16));
  PutByte(ctx, uint8_t(v >> 8));
  PutByte(ctx, uint8_t(v));
}

bool WriteHeader(EngineContext& ctx, int width, int height, int colortype, int bitdepth, uint32_t* palette,
                 int palcount) {
  ctx.outPos = 0;
  WriteSignatureAndIhdr(ctx, width, height, colortype, bitdepth);
  WriteKeptBeforePalette(ctx, colortype);
  int count = palcount;
  if (colortype == 3) {
    if (!AddBackgroundEntry(ctx, bitdepth, palette, count)) return false;
    WritePaletteChunks(ctx, palette, count);
  } else {
    WriteKeyTransparency(ctx, colortype, bitdepth);
  }
  WriteBackground(ctx, colortype, bitdepth, palette, count);
  WriteKeptBeforeImageData(ctx, colortype);
  return true;
}
