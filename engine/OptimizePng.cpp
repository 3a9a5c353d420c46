// The driver: the stages of one run in order, and the entry points.
//
// Analysis (colour type, bit depth, palette, filter), the results published
// in the job, the analysis-only checkpoint, the output buffer, then the
// passes and, when compression did not pay or was not asked for, the stored
// file.  Every failure releases what the run allocated (except kbuf, which
// stays the caller's) and answers kEncodeFailed; its reason is the last
// text printed.

#include <chrono>
#include <cstdlib>
#include <mutex>

#include "engine/AdaptiveFilter.h"
#include "engine/ColorAnalysis.h"
#include "engine/ImagePass.h"
#include "engine/OutputBuffer.h"
#include "engine/Palette.h"
#include "engine/PassLoop.h"
#include "engine/PngWriter.h"
#include "engine/Progress.h"

namespace {

void ReleaseRunBuffers(EngineContext& ctx) {
  ReleaseEntropyTable(ctx);
  ctx.collected.reset();
  ctx.collectedCapacity = 0;
  ReleasePassStream(ctx);
  ctx.olinbuf.reset();
}

int Fail(EngineContext& ctx) {
  ReleaseRunBuffers(ctx);
  return kEncodeFailed;
}

// Rows given one filter type each report as that filter when they all agree
// (and then behave exactly like it, palette reorder included), as adaptive
// otherwise.
int SelectionOfRowFilters(const uint8_t* rowFilters, int height) {
  for (int y = 1; y < height; ++y) {
    if (rowFilters[y] != rowFilters[0]) return 5;
  }
  return rowFilters[0];
}

bool Analyse(EngineContext& ctx) {
  if (ctx.job->colortype != 6 && !ScanColors(ctx)) return false;
  // Above 5 is outside the contract; it is taken as automatic rather than
  // written as an undefined PNG filter type.
  if (ctx.filter < 0 || ctx.filter > 5) ctx.filter = ctx.colortype == 3 ? 0 : 5;
  if (ctx.rowFilters) ctx.filter = SelectionOfRowFilters(ctx.rowFilters, ctx.job->height);
  for (int i = 0; i < ctx.palcount; ++i) ctx.palette[i] = ctx.job->pal[i];
  switch (ctx.colortype) {
    case 0: return ReduceGrey(ctx);
    case 3: return BuildPalette(ctx);
    default: return ReduceTrueColor(ctx);
  }
}

void ReportChoice(EngineContext& ctx) {
  ctx.print(" /c%d /f%d", ctx.colortype, ctx.filter);
  if (ctx.colortype == 0) ctx.print(" /d%d", ctx.bitdepth);
  if (ctx.colortype == 3) ctx.print(" /d%d, %d colors", ctx.bitdepth, ctx.entriesNeeded);
}

void PublishChoice(EngineContext& ctx) {
  EncodeJob& job = *ctx.job;
  job.outpal = ctx.palette;
  job.outpalcount = ctx.palcount;
  job.outfilter = ctx.filter;
  job.outcolortype = ctx.colortype;
  job.outbitdepth = ctx.bitdepth;
}

}  // namespace

int OptimizePngInContext(EngineContext& ctx, EncodeJob* gpo) {
  StartRun(ctx, gpo);
  // An image without pixels (or without its pixel rows) has no PNG; writing
  // one anyway would report a broken file as a success.
  if (gpo->width < 1 || gpo->height < 1 || gpo->pixels == nullptr) return Fail(ctx);
  if (!Analyse(ctx)) return Fail(ctx);
  ReportChoice(ctx);
  PublishChoice(ctx);
  if (ctx.poll(2) != 0) return Fail(ctx);

  ctx.sizeEstimate = SizeEstimate(ctx);
  if (!PrepareOutputBuffer(ctx)) return Fail(ctx);
  const auto started = std::chrono::steady_clock::now();
  BuildCrcTable(ctx);

  const bool stored = gpo->strategy == 4;
  if (!stored) {
    if (!SetUpPasses(ctx)) return Fail(ctx);
    if (!RunPassLoop(ctx, EncodeImagePass)) return Fail(ctx);
    ReleasePassStream(ctx);
  }
  // A loop that could only end on a corrupt pass (see JudgePass) leaves the
  // stored file as the one sound result.
  if (stored || ctx.outPos > ctx.sizeEstimate || ctx.passInvalid) {
    if (!CheckPassFormat(ctx)) return Fail(ctx);
    if (!PrepareStoredBuffer(ctx)) return Fail(ctx);
    if (!WriteStoredFile(ctx)) return Fail(ctx);
  }

  if (gpo->verbose) {
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    ctx.print("Took %.3f sec.\n", took.count());
  }
  ReleaseRunBuffers(ctx);
  return int(ctx.outPos);
}

int OptimizePng(EncodeJob* gpo) {
  // One run at a time through this entry; the context outlives the run so
  // that outpal stays readable until the next one starts.
  static std::mutex runLock;
  std::lock_guard<std::mutex> hold(runLock);
  static EngineContext context;
  return OptimizePngInContext(context, gpo);
}

void FreeEncodeBuffer(uint8_t* kbuf) { std::free(kbuf); }
