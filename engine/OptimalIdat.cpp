#include "engine/OptimalIdat.h"

#include <cstring>
#include <vector>

#include "engine/PngWriter.h"
#include "engine/RowFilterEntry.h"
#include "engine/deflate/OptimalDeflate.h"

namespace {

uint32_t ReadBigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void WriteBigEndian32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

// Where the one IDAT chunk of the engine's file starts (its length field),
// walking the chunks from the signature; -1 when there is none.
int64_t FindIdat(const uint8_t* png, int64_t length) {
  int64_t at = 8;
  while (at + 12 <= length) {
    const int64_t size = ReadBigEndian32(png + at);
    if (std::memcmp(png + at + 4, "IDAT", 4) == 0) return at + 12 + size <= length ? at : -1;
    at += 12 + size;
  }
  return -1;
}

}  // namespace

int OptimizePngWithOptimalDeflate(EngineContext& ctx, EncodeJob* gpo, const uint8_t* rowFilters, int level) {
  std::vector<uint8_t> rows;
  ctx.deflateTap = level > 0 ? &rows : nullptr;
  const int length = rowFilters ? OptimizePngWithRowFilters(ctx, gpo, rowFilters) : OptimizePngInContext(ctx, gpo);
  ctx.deflateTap = nullptr;
  if (length == kEncodeFailed || rows.empty() || !gpo->kbuf || length > gpo->kbufsize) return length;
  // A cancel request during the run's last pass skips the second deflate.
  if (gpo->poll && gpo->poll(1) != 0) return length;

  uint8_t* const png = gpo->kbuf;
  const int64_t idat = FindIdat(png, length);
  // Only a compressed pass's stream (zlib header 0x78 0x5E) carries the
  // bytes that were kept; a stored file was filtered afresh.
  if (idat < 0 || ReadBigEndian32(png + idat) < 2 || png[idat + 9] != 0x5E) return length;
  const int64_t oldData = ReadBigEndian32(png + idat);
  std::vector<uint8_t> zlib;
  deflate::OptimalDeflate(rows.data(), rows.size(), deflate::OptimalLevelSettings(level), zlib);
  if (int64_t(zlib.size()) >= oldData) return length;

  // Shift what follows the IDAT down over the bytes saved, then write the
  // new data, its length and its CRC (over type and data).
  const int64_t oldEnd = idat + 12 + oldData;
  const int64_t newEnd = idat + 12 + int64_t(zlib.size());
  std::memmove(png + newEnd, png + oldEnd, size_t(length - oldEnd));
  WriteBigEndian32(png + idat, uint32_t(zlib.size()));
  std::memcpy(png + idat + 8, zlib.data(), zlib.size());
  const uint32_t crc = CrcBytes(ctx, 0xFFFFFFFF, png + idat + 4, zlib.size() + 4) ^ 0xFFFFFFFF;
  WriteBigEndian32(png + newEnd - 4, crc);
  return int(length - (oldEnd - newEnd));
}
