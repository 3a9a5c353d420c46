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
#include <functional>
#include <memory>
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
  // Mixed into every block's restart seed: another value draws other
  // restarts (and, through their parses, may move the block boundaries);
  // 0 keeps the seeds the levels have always used.
  uint32_t seedSalt = 0;
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
  // OptimalDeflateCombined: the stream each run alone would write, bytes.
  std::vector<size_t> runBytes;
};

// Compresses data[0..size) into zlib (header 0x78 0x5E, or 0x78 0x01 when
// every block is stored) and returns the stream's length.  Never fails;
// inputs of 2 GB or more are the caller's to refuse.
size_t OptimalDeflate(const uint8_t* data, size_t size, const OptimalSettings& settings, std::vector<uint8_t>& zlib,
                      OptimalStats* stats = nullptr);

// One compression's blocks as planned, before they are written; plans of
// the same input can be combined (CheapestOf) and written (WritePlan).
struct BlockPlan;
class OptimalPlan {
 public:
  // The planned size in bits (a stored block's padding counted at its most).
  int64_t Bits() const;
  // Block boundaries as byte positions: 0, the inner ones, the input size.
  std::vector<size_t> Cuts() const;
  size_t MemoryBytes() const { return m_memoryBytes; }
  // No blocks: a plan not made yet (a made plan, even of nothing, has one).
  bool Empty() const { return m_blocks.empty(); }

 private:
  friend OptimalPlan PlanOptimal(const uint8_t*, size_t, const OptimalSettings&, const std::vector<size_t>*);
  friend OptimalPlan CheapestOf(const std::vector<const OptimalPlan*>&);
  friend size_t WritePlan(const uint8_t*, size_t, const OptimalPlan&, std::vector<uint8_t>&, OptimalStats*);
  std::vector<std::shared_ptr<const BlockPlan>> m_blocks;
  size_t m_memoryBytes = 0;
};

// The input planned as OptimalDeflate would; with byteCuts (0, inner
// boundaries, size, ascending), the blocks are those and only those
// (cuts of another form are ignored).
OptimalPlan PlanOptimal(const uint8_t* data, size_t size, const OptimalSettings& settings,
                        const std::vector<size_t>* byteCuts = nullptr);

// The cheapest cover of the input by blocks of any of the plans (all of the
// same input): a block's size depends only on the bytes it covers and the
// history before them, so wherever two plans cut at the same position the
// stream may switch from one to the other.  Ties go to the earlier plan,
// so one plan alone comes back as it is.
OptimalPlan CheapestOf(const std::vector<const OptimalPlan*>& plans);

// Writes the plan as a zlib stream (what OptimalDeflate writes for its own
// plan); answers the stream's length.
size_t WritePlan(const uint8_t* data, size_t size, const OptimalPlan& plan, std::vector<uint8_t>& zlib,
                 OptimalStats* stats = nullptr);

// Runs fn(0), ..., fn(count - 1), in any order and on any threads, and
// returns once every call has returned.
using RunEach = std::function<void(size_t count, const std::function<void(size_t)>& fn)>;

// The input planned once per entry of runs (each a whole compression,
// usually the same level under other seed salts), and the stream written
// from the cheapest blocks of them all (CheapestOf), or from one plan alone
// where that is smaller: never larger than the smallest single plan's
// stream, and with one run OptimalDeflate's stream.  runEach runs the
// plans (in turn when not given); each holds its own match lists, so
// running them at once takes that memory once per thread.  untilAlike:
// the first two plans run first, and the others only when those two differ
// in size (a stream whose plans come out alike under two seeds has little
// scatter for more of them to find).  firstPlan: the first run's plan of
// this very input, taken as it is when it holds one (a caller that planned
// the same rows under the same settings before need not pay for it again),
// and handed back when it is empty.
size_t OptimalDeflateCombined(const uint8_t* data, size_t size, const std::vector<OptimalSettings>& runs,
                              std::vector<uint8_t>& zlib, OptimalStats* stats = nullptr,
                              const RunEach& runEach = {}, bool untilAlike = false,
                              OptimalPlan* firstPlan = nullptr);

}  // namespace deflate
