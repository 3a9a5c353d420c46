#include "engine/OutputBuffer.h"

#include <cstdlib>

#include "engine/PngWriter.h"

namespace {

constexpr int64_t kFixedOverhead = 2111;  // signature, IHDR, IDAT frame, zlib, bKGD, IEND

int64_t KeptChunkBytes(const EncodeJob& job) {
  int64_t total = 0;
  for (int i = 0; i < job.chunkcount; ++i) {
    total += int64_t(KeptChunkLength(job.chunks[i])) + 12;
  }
  return total;
}

// Block headers beyond the first that a stored row of this length needs.
int64_t ExtraStoredBlockBytes(int64_t rowLength) { return 5 * ((rowLength - 1) / kMaxStoredBlockBytes); }

}  // namespace

int64_t SizeEstimate(const EngineContext& ctx) {
  const EncodeJob& job = *ctx.job;
  const int64_t w = job.width;
  const int64_t h = job.height;
  const bool hasKey = ctx.key != 0xFFFFFFFF;
  int64_t estimate = kFixedOverhead + KeptChunkBytes(job);
  int64_t rowLength = 0;  // filter byte included
  switch (ctx.colortype) {
    case 0:
      rowLength = (w * ctx.bitdepth + 7) / 8 + 1;
      estimate += hasKey ? 14 : 0;
      break;
    case 2:
      rowLength = 3 * w + 1;
      estimate += hasKey ? 18 : 0;
      break;
    case 3:
      rowLength = (w * ctx.bitdepth + 7) / 8 + 1;
      estimate += 24 + 4 * int64_t(ctx.palcount);
      break;
    case 4: rowLength = 2 * w + 1; break;
    case 6: rowLength = 4 * w + 1; break;
    default: return estimate;  // the run fails when its first pass starts
  }
  return estimate + (rowLength + 5 + ExtraStoredBlockBytes(rowLength)) * h;
}

bool PrepareOutputBuffer(EngineContext& ctx) {
  EncodeJob& job = *ctx.job;
  const int64_t estimate = ctx.sizeEstimate;
  // A file beyond 2 GB cannot be described by the engine's 32-bit result;
  // such a job is refused like a buffer that cannot be had.
  if (estimate > 2147483647) {
    ctx.print("\rmalloc failed (gpo->kbuf)");
    return false;
  }
  if (estimate < job.kbufsize) job.kbufsize = int(estimate);
  if (job.kbuf == nullptr) {
    if (job.kbufsize == 0) job.kbufsize = int(estimate);
    if (job.kbufsize > 0) job.kbuf = static_cast<uint8_t*>(std::malloc(size_t(job.kbufsize)));
    if (job.kbuf == nullptr) {
      ctx.print("\rmalloc failed (gpo->kbuf)");
      return false;
    }
  }
  return true;
}

bool PrepareStoredBuffer(EngineContext& ctx) {
  EncodeJob& job = *ctx.job;
  const int64_t estimate = ctx.sizeEstimate;
  if (job.kbufsize >= estimate) return true;
  std::free(job.kbuf);
  job.kbuf = nullptr;
  job.kbufsize = int(estimate);
  job.kbuf = static_cast<uint8_t*>(std::malloc(size_t(job.kbufsize)));
  if (job.kbuf == nullptr) {
    job.kbufsize = 0;
    ctx.print("\r!malloc failed (gpo->kbuf)");
    return false;
  }
  return true;
}
