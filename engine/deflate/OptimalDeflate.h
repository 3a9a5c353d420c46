// Brumlex's optimal parser: a whole buffer into a zlib stream, as small as
// the level's effort can make it.
//
// Unlike the engine's strategies, which parse the stream as it arrives,
// this compressor holds the whole input:
//   1. the binary-tree match finder lists, once, the nearest match of every
//      length at every position (BinaryTreeMatchFinder.h);
//   2. a first parse of the whole input (fixed-code prices, then the prices
//      of its own code) gives the boundary search a parse to cut into blocks
//      (BlockBoundaries.h);
//   3. each block is parsed again and again (OptimalParser.h): with the
//      fixed code's prices, then with the lengths of the code its last parse
//      built with the engine's length-limited builder (or the information
//      content of its counts), while the block shrinks; then from the code
//      the previous block ended with, and from a few randomly disturbed
//      codes (a seeded generator, so outputs are reproducible), keeping the
//      smallest; the winner is parsed again under the code it is written
//      with; in a small input, each rarely used symbol is then tried out of
//      the block's alphabet;
//   4. the boundaries are re-estimated on the parse they produced (moved,
//      merged, split) and the changed blocks parsed again, while the total
//      shrinks; in a small input, neighbouring blocks are then planned as
//      one and joined where that is smaller, and when the stream's last
//      byte would hold only a few bits, each block restarts a few more
//      times to save that byte;
//   5. each block is written as the smallest of dynamic (with the cheapest
//      run-length coding of its header, CodeLengthHeader.h, and its code
//      lengths evened out over stretches of the alphabet where the header
//      saves more than the symbols lose), fixed or stored.
//
// Only the command line and the benchmarks use it; the engine's strategies
// 0-4 are untouched by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/deflate/BinaryTreeMatchFinder.h"
#include "engine/deflate/LzBlock.h"

namespace deflate {

struct OptimalSettings {
  MatchFinderLimits matchFinder;
  int iterations = 15;      // parses per block after the fixed-price one, at most
  int patience = 3;         // parses without a gain before a block's iteration stops
  int restarts = 0;         // randomised restarts per block
  int refineRounds = 2;     // boundary re-estimations after parsing
  int maxBlocks = 1024;     // 1: no splitting
  bool searchHeader = true; // the cheapest header coding, not just the engine's walk
  bool entropyPrices = false;  // price by -log2 frequency instead of code lengths
  bool greedyStart = false;    // also iterate from a greedy parse's counts
  bool bothPrices = false;     // also iterate under the other prices
  int dropRareSymbols = 0;     // try parses without each symbol used at most this often
  int moreRestarts = 0;        // restarts past `restarts` while the last two found a gain
  // Inputs smaller than this list the farther distance codes too, whatever
  // matchFinder says: where the header weighs most, a match at a distance
  // code the block already uses can beat the nearest one, whose code
  // would need a length of its own.
  size_t everyDistanceCodeBelow = 0;
  // Restarts per block of an input under 64 KB whose last byte holds only a
  // few bits of data, so that those bits less save a byte.
  int lastByteRestarts = 0;
};

constexpr int kOptimalLevelMin = 1;
constexpr int kOptimalLevelMax = 5;

// The settings of level 1 (fastest) .. 5 (smallest); other values clamp.
OptimalSettings OptimalLevelSettings(int level);

// One block as written: the input bytes it covers and the code lengths its
// symbols are written with (the fixed code's for a fixed block; a stored
// block has none and leaves them 0).
struct WrittenBlock {
  size_t begin = 0;
  size_t end = 0;
  BlockKind kind = BlockKind::Fixed;
  int32_t literal[kLitLenCodes] = {};
  int32_t distance[kDistanceCodes] = {};
};

struct OptimalStats {
  int blocks = 0;
  size_t memoryBytes = 0;  // peak working memory, input and output excluded
  std::vector<WrittenBlock> written;  // in stream order
};

// Compresses data[0..size) into zlib (header 0x78 0x5E, or 0x78 0x01 when
// every block is stored) and returns the stream's length.  Never fails;
// inputs of 2 GB or more are the caller's to refuse.
size_t OptimalDeflate(const uint8_t* data, size_t size, const OptimalSettings& settings, std::vector<uint8_t>& zlib,
                      OptimalStats* stats = nullptr);

}  // namespace deflate
