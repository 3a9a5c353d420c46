// One deflate block of a pass: its symbol counts, the code it is written
// with, and where it lies in the filtered stream.  The table holds at most
// kMaxBlocks entries; boundaries are fixed before the first compression pass
// and only the code lengths change from pass to pass.
#pragma once

#include <cstdint>

#include "engine/deflate/DeflateTables.h"

namespace deflate {

constexpr int kMaxBlocks = 1024;

struct BlockState {
  uint32_t counts[kSymbols];  // symbol counts of the current pass (bit 31: seen mark)
  int32_t lengths[kSymbols];  // the code this block is written with in this pass
  int32_t start;              // first stream position of the block
  int32_t end;                // position where it ends (last block: 2147483647 in a pass)
  int32_t splitpos;           // splitter: best cut found inside the block
  int32_t parent;             // splitter: the block it was cut from, -1 for the first
  double gain;                // splitter: estimated saving of that cut, in bytes
};

}  // namespace deflate
