#include "engine/deflate/BlockSplitter.h"

#include <utility>

#include "engine/CorrectlyRoundedLog.h"
#include "engine/EngineContext.h"

namespace deflate {
namespace {

constexpr double kB = (1 - 0.2724914) * 0.2724914;  // 0.19823983692603997
constexpr double kA = 2 * 0.0797141 * kB;           // 0.03160502036941208
constexpr int kPollInterval = 65536;

// ln((k + 1) / k), closely enough for comparing cuts and cheap to evaluate
// for every position.
double LogStep(double k) {
  const double kk = k * (k + 1);
  return ((kk + kA) * (k + 0.5)) / ((kk + kB) * kk);
}

// Finds the cut of block b and records it (position and gain).
int CutBlock(EngineContext& ctx, const uint8_t* collected, int b) {
  BlockState& block = ctx.deflate.blocks[b];
  const int result = FindSplit(ctx, collected + block.start, block.end - block.start, &block.gain);
  if (result >= 0) block.splitpos = block.start + result;
  return result;
}

// Appends a block covering [from, to) of the chosen parent.
int AppendBlock(EngineContext& ctx, int from, int to, int parent) {
  const int k = ctx.deflate.numBlocks++;
  BlockState& block = ctx.deflate.blocks[k];
  block.start = from;
  block.end = to;
  block.splitpos = from;
  block.parent = parent;
  block.gain = 0;
  return k;
}

// Exactly `wanted` blocks (fewer only when blocks become too short): always
// cut the block whose best cut saves the most.
int SplitIntoCount(EngineContext& ctx, const uint8_t* collected, int wanted) {
  BlockState* blocks = ctx.deflate.blocks.get();
  if (CutBlock(ctx, collected, 0) < 0) return -1;
  while (ctx.deflate.numBlocks < wanted) {
    int chosen = 0;
    for (int b = ctx.deflate.numBlocks - 1; b >= 0; --b) {
      if (blocks[b].gain > blocks[chosen].gain) chosen = b;
    }
    if (blocks[chosen].end - blocks[chosen].start < 2) break;
    const int added = AppendBlock(ctx, blocks[chosen].splitpos, blocks[chosen].end, chosen);
    if (CutBlock(ctx, collected, added) < 0) return -1;
    blocks[chosen].end = blocks[chosen].splitpos;
    if (CutBlock(ctx, collected, chosen) < 0) return -1;
  }
  return 0;
}

// Cuts wherever a cut saves more than the threshold.  Each block is tried
// itself and then its parent once more, because the parent's remaining part
// has changed and may now be worth cutting again.
int SplitByThreshold(EngineContext& ctx, const uint8_t* collected, double threshold) {
  BlockState* blocks = ctx.deflate.blocks.get();
  for (int i = 0; i < ctx.deflate.numBlocks; ++i) {
    int j = i;
    for (int tries = 0; tries < 2 && j != -1; ++tries) {
      const int result = CutBlock(ctx, collected, j);
      if (result < 0) return -1;
      if (result > 0 && blocks[j].gain > threshold) {
        AppendBlock(ctx, blocks[j].start + result, blocks[j].end, j);
        blocks[j].end = blocks[j].start + result;
        if (ctx.deflate.numBlocks >= kMaxBlocks) return 0;
      }
      j = blocks[j].parent;
    }
  }
  return 0;
}

// Block k of every pass ends at the k-th smallest end.  Only the ends are
// sorted; the passes read nothing else of the table's placement.
void SortBlockEnds(EngineContext& ctx) {
  BlockState* blocks = ctx.deflate.blocks.get();
  const int n = ctx.deflate.numBlocks;
  for (int gap = n / 2; gap > 0; gap /= 2) {
    for (int i = 0; i + gap < n; ++i) {
      for (int j = i; j >= 0 && blocks[j].end > blocks[j + gap].end; j -= gap) {
        std::swap(blocks[j].end, blocks[j + gap].end);
      }
    }
  }
}

}  // namespace

int FindSplit(EngineContext& ctx, const uint8_t* bytes, int n, double* gain) {
  if (n < 2) return 0;
  int total[256] = {};
  int left[256] = {};
  double leftTerm[256], rightTerm[256], combined[256];
  for (int i = 0; i < n; ++i) ++total[bytes[i]];
  for (int b = 0; b < 256; ++b) {
    leftTerm[b] = 0;
    rightTerm[b] = total[b] > 0 ? CorrectlyRoundedLog(double(total[b])) : 0;
    combined[b] = total[b] * rightTerm[b];
  }
  double leftLog = 0;
  double rightLog = CorrectlyRoundedLog(double(n - 1));
  double model = n * CorrectlyRoundedLog(double(n));
  double sum = 0;
  double best = 1e32;
  int result = 0;
  for (int i = 0; i <= n - 2; ++i) {
    const int b = bytes[i];
    const int k = i + 1;
    const double old = combined[b] - model;
    const int l = ++left[b];
    leftTerm[b] += LogStep(l);
    const int r = total[b] - l;
    if (r > 0) rightTerm[b] -= LogStep(r);
    combined[b] = r * rightTerm[b] + l * leftTerm[b];
    const int m = n - k;
    model = m * rightLog + k * leftLog;
    leftLog += LogStep(k);
    rightLog -= LogStep(m);
    sum = (old + sum) - (combined[b] - model);
    if (sum < best) {
      best = sum;
      result = k;
    }
    if (i % kPollInterval == 0 && ctx.poll(1) != 0) return -1;
  }
  *gain = best * (-0.125 / CorrectlyRoundedLog(2.0));
  return result;
}

int SplitBlocks(EngineContext& ctx, const uint8_t* collected, int start, int end) {
  EncodeJob& job = *ctx.job;
  if (job.numblocks > kMaxBlocks) job.numblocks = kMaxBlocks;
  ctx.deflate.numBlocks = 0;
  AppendBlock(ctx, start, end, -1);
  int status = 0;
  if (job.numblocks >= 2) {
    status = SplitIntoCount(ctx, collected, job.numblocks);
  } else if (job.numblocks <= 0 && job.splitthreshold > 0) {
    status = SplitByThreshold(ctx, collected, job.splitthreshold);
  }
  if (status < 0) return -1;
  SortBlockEnds(ctx);
  return 0;
}

}  // namespace deflate
