#include "engine/deflate/LzParser.h"

#include <algorithm>
#include <cstring>

#include "engine/EngineContext.h"
#include "engine/deflate/BlockWriter.h"
#include "engine/deflate/Huffman.h"
#include "engine/deflate/ParserCore.h"

namespace deflate {

void ParserStateDeleter::operator()(ParserState* state) const {
  delete[] state->pool;
  delete state;
}

ParserStatePtr CreateParserState() {
  ParserStatePtr state(new ParserState());
  state->pool = new uint16_t[kPoolSize];  // left uninitialised on purpose
  return state;
}

namespace {

// The parser lags this far behind the input so that a match of up to 258
// bytes can always be verified (and the 32-bit loads stay on received data).
constexpr int kLookahead = 260;
static_assert(kMaxParseInput + kLookahead + kWindow + kMaxMatch <= kRingSize,
              "a whole input piece must fit the ring beside the bytes the search still reads");

// Bits of one length or distance code in the current block: code word plus
// extra bits, or a prohibitive cost when the block's code has no word for it.
int32_t SymbolCost(int32_t codeLength, int extraBits) {
  return codeLength > 0 ? codeLength + extraBits : kNoCodeCost;
}

void UpdateRelaxLimit(EngineContext& ctx, ParserState& ps) {
  const DeflateState& d = ctx.deflate;
  const int32_t blockEnd = d.blockIndex < d.numBlocks ? d.blocks[d.blockIndex].end : 2147483647;
  ps.relaxLimit = std::min(ps.inputTotal, blockEnd);
}

void ResetCostRing(ParserState& ps, int32_t startPosition) {
  std::fill(ps.cost, ps.cost + kCostRingSize, kUnreachable);
  ps.cost[startPosition & kCostRingMask] = kBlockStartCost;
  ps.offersAt[0] = ps.offersAt[1] = kNoRelaxRecord;  // the slots they reached are gone
}

// Every candidate path now ends at the current position: write the steps
// since the last commit, in stream order.
void Commit(EngineContext& ctx, ParserState& ps) {
  const int32_t end = ps.current;
  int steps = 0;
  for (int32_t t = end; t > ps.committed; t -= StepLength(ps.path[t & kPathRingMask]))
    ps.traceBuffer[steps++] = ps.path[t & kPathRingMask];
  while (steps > 0) {
    const PathStep step = ps.traceBuffer[--steps];
    if (StepLength(step) == 1) EmitLiteral(ctx, StepValue(step));
    else EmitMatch(ctx, StepLength(step), StepValue(step));
  }
  ps.committed = end;
  // Every later cost grows from this one alone (nothing reaches past it yet),
  // so restarting it at the bottom of the range changes no comparison and
  // keeps the 32-bit costs of a long block from overflowing.
  ps.cost[end & kCostRingMask] = kBlockStartCost;

  // A loop, not a test: a block that ends where it starts (never made by
  // the splitter, but cheap to survive) is closed here too.
  DeflateState& d = ctx.deflate;
  while (d.blockIndex < d.numBlocks && end == d.blocks[d.blockIndex].end) {
    EndBlock(ctx);
    ResetCostRing(ps, end);
    UpdateRelaxLimit(ctx, ps);
  }
}

// Positions inside a stretch the parser need not search: they still enter
// the hash chains and run counters, but get no match list.
void SkipTo(ParserState& ps, int strategy, int32_t end) {
  for (int32_t q = ps.current; q < end; ++q) {
    ps.cost[q & kCostRingMask] = kUnreachable;
    InsertIntoChain(ps, q);
    if (strategy < 3) {
      UpdateRunCounter(ps, q);
      ps.lists[q & kWindowMask] = kEmptyList;
      for (auto& leaps : ps.shortLeaps) leaps[q & kWindowMask] = 0;
      ps.prevTailCount = 0;
      ps.lastSkipped = q;
    }
  }
  ps.current = end;
}

void ProcessPosition(EngineContext& ctx, ParserState& ps, int strategy) {
  int32_t p = ps.current;
  const int32_t costP = ps.cost[p & kCostRingMask];
  ps.cost[p & kCostRingMask] = kUnreachable;  // the slot now serves p + 512

  if (strategy < 3) SearchPosition(ps, ctx.deflate.tables, strategy, p, costP);

  // The literal is always a candidate; mark it seen so that the next pass's
  // code has a word for it even when this pass never writes it.
  const uint8_t b = RingByte(ps, p);
  ++p;
  ctx.deflate.blocks[ctx.deflate.blockIndex].counts[b] |= 0x80000000u;
  const int32_t literal = costP + ps.literalCost[b];
  int32_t& slot = ps.cost[p & kCostRingMask];
  if (literal <= slot) {
    slot = literal;
    ps.path[p & kPathRingMask] = MakeStep(1, b);
    if (p > ps.furthest) ps.furthest = p;
  }
  ps.current = p;

  const bool skip = strategy == 2 || (strategy != 0 && p + kMaxMatch <= ps.furthest) ||
                    p + kLookahead - ps.committed >= kPathRingSize;
  if (skip) SkipTo(ps, strategy, ps.furthest);
  if (ps.current == ps.furthest) Commit(ctx, ps);
}

}  // namespace

void DeflateInit(EngineContext& ctx) {
  ParserState& ps = *ctx.parser;
  ResetCostRing(ps, 0);
  std::fill(ps.hashHead, ps.hashHead + kHashSize, kNoPosition);
  std::fill(ps.fourByteHead, ps.fourByteHead + kHashSize, kNoPosition);
  // Window slots are written only for positions a pass received, so the
  // slots past the longest input since the last clearing are clean still:
  // small images (many short passes) do not pay for the whole window.
  const int32_t received = std::min(ps.inputTotal, int32_t(kWindow));
  ps.chainSlotsUsed = std::max(ps.chainSlotsUsed, received);
  ps.listSlotsUsed = std::max(ps.listSlotsUsed, received);
  std::fill(ps.chain, ps.chain + ps.chainSlotsUsed, kNoPosition);
  std::fill(ps.fourByteChain, ps.fourByteChain + ps.chainSlotsUsed, kNoPosition);
  ps.chainSlotsUsed = 0;
  if (ctx.job->strategy < 3) {
    std::fill(ps.lists, ps.lists + ps.listSlotsUsed, kEmptyList);
    for (auto& leaps : ps.shortLeaps) std::fill(leaps, leaps + ps.listSlotsUsed, uint16_t(0));
    ps.listSlotsUsed = 0;
    ps.prevTailCount = -1;
    ps.poolFill = 0;
    ps.prevTailStart = 0;
    ps.lastByte = 0;
    ps.runEnd = 0;
    ps.runCounter = -1;
  }
  ps.lastSkipped = kNoPosition;
  ps.inputTotal = 0;
  ps.current = 0;
  ps.furthest = 0;
  ps.committed = 0;

  DeflateState& d = ctx.deflate;
  d.savedBits = 0;
  d.blockIndex = 0;
  d.blocks[d.numBlocks - 1].end = 2147483647;
  PrepareBlock(ctx, 0);
  UpdateRelaxLimit(ctx, ps);
}

void PrepareBlock(EngineContext& ctx, int block) {
  ParserState& ps = *ctx.parser;
  BlockState& blk = ctx.deflate.blocks[block];
  std::fill(blk.counts, blk.counts + kSymbols, 0u);
  const int32_t* lengths = blk.lengths;

  // A literal without a code word must never look cheap: it could not be
  // written at all.
  for (int b = 0; b < 256; ++b) ps.literalCost[b] = SymbolCost(lengths[b], 0);
  int32_t lengthCodeCost[29];
  for (int c = 0; c < 29; ++c)
    lengthCodeCost[c] = SymbolCost(lengths[kEndOfBlock + 1 + c], kLengthCodes[c].extraBits);
  for (int len = kMinMatch; len <= kMaxMatch; ++len)
    ps.lengthCost[len] = lengthCodeCost[ctx.deflate.tables.LengthCode(len)];
  for (int d = 0; d < kDistanceCodes; ++d)
    ps.distanceCodeCost[d] = SymbolCost(lengths[kDistanceBase + d], kDistanceCodeInfo[d].extraBits);

  ps.lengthRises = 0;
  for (int len = kMinMatch; len < kMaxMatch; ++len) {
    const int32_t rise = ps.lengthCost[len + 1] - ps.lengthCost[len];
    if (rise <= 0) continue;
    ps.lengthRise[ps.lengthRises++] = {rise, len};
  }
  std::sort(ps.lengthRise, ps.lengthRise + ps.lengthRises,
            [](const LengthRise& a, const LengthRise& b) { return a.rise > b.rise; });

  if (ctx.job->strategy == 0) {
    for (int d = 0; d < kDistanceCodes; ++d) {
      int e = d + 1;
      while (e < kDistanceCodes && ps.distanceCodeCost[e] >= ps.distanceCodeCost[d]) ++e;
      ps.nextCheaper[d] = uint8_t(e);
    }
  }

  uint32_t* codes = ctx.deflate.codes;
  std::fill(codes, codes + kSymbols, 0u);
  CanonicalCodes(lengths, kLitLenCodes, codes);
  CanonicalCodes(lengths + kDistanceBase, kDistanceCodes, codes + kDistanceBase);
}

void LzParse(EngineContext& ctx, const uint8_t* bytes, int n) {
  ParserState& ps = *ctx.parser;
  for (int i = 0; i < n; ++i) {
    const int index = ps.inputTotal & kRingMask;
    ps.ring[index] = bytes[i];
    if (index < kRingTail) ps.ring[kRingSize + index] = bytes[i];
    ++ps.inputTotal;
  }
  UpdateRelaxLimit(ctx, ps);
  const int32_t limit = n == 0 ? ps.inputTotal : ps.inputTotal - kLookahead;
  const int strategy = std::min(ctx.job->strategy, 3);
  while (ps.current < limit) ProcessPosition(ctx, ps, strategy);
}

}  // namespace deflate
