#include "engine/deflate/BlockWriter.h"

#include "engine/EngineContext.h"
#include "engine/PngWriter.h"
#include "engine/deflate/Adler32.h"
#include "engine/deflate/Huffman.h"
#include "engine/deflate/LzParser.h"

namespace deflate {

namespace {

void WriteBlockHeader(EngineContext& ctx) {
  DeflateState& d = ctx.deflate;
  PutBits(ctx, d.blockIndex == d.numBlocks - 1 ? 1 : 0, 1);
  PutBits(ctx, 2, 2);  // dynamic Huffman codes
  WriteTreeHeader(ctx, d.blocks[d.blockIndex].lengths);
}

// A symbol without a code word (length 0) cannot be written; the pass goes
// on so that it is still measured, but is marked so that the pass loop never
// delivers its file.
inline void WriteSymbol(EngineContext& ctx, BlockState& block, int symbol) {
  if (block.lengths[symbol] == 0) ctx.passInvalid = true;
  ++block.counts[symbol];
  PutBits(ctx, ctx.deflate.codes[symbol], block.lengths[symbol]);
}

// A count whose only bit is the parser's seen mark belongs to a literal that
// was a candidate but never written: it still gets a code (count 1) so that
// the next pass can choose it.
void NormaliseCounts(BlockState& block, int32_t* counts) {
  for (int i = 0; i < kSymbols; ++i) {
    const uint32_t c = block.counts[i];
    block.counts[i] = c == 0x80000000u ? 1 : c & 0x7FFFFFFF;
    counts[i] = int32_t(block.counts[i]);
  }
}

// Quotient and remainder by 8 rounded toward minus infinity (remainder
// 0..7): C++20 defines the shift of a negative value as arithmetic.
int64_t FloorDiv8(int64_t v) { return v >> 3; }
int64_t FloorMod8(int64_t v) { return v & 7; }

}  // namespace

void PutBits(EngineContext& ctx, uint32_t value, int count) {
  DeflateState& d = ctx.deflate;
  d.bitBuffer |= value << d.bitCount;
  d.bitCount += count;
  while (d.bitCount >= 8) {
    const uint8_t b = uint8_t(d.bitBuffer);
    PutByte(ctx, b);
    d.crc = CrcByte(ctx, d.crc, b);
    d.bitBuffer >>= 8;
    d.bitCount -= 8;
  }
}

void DeflateStart(EngineContext& ctx) {
  DeflateState& d = ctx.deflate;
  d.crc = 0xFFFFFFFF;
  d.bitBuffer = 0;
  d.bitCount = 0;
  PutBits(ctx, 'I' | ('D' << 8) | ('A' << 16) | (uint32_t('T') << 24), 32);
  PutBits(ctx, 0x78, 8);  // CMF: deflate, 32 KB window
  PutBits(ctx, 0x5E, 8);  // FLG: check bits, level "default"
  d.adler = 1;
  ctx.passInvalid = false;
  DeflateInit(ctx);
  WriteBlockHeader(ctx);
}

void DeflateByte(EngineContext& ctx, uint8_t b) {
  ctx.deflate.adler = AdlerByte(ctx.deflate.adler, b);
  LzParse(ctx, &b, 1);
}

void DeflateBytes(EngineContext& ctx, const uint8_t* bytes, int64_t n) {
  ctx.deflate.adler = AdlerBytes(ctx.deflate.adler, bytes, size_t(n));
  while (n > 0) {
    const int piece = int(n < kMaxParseInput ? n : kMaxParseInput);
    LzParse(ctx, bytes, piece);
    bytes += piece;
    n -= piece;
  }
}

void EmitLiteral(EngineContext& ctx, int literal) {
  WriteSymbol(ctx, ctx.deflate.blocks[ctx.deflate.blockIndex], literal);
}

void EmitMatch(EngineContext& ctx, int length, int distance) {
  DeflateState& d = ctx.deflate;
  BlockState& block = d.blocks[d.blockIndex];
  const int lengthCode = d.tables.LengthCode(length);
  WriteSymbol(ctx, block, 257 + lengthCode);
  PutBits(ctx, uint32_t(length - kLengthCodes[lengthCode].base), kLengthCodes[lengthCode].extraBits);
  const int distanceCode = d.tables.DistanceCode(distance);
  WriteSymbol(ctx, block, kDistanceBase + distanceCode);
  PutBits(ctx, uint32_t(distance - kDistanceCodeInfo[distanceCode].base), kDistanceCodeInfo[distanceCode].extraBits);
}

void EndBlock(EngineContext& ctx) {
  DeflateState& d = ctx.deflate;
  BlockState& block = d.blocks[d.blockIndex];
  WriteSymbol(ctx, block, kEndOfBlock);

  int32_t counts[kSymbols];
  NormaliseCounts(block, counts);
  int32_t next[kSymbols] = {};
  const int mintreecodes = ctx.job->mintreecodes;
  HuffmanLengths(counts, kLitLenCodes, next, 16, mintreecodes);
  HuffmanLengths(counts + kDistanceBase, kDistanceCodes, next + kDistanceBase, 16, mintreecodes);

  // Wrap-around arithmetic on purpose: the accumulator is a 32-bit figure.
  uint32_t saved = uint32_t(d.savedBits);
  for (int i = 0; i < kSymbols; ++i) {
    saved += uint32_t(block.lengths[i] - next[i]) * block.counts[i];
    block.lengths[i] = next[i];
  }
  d.savedBits = int32_t(saved);

  if (++d.blockIndex < d.numBlocks) {
    PrepareBlock(ctx, d.blockIndex);
    WriteBlockHeader(ctx);
  }
}

void DeflateFinish(EngineContext& ctx) {
  DeflateState& d = ctx.deflate;
  LzParse(ctx, nullptr, 0);
  EndBlock(ctx);
  PutBits(ctx, 0, (8 - d.bitCount) & 7);
  // Byte-swapped so that the Adler-32 leaves most significant byte first.
  const uint32_t a = d.adler;
  PutBits(ctx, (a >> 24) | ((a >> 8) & 0xFF00) | ((a << 8) & 0xFF0000) | (a << 24), 32);
  StreamEnd(ctx);
  PrintPassSizeLine(ctx);
}

void PrintPassSizeLine(EngineContext& ctx) {
  const EncodeJob& job = *ctx.job;
  const int64_t size = ctx.outPos;
  const int32_t saved = ctx.deflate.savedBits;
  if (!job.verbose) ctx.print("\r");
  ctx.print("Out:%8d", int(size));
  if (saved > 0 && !ctx.finalPass) {
    const int64_t wholeBytes = FloorDiv8(saved);
    if (wholeBytes == 0) {
      ctx.print("     -0");
    } else {
      ctx.print("%7d", int(-wholeBytes));
    }
    const int64_t expectedBits = size * 8 - saved;
    ctx.print(".%1d=%7d.%1d", int((FloorMod8(saved) * 125) / 100), int(FloorDiv8(expectedBits)),
              int((FloorMod8(expectedBits) * 125) / 100));
  } else {
    ctx.print(" bytes               ");
  }
  if (job.verbose) ctx.print("\n");
}

void PrintStoredSizeLine(EngineContext& ctx) {
  const bool verbose = ctx.job->verbose != 0;
  if (!verbose) ctx.print("\r");
  ctx.print("Out:%8d bytes (stored)", int(ctx.outPos));
  if (verbose) ctx.print("\n");
}

}  // namespace deflate
