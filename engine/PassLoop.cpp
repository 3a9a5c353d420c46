#include "engine/PassLoop.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <utility>

#include "engine/ImagePass.h"
#include "engine/PngWriter.h"
#include "engine/Progress.h"
#include "engine/deflate/BlockSplitter.h"
#include "engine/deflate/Huffman.h"

namespace {

using deflate::BlockState;
using deflate::kSymbols;

bool SplittingRequested(const EncodeJob& job) { return job.numblocks > 0 || job.splitthreshold > 0.0; }

// The generator behind randomtables: the classic C runtime's linear
// congruential generator, 15-bit draws, seeded per block from the clock.
int DrawRandom15(EngineContext& ctx) {
  ctx.randomState = ctx.randomState * 214013u + 2531011u;
  return int((ctx.randomState >> 16) & 0x7FFF);
}

void SetLiteralOnlyTable(int32_t* lengths) {
  for (int i = 0; i < kSymbols; ++i) lengths[i] = 0;
  for (int i = 0; i < 256; ++i) lengths[i] = 8;
  lengths[128] = 9;
  lengths[deflate::kEndOfBlock] = 9;
}

void SetRandomTable(EngineContext& ctx, int32_t* lengths) {
  ctx.randomState = uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
  int32_t weights[kSymbols] = {};
  for (int i = 0; i < deflate::kLitLenCodes; ++i) weights[i] = (DrawRandom15(ctx) & 0x7FFF) + 16384;
  for (int i = 0; i < deflate::kDistanceCodes; ++i) {
    weights[deflate::kDistanceBase + i] = (DrawRandom15(ctx) & 0x7FFF) + 16384;
  }
  for (int i = 0; i < kSymbols; ++i) lengths[i] = 0;
  const int mintreecodes = ctx.job->mintreecodes;
  deflate::HuffmanLengths(weights, deflate::kLitLenCodes, lengths, 16, mintreecodes);
  deflate::HuffmanLengths(weights + deflate::kDistanceBase, deflate::kDistanceCodes, lengths + deflate::kDistanceBase,
                          16, mintreecodes);
}

// The start code: complete for literal/length and for distance codes once
// 286, 287, 30 and 31 are left out (26 length codes of 7 bits, not the 24
// of the standard's fixed code).
void SetStartTable(int32_t* lengths) {
  for (int i = 0; i < kSymbols; ++i) lengths[i] = 0;
  for (int i = 0; i <= 143; ++i) lengths[i] = 8;
  for (int i = 144; i <= 255; ++i) lengths[i] = 9;
  for (int i = 256; i <= 281; ++i) lengths[i] = 7;
  for (int i = 282; i <= 285; ++i) lengths[i] = 8;
  for (int i = 0; i <= 1; ++i) lengths[deflate::kDistanceBase + i] = 4;
  for (int i = 2; i <= 29; ++i) lengths[deflate::kDistanceBase + i] = 5;
}

void SetStartingTables(EngineContext& ctx) {
  const EncodeJob& job = *ctx.job;
  for (int b = 0; b < ctx.deflate.numBlocks; ++b) {
    int32_t* lengths = ctx.deflate.blocks[b].lengths;
    if (job.strategy >= 3) {
      SetLiteralOnlyTable(lengths);
    } else if (job.randomtables) {
      SetRandomTable(ctx, lengths);
    } else {
      SetStartTable(lengths);
    }
  }
}

void PrintBlockBoundaries(EngineContext& ctx) {
  const int n = ctx.deflate.numBlocks;
  ctx.print("Out:\nBlock boundaries: ");
  if (n == 1) ctx.print("none");
  for (int b = 0; b < n - 1; ++b) {
    if (b > 0) ctx.print(",");
    ctx.print("%x", ctx.deflate.blocks[b].end);
  }
  ctx.print(" (%d block", n);
  if (n > 1) ctx.print("s");
  ctx.print(")\n\n");
}

// Before the first compression pass: block boundaries and starting tables.
bool BeginCompression(EngineContext& ctx) {
  const EncodeJob& job = *ctx.job;
  if (ctx.collected) {
    const int result = deflate::SplitBlocks(ctx, ctx.collected.get(), 0, int(ctx.collectedCount));
    // An image's passes keep their filtered rows in the analysed buffer,
    // which has room for the longest stream; a byte stream has its bytes.
    if (!ctx.streamBytes) ctx.passStream = std::move(ctx.collected);
    ctx.collected.reset();
    ctx.collectedCapacity = 0;
    if (result < 0) return false;
    if (job.verbose) PrintBlockBoundaries(ctx);
  } else {
    ctx.deflate.numBlocks = 1;
    if (job.verbose) ctx.print("\n");
  }
  SetStartingTables(ctx);
  ctx.sink = EngineContext::ByteSink::Deflate;
  return true;
}

void Restore(EngineContext& ctx) {
  const uint8_t* best = ctx.bestSnapshot.data();
  for (int b = 0; b < ctx.deflate.numBlocks; ++b) {
    for (int i = 0; i < kSymbols; ++i) ctx.deflate.blocks[b].lengths[i] = *best++;
  }
  std::memcpy(ctx.palette, ctx.bestPalette, sizeof ctx.palette);
  ctx.finalPass = true;
}

}  // namespace

uint32_t PassFingerprint(const EngineContext& ctx) {
  uint32_t reg = 0xFFFFFFFF;
  const uint8_t* snap = ctx.snapshot.data();
  for (int i = ctx.deflate.numBlocks * kSymbols - 2; i >= 0; i -= 2) {
    reg = CrcByte(ctx, reg, uint8_t(16 * snap[i + 1] + snap[i]));
  }
  if (ctx.colortype == 3) {
    for (int k = 1023; k >= 0; --k) reg = CrcByte(ctx, reg, uint8_t(ctx.palette[k / 4] >> (8 * (k % 4))));
  }
  return reg;
}

namespace {

// The loop would end on a pass whose file is corrupt (a symbol without a
// code word was written): run the best pass once more instead, or, when no
// sound pass exists yet, stop and let the driver write the stored file.
PassVerdict RestoreInsteadOfStopping(EngineContext& ctx) {
  if (ctx.bestSize == 2147483647) return PassVerdict::Stop;
  Restore(ctx);
  return PassVerdict::Continue;
}

}  // namespace

PassVerdict JudgePass(EngineContext& ctx) {
  const int pass = ctx.job->pass;
  const int64_t size = ctx.outPos;
  // A corrupt pass never counts as good enough to end on, and never becomes
  // the best; sound passes are judged exactly as without this guard.
  const bool sound = !ctx.passInvalid;
  if (ctx.finalPass) return PassVerdict::Stop;
  if (ctx.deflate.savedBits < 1) {
    if (sound && size <= ctx.bestSize) return PassVerdict::Stop;
    if (RestoreInsteadOfStopping(ctx) == PassVerdict::Stop) return PassVerdict::Stop;
  }
  if (!ctx.finalPass) {
    if (pass >= 1024) return sound ? PassVerdict::Stop : RestoreInsteadOfStopping(ctx);
    ctx.sizeHistory[pass] = size;
    if (sound && size < ctx.bestSize) {
      ctx.bestSize = size;
      std::memcpy(ctx.bestSnapshot.data(), ctx.snapshot.data(), size_t(ctx.deflate.numBlocks) * kSymbols);
      std::memcpy(ctx.bestPalette, ctx.palette, sizeof ctx.bestPalette);
    }
    const uint32_t fingerprint = PassFingerprint(ctx);
    ctx.fingerprints[pass] = fingerprint;
    for (int j = pass - 1; j >= 0; --j) {
      if (ctx.fingerprints[j] != fingerprint || ctx.sizeHistory[j] != size) continue;
      if (sound && size <= ctx.bestSize) return PassVerdict::Stop;
      if (RestoreInsteadOfStopping(ctx) == PassVerdict::Stop) return PassVerdict::Stop;
      break;
    }
  }
  if (ctx.poll(0) != 0) {
    ctx.print("\nEarly ESC! ");
    if (sound) return PassVerdict::Stop;
    return ctx.finalPass ? PassVerdict::Continue : RestoreInsteadOfStopping(ctx);
  }
  return PassVerdict::Continue;
}

bool SetUpPasses(EngineContext& ctx) {
  EncodeJob& job = *ctx.job;
  if (SplittingRequested(job)) {
    PublishPass(job, -1);
    ctx.sink = EngineContext::ByteSink::Collector;
    const int64_t size = (4 * int64_t(job.width) + 1) * job.height;
    // Room for four bytes a pixel, the most any colour type sends.  The
    // stream itself never outgrows the output estimate, which already fits
    // 32-bit positions, so a buffer beyond 2 GB is no reason to refuse.
    if (uint64_t(size) <= SIZE_MAX) ctx.collected = MallocArray<uint8_t>(size_t(size));
    if (!ctx.collected) {
      ctx.print("\rmalloc failed");
      return false;
    }
    ctx.collectedCapacity = size;
    ctx.collectedCount = 0;
    ctx.deflate.numBlocks = 1;
  } else {
    PublishPass(job, 0);
  }
  ctx.bestSize = 2147483647;
  ctx.finalPass = false;
  PreparePercent(ctx, job.height);
  return true;
}

bool RunPassLoop(EngineContext& ctx, PassFeeder encodePass) {
  EncodeJob& job = *ctx.job;
  for (;;) {
    if (job.pass == 0 && !BeginCompression(ctx)) return false;
    if (job.pass >= 0) TakeSnapshot(ctx);
    ctx.print("\r");
    PublishPercent(job, -1);
    if (!encodePass(ctx)) return false;
    PublishPass(job, job.pass + 1);
    if (job.pass < 1) continue;
    if (JudgePass(ctx) == PassVerdict::Stop) return true;
  }
}
