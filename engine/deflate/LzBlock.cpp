#include "engine/deflate/LzBlock.h"

#include <algorithm>

#include "engine/deflate/Huffman.h"

namespace deflate {
namespace {

struct FixedLengths {
  int32_t literal[288];
  int32_t distance[kDistanceCodes];
  FixedLengths() {
    for (int i = 0; i < 288; ++i) literal[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    std::fill(distance, distance + kDistanceCodes, 5);
  }
};

const FixedLengths& Fixed() {
  static const FixedLengths fixed;
  return fixed;
}

int LengthSymbol(int length) { return 257 + SharedCodeTables().LengthCode(length); }

void PutSymbols(BitSink& out, const LzStep* steps, size_t count, const int32_t* litLengths,
                const uint32_t* litCodes, const int32_t* distLengths, const uint32_t* distCodes) {
  const CodeTables& tables = SharedCodeTables();
  for (size_t i = 0; i < count; ++i) {
    const LzStep& s = steps[i];
    if (s.length == 1) {
      out.Put(litCodes[s.value], litLengths[s.value]);
      continue;
    }
    const int lc = tables.LengthCode(s.length);
    out.Put(litCodes[257 + lc], litLengths[257 + lc]);
    if (kLengthCodes[lc].extraBits) out.Put(uint32_t(s.length - kLengthCodes[lc].base), kLengthCodes[lc].extraBits);
    const int dc = tables.DistanceCode(s.value);
    out.Put(distCodes[dc], distLengths[dc]);
    if (kDistanceCodeInfo[dc].extraBits)
      out.Put(uint32_t(s.value - kDistanceCodeInfo[dc].base), kDistanceCodeInfo[dc].extraBits);
  }
  out.Put(litCodes[kEndOfBlock], litLengths[kEndOfBlock]);
}

}  // namespace

const CodeTables& SharedCodeTables() {
  static const CodeTables tables;
  return tables;
}

void SymbolCounts::Add(const LzStep& step) {
  if (step.length == 1) {
    ++literal[step.value];
  } else {
    ++literal[LengthSymbol(step.length)];
    ++distance[SharedCodeTables().DistanceCode(step.value)];
  }
}

void SymbolCounts::Remove(const LzStep& step) {
  if (step.length == 1) {
    --literal[step.value];
  } else {
    --literal[LengthSymbol(step.length)];
    --distance[SharedCodeTables().DistanceCode(step.value)];
  }
}

SymbolCounts SymbolCounts::Of(const LzStep* steps, size_t count) {
  SymbolCounts counts;
  for (size_t i = 0; i < count; ++i) counts.Add(steps[i]);
  counts.literal[kEndOfBlock] = 1;
  return counts;
}

void BuildDynamicCode(const SymbolCounts& counts, bool searchHeader, DynamicCode& code) {
  HuffmanLengths(counts.literal, kLitLenCodes, code.literal, 16, 1);
  HuffmanLengths(counts.distance, kDistanceCodes, code.distance, 16, 0);
  PlanCodeLengthHeader(code.literal, code.distance, searchHeader, code.header);
}

int64_t SymbolBits(const SymbolCounts& counts, const int32_t* literalLengths, const int32_t* distanceLengths) {
  int64_t bits = 0;
  for (int i = 0; i < kLitLenCodes; ++i) {
    if (!counts.literal[i]) continue;
    const int extra = i > kEndOfBlock ? kLengthCodes[i - 257].extraBits : 0;
    bits += int64_t(counts.literal[i]) * (literalLengths[i] + extra);
  }
  for (int i = 0; i < kDistanceCodes; ++i) {
    if (counts.distance[i]) bits += int64_t(counts.distance[i]) * (distanceLengths[i] + kDistanceCodeInfo[i].extraBits);
  }
  return bits;
}

int64_t DynamicBlockBits(const SymbolCounts& counts, const DynamicCode& code) {
  return 3 + code.header.bits + SymbolBits(counts, code.literal, code.distance);
}

int64_t FixedBlockBits(const SymbolCounts& counts) {
  return 3 + SymbolBits(counts, Fixed().literal, Fixed().distance);
}

int64_t StoredBlockBits(size_t bytes) {
  const size_t pieces = bytes == 0 ? 1 : (bytes + 65534) / 65535;
  // Each piece: 3 header bits and up to 7 padding bits, LEN and NLEN.
  return int64_t(pieces) * (3 + 7 + 32) + int64_t(bytes) * 8;
}

int64_t EstimateBlockBits(const SymbolCounts& counts) {
  DynamicCode code;
  BuildDynamicCode(counts, false, code);
  return std::min(DynamicBlockBits(counts, code), FixedBlockBits(counts));
}

const int32_t* FixedLiteralLengths() { return Fixed().literal; }
const int32_t* FixedDistanceLengths() { return Fixed().distance; }

void WriteBlock(BitSink& out, BlockKind kind, bool final, const uint8_t* data, size_t begin, size_t end,
                const LzStep* steps, size_t count, const DynamicCode* code) {
  if (kind == BlockKind::Stored) {
    // A stored block holds at most 65,535 bytes; longer stretches take
    // several, only the last of which may carry BFINAL.
    size_t at = begin;
    do {
      const size_t n = std::min<size_t>(end - at, 65535);
      out.Put((final && at + n == end) ? 1 : 0, 1);
      out.Put(0, 2);
      out.AlignToByte();
      out.Put(uint32_t(n), 16);
      out.Put(uint32_t(~n & 0xFFFF), 16);
      for (size_t i = 0; i < n; ++i) out.PutByte(data[at + i]);
      at += n;
    } while (at < end);
    return;
  }
  out.Put(final ? 1 : 0, 1);
  if (kind == BlockKind::Fixed) {
    out.Put(1, 2);
    uint32_t litCodes[288];
    uint32_t distCodes[kDistanceCodes];
    CanonicalCodes(Fixed().literal, 288, litCodes);
    CanonicalCodes(Fixed().distance, kDistanceCodes, distCodes);
    PutSymbols(out, steps, count, Fixed().literal, litCodes, Fixed().distance, distCodes);
    return;
  }
  out.Put(2, 2);
  WriteCodeLengthHeader(out, code->header);
  uint32_t litCodes[kLitLenCodes];
  uint32_t distCodes[kDistanceCodes];
  CanonicalCodes(code->literal, kLitLenCodes, litCodes);
  CanonicalCodes(code->distance, kDistanceCodes, distCodes);
  PutSymbols(out, steps, count, code->literal, litCodes, code->distance, distCodes);
}

}  // namespace deflate
