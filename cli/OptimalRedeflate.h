// The winner's image data deflated once more by Brumlex's optimal parser.
//
// The engine's pass loop decides everything a file is made of (colour type,
// palette, row filters) and ranks the runs; its parse, though, is the one
// the plug-in writes.  The optimal parser (engine/deflate/OptimalDeflate.h)
// holds the whole stream, parses each block as a shortest path, cuts blocks
// by their exact costs and may write fixed or stored blocks, which the pass
// loop never does.  So the winning file's filtered rows are inflated back
// and deflated again; the smaller stream stays.  Rows and every other chunk
// are kept exactly.
#pragma once

#include <cstdint>
#include <vector>

// Replaces the IDAT stream of png (a file the engine wrote) by the optimal
// parser's stream at level (1..5) when that is smaller.  Answers whether it
// did; a file it cannot read back is left alone.
bool RedeflateImageData(std::vector<uint8_t>& png, int level);
