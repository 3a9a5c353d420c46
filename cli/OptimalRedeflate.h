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

#include "engine/deflate/OptimalDeflate.h"

// The compressor's settings of level 1..5; for 6 those of 5 with the
// longest search: ten randomised restarts and up to 60 parses per block
// (on a 768 x 512 photo 0.3 % smaller than 5 in four times its time); for
// 7 those of 6 with the longest match of every distance code listed as
// well as the nearest of every length (on that photo 0.06 % smaller than
// 6 in twice its time).
deflate::OptimalSettings OptimalSettingsOf(int level);

// Replaces the IDAT stream of png (a file the engine wrote) by the optimal
// parser's stream at level (1..7) when that is smaller.  Answers whether it
// did; a file it cannot read back is left alone.
bool RedeflateImageData(std::vector<uint8_t>& png, int level);
