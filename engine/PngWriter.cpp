#include "engine/PngWriter.h"

#include "engine/RowFilter.h"
#include "engine/deflate/BlockWriter.h"

namespace {

void WriteIend(EngineContext& ctx) {
  static const uint8_t kIend[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  PutBytes(ctx, kIend, sizeof kIend);
}

// Writes the IDAT length big-endian at the IDAT start through PutByte, so
// that a buffer too small for it drops the bytes like any other.
void PatchIdatLength(EngineContext& ctx) {
  const int64_t end = ctx.outPos;
  ctx.outPos = ctx.idatStart;
  PutBigEndian32(ctx, uint32_t(end - ctx.idatStart - 12));
  ctx.outPos = end;
}

}  // namespace

void BuildCrcTable(EngineContext& ctx) {
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    ctx.crcTable[i] = c;
  }
}

uint32_t CrcBytes(const EngineContext& ctx, uint32_t reg, const uint8_t* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) reg = CrcByte(ctx, reg, bytes[i]);
  return reg;
}

void PutBytes(EngineContext& ctx, const uint8_t* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) PutByte(ctx, bytes[i]);
}

bool StreamStart(EngineContext& ctx, int width, int height, int colortype, int bitdepth, uint32_t* palette,
                 int palcount) {
  const int64_t units = (int64_t(width) * bitdepth + 7) / 8;
  if (!StartRows(ctx, units)) return false;
  if (!WriteHeader(ctx, width, height, colortype, bitdepth, palette, palcount)) return false;
  ctx.idatStart = ctx.outPos;
  PutBigEndian32(ctx, 0);  // the IDAT length, patched when the stream ends
  deflate::DeflateStart(ctx);
  return true;
}

void WriteTrailer(EngineContext& ctx) {
  const EncodeJob& job = *ctx.job;
  for (int i = job.chunkpost; i < job.chunkcount; ++i) {
    const uint8_t* chunk = job.chunks[i];
    PutBytes(ctx, chunk, size_t(KeptChunkLength(chunk)) + 12);
  }
  WriteIend(ctx);
}

void StreamEnd(EngineContext& ctx) {
  PutBigEndian32(ctx, ctx.deflate.crc ^ 0xFFFFFFFF);
  PatchIdatLength(ctx);
  WriteTrailer(ctx);
  ctx.olinbuf.reset();
}

int64_t StoredRowLength(int colortype, int width, int bitdepth) {
  switch (colortype) {
    case 0:
    case 3: return (int64_t(width) * bitdepth + 7) / 8 + 1;
    case 2: return 3 * int64_t(width) + 1;
    case 4: return 2 * int64_t(width) + 1;
    default: return 4 * int64_t(width) + 1;
  }
}

bool WriteStoredFile(EngineContext& ctx) {
  if (ctx.colortype == 0 || ctx.colortype == 3) RebuildPaletteHash(ctx);
  if (!deflate::StoredStream(ctx)) return false;
  // The stored file is written once into a buffer sized for it, so its IDAT
  // CRC is taken from the buffer (bounded by it all the same).
  const EncodeJob& job = *ctx.job;
  const int64_t from = ctx.idatStart + 4;
  const int64_t to = ctx.outPos < job.kbufsize ? ctx.outPos : job.kbufsize;
  const uint32_t crc = from < to ? CrcBytes(ctx, 0xFFFFFFFF, job.kbuf + from, size_t(to - from)) : 0xFFFFFFFF;
  PutBigEndian32(ctx, crc ^ 0xFFFFFFFF);
  PatchIdatLength(ctx);
  WriteTrailer(ctx);
  deflate::PrintStoredSizeLine(ctx);
  return true;
}
