// The code description at the head of a dynamic block, chosen for size.
//
// The lengths of a block's two codes are sent run-length coded with a third
// Huffman code (RFC 1951, 3.2.7).  Which runs to form is a choice: a run of
// zeros may be one symbol 18, or a 17 and a 16, or literal zeros; a repeat
// may be cut 6+3 or 5+4.  The engine's strategies use one fixed walk.  The
// optimal parser's blocks instead search the cheapest token sequence for
// the code-length code it will be sent with (a shortest path over the
// length sequence), rebuild that code from the tokens chosen, and repeat;
// trying it with each subset of the three run symbols 16, 17 and 18
// allowed, since leaving a run symbol out of the code saves its code length
// and sometimes the bits of HCLEN.  The engine's own walk is one more
// candidate, so the result is never larger than it.
#pragma once

#include <cstdint>

#include "engine/deflate/BitSink.h"
#include "engine/deflate/DeflateTables.h"
#include "engine/deflate/Huffman.h"

namespace deflate {

struct CodeLengthHeader {
  int hlit = 257;
  int hdist = 1;
  int hclen = 4;
  int32_t clLengths[19] = {};
  LengthToken tokens[kLitLenCodes + kDistanceCodes];
  int numTokens = 0;
  int bits = 0;  // HLIT .. last token, BFINAL and BTYPE not included
};

// Plans the header for litLengths[0..285] and distLengths[0..29].  With
// search false only the engine's walk is used (fast, for estimates).
void PlanCodeLengthHeader(const int32_t* litLengths, const int32_t* distLengths, bool search,
                          CodeLengthHeader& header);

void WriteCodeLengthHeader(BitSink& out, const CodeLengthHeader& header);

}  // namespace deflate
