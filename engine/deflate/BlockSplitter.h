// Block splitting: where the deflate stream is cut into blocks.
//
// Before the first compression pass the filtered bytes of the whole image are
// analysed once, and the stream is cut where its byte statistics change, so
// that each block gets a Huffman code fitted to its own part.  The cost of a
// cut is estimated with static order-0 models of both sides against one model
// of the whole range, using incremental approximations of logarithms so that
// every cut position of a range is priced in one linear scan.  Boundaries
// found here stay fixed for the whole run; passes only change code lengths.
#pragma once

#include <cstdint>

struct EngineContext;

namespace deflate {

// Best position (1..n-1) to cut bytes[0..n) in two, and in *gain the
// estimated saving in bytes.  0 with *gain untouched when n is below 2; -1
// when poll(1) asks to stop (asked every 65,536 bytes, from the first).
int FindSplit(EngineContext& ctx, const uint8_t* bytes, int n, double* gain);

// Fills the block table over collected[start..end) by the job's numblocks
// (that many blocks) or splitthreshold (cut while a cut saves more), at most
// kMaxBlocks blocks, and sorts the block ends ascending.  0, or -1 when
// poll(1) asks to stop.
int SplitBlocks(EngineContext& ctx, const uint8_t* collected, int start, int end);

}  // namespace deflate
