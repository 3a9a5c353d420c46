// Where the blocks of a zlib stream end, as zlib itself sees them: the
// uncompressed position after each block's end-of-block code.  An oracle for
// the compressor's block boundaries that shares no code with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace oracle {

// Positions in the inflated data at which each deflate block ends, in
// order (the last is the data's length).  False when zlib reports an error or
// the stream does not end.
bool DeflateBlockEnds(const std::vector<uint8_t>& zlibStream, std::vector<size_t>& ends);

}  // namespace oracle
