#include "engine/deflate/DeflateBytes.h"

#include <cstdlib>

#include "engine/PassLoop.h"
#include "engine/PngWriter.h"
#include "engine/Progress.h"
#include "engine/deflate/Adler32.h"
#include "engine/deflate/BlockWriter.h"

namespace {

// Bytes of the IDAT frame around the zlib stream in a pass's output:
// length and type before it, CRC and the 12 bytes of IEND after it.
constexpr int64_t kFrameBefore = 8;
constexpr int64_t kFrameAfter = 16;

int64_t StoredStreamSize(int64_t size) {
  const int64_t blocks = size == 0 ? 1 : (size + 65534) / 65535;
  return 2 + 5 * blocks + size + 4;
}

// One pass over the caller's bytes into the current sink, framed like an
// image pass: an IDAT chunk at position 0, closed (with IEND) by the
// compressor after the last byte.
bool EncodeBytePass(EngineContext& ctx) {
  ctx.outPos = 0;
  ctx.idatStart = 0;
  PutBigEndian32(ctx, 0);
  deflate::DeflateStart(ctx);
  const bool collecting = ctx.sink == EngineContext::ByteSink::Collector;
  const int64_t rowLength = ctx.streamRowLength;
  int64_t done = 0;
  for (int y = 0; done < ctx.streamSize; ++y) {
    ReportRowProgress(ctx, y);
    if (ctx.poll(1) != 0) return false;
    const int64_t n = ctx.streamSize - done < rowLength ? ctx.streamSize - done : rowLength;
    const uint8_t* row = ctx.streamBytes + done;
    if (collecting) {
      for (int64_t i = 0; i < n; ++i) ctx.collected[ctx.collectedCount++] = row[i];
    } else {
      deflate::DeflateBytes(ctx, row, n);
    }
    done += n;
  }
  if (!collecting) deflate::DeflateFinish(ctx);
  return true;
}

void AppendStoredStream(const uint8_t* data, size_t size, std::vector<uint8_t>& zlib) {
  zlib.clear();
  zlib.reserve(size_t(StoredStreamSize(int64_t(size))));
  zlib.push_back(0x78);
  zlib.push_back(0x01);
  size_t done = 0;
  do {
    const size_t n = size - done < 65535 ? size - done : 65535;
    zlib.push_back(done + n == size ? 1 : 0);
    zlib.push_back(uint8_t(n));
    zlib.push_back(uint8_t(n >> 8));
    zlib.push_back(uint8_t(~n));
    zlib.push_back(uint8_t(~n >> 8));
    zlib.insert(zlib.end(), data + done, data + done + n);
    done += n;
  } while (done < size);
  uint32_t adler = 1;
  for (size_t i = 0; i < size; ++i) adler = deflate::AdlerByte(adler, data[i]);
  for (int shift = 24; shift >= 0; shift -= 8) zlib.push_back(uint8_t(adler >> shift));
}

int Finish(EngineContext& ctx, int result) {
  ctx.collected.reset();
  ctx.collectedCapacity = 0;
  std::free(ctx.job->kbuf);
  ctx.job->kbuf = nullptr;
  ctx.job->kbufsize = 0;
  ctx.streamBytes = nullptr;
  return result;
}

}  // namespace

int DeflateBytesInContext(EngineContext& ctx, EncodeJob* gpo, const uint8_t* data, size_t size, int rowLength,
                          std::vector<uint8_t>& zlib) {
  if (size == 0 || size > kMaxDeflateBytes || rowLength < 1) return kEncodeFailed;
  StartRun(ctx, gpo);
  // Not a palette: the pass fingerprint covers the code lengths only.
  ctx.colortype = 0;
  ctx.streamBytes = data;
  ctx.streamSize = int64_t(size);
  ctx.streamRowLength = rowLength;
  // The rows the progress counts, and a width whose pre-pass buffer
  // ((4 * width + 1) * height) holds every byte.
  gpo->height = int((int64_t(size) + rowLength - 1) / rowLength);
  gpo->width = int((int64_t(rowLength) + 3) / 4);
  gpo->chunkpre = gpo->chunkmid = gpo->chunkpost = gpo->chunkcount = 0;

  const int64_t stored = StoredStreamSize(int64_t(size));
  if (gpo->strategy == 4) {
    AppendStoredStream(data, size, zlib);
    return Finish(ctx, int(zlib.size()));
  }
  // Room for the framed stream as long as it is no larger than stored
  // blocks; a longer pass is counted but not kept, and stored blocks win.
  gpo->kbufsize = int(stored + kFrameBefore + kFrameAfter);
  gpo->kbuf = static_cast<uint8_t*>(std::malloc(size_t(gpo->kbufsize)));
  if (!gpo->kbuf) {
    ctx.print("\rmalloc failed (gpo->kbuf)");
    return Finish(ctx, kEncodeFailed);
  }
  BuildCrcTable(ctx);
  if (!SetUpPasses(ctx) || !RunPassLoop(ctx, EncodeBytePass)) return Finish(ctx, kEncodeFailed);
  // As in an image run, a loop that could only end on a corrupt pass leaves
  // stored blocks as the one sound result.
  const int64_t length = ctx.outPos - kFrameBefore - kFrameAfter;
  if (ctx.passInvalid || ctx.outPos > gpo->kbufsize || length >= stored) {
    AppendStoredStream(data, size, zlib);
  } else {
    zlib.assign(gpo->kbuf + kFrameBefore, gpo->kbuf + kFrameBefore + length);
  }
  return Finish(ctx, int(zlib.size()));
}
