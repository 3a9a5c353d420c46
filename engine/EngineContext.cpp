#include "engine/EngineContext.h"

#include "engine/AdaptiveFilter.h"
#include "engine/Progress.h"

namespace {

int PrintNothing(const char*, ...) { return 0; }
int NeverStop(int) { return 0; }

}  // namespace

EngineContext::EngineContext()
    : parser(deflate::CreateParserState()),
      snapshot(size_t(deflate::kMaxBlocks) * deflate::kSymbols),
      bestSnapshot(size_t(deflate::kMaxBlocks) * deflate::kSymbols) {
  deflate.blocks.reset(new deflate::BlockState[deflate::kMaxBlocks]());
}

EngineContext::~EngineContext() = default;

void ReleasePassStream(EngineContext& ctx) {
  ctx.passStream.reset();
  ctx.passStreamCount = 0;
  ctx.passStreamRowStart = 0;
  ctx.passStreamWhole = false;
}

void StartRun(EngineContext& ctx, EncodeJob* gpo) {
  ctx.job = gpo;
  ctx.print = gpo->print ? gpo->print : PrintNothing;
  ctx.poll = gpo->poll ? gpo->poll : NeverStop;
  // A palette count outside 0..256 (or without a palette) is outside the
  // job's contract; it is read as the entries that can actually be copied.
  int palcount = gpo->palcount < 0 ? 0 : (gpo->palcount > 256 ? 256 : gpo->palcount);
  if (gpo->pal == nullptr) palcount = 0;
  ctx.palcount = palcount;
  ctx.colortype = gpo->colortype;
  ctx.filter = gpo->filter;
  ctx.bitdepth = gpo->bitdepth;
  PublishPercent(*gpo, 0);
  PublishPass(*gpo, 0);
  ctx.key = 0xFFFFFFFF;

  // Nothing of an earlier run may leak into this one.
  ctx.deflate.numBlocks = 1;
  ctx.deflate.savedBits = 0;
  ctx.sink = EngineContext::ByteSink::Deflate;
  ctx.finalPass = false;
  ctx.passInvalid = false;
  ctx.bestSize = 2147483647;
  for (int64_t& s : ctx.sizeHistory) s = 0;
  for (uint32_t& f : ctx.fingerprints) f = 0;
  ctx.outPos = 0;
  ctx.olinbuf.reset();
  ctx.collected.reset();
  ctx.collectedCapacity = 0;
  ctx.collectedCount = 0;
  ReleasePassStream(ctx);
  ReleaseEntropyTable(ctx);
}
