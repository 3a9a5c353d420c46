// The blocks the optimal parser writes: a parse as a list of steps, the
// symbol counts of a stretch of it, the exact size of that stretch as a
// dynamic, fixed or stored block, and the writing of the chosen kind.
//
// Sizes are exact bit counts (header included), so the parser's iterations,
// the block boundary search and the final choice of block kind all compare
// the same numbers the stream will contain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/deflate/BitSink.h"
#include "engine/deflate/CodeLengthHeader.h"
#include "engine/deflate/DeflateTables.h"

namespace deflate {

// One step of a parse: a literal (length 1, value the byte) or a match
// (length 3..258, value the distance).
struct LzStep {
  uint16_t length;
  uint16_t value;
};

const CodeTables& SharedCodeTables();

struct SymbolCounts {
  int32_t literal[kLitLenCodes] = {};  // literals, end of block, length codes
  int32_t distance[kDistanceCodes] = {};

  void Add(const LzStep& step);
  void Remove(const LzStep& step);
  // The steps of one block, plus its end-of-block symbol.
  static SymbolCounts Of(const LzStep* steps, size_t count);
};

// Lengths of a dynamic block's two codes from its counts (the engine's
// length-limited builder) and the header that describes them.
struct DynamicCode {
  int32_t literal[kLitLenCodes];
  int32_t distance[kDistanceCodes];
  CodeLengthHeader header;
};
// The code lengths alone, as BuildDynamicCode builds them before any header.
void CodeLengthsOf(const SymbolCounts& counts, int32_t* literal, int32_t* distance);
// With searchHeader, the header's run-length coding is searched and the
// counts are also reshaped so that the lengths run-length code well; with
// flattenStretches too, also flattened over whole stretches of the alphabet
// (a few more header searches).
void BuildDynamicCode(const SymbolCounts& counts, bool searchHeader, DynamicCode& code,
                      bool flattenStretches = false);

// Bits of the symbols alone (code words and extra bits) under the given
// lengths.
int64_t SymbolBits(const SymbolCounts& counts, const int32_t* literalLengths, const int32_t* distanceLengths);

enum class BlockKind { Stored, Fixed, Dynamic };

// Whole-block sizes in bits, the three block-header bits included.  The
// stored size assumes the worst padding (7 bits) before the first LEN.
int64_t DynamicBlockBits(const SymbolCounts& counts, const DynamicCode& code);
int64_t FixedBlockBits(const SymbolCounts& counts);
int64_t StoredBlockBits(size_t bytes);

// Estimated dynamic size with the engine's header walk: cheap enough for
// the boundary search, which prices thousands of candidate blocks.
int64_t EstimateBlockBits(const SymbolCounts& counts);

// The fixed code's lengths (RFC 1951, 3.2.6) laid out like DynamicCode's.
const int32_t* FixedLiteralLengths();
const int32_t* FixedDistanceLengths();

// Writes one block.  steps cover data[begin..end); code is used for a
// dynamic block only.
void WriteBlock(BitSink& out, BlockKind kind, bool final, const uint8_t* data, size_t begin, size_t end,
                const LzStep* steps, size_t count, const DynamicCode* code);

}  // namespace deflate
