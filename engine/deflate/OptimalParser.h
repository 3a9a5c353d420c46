// The cheapest parse of a block under a price list.
//
// Given what each literal, length and distance code costs in bits, the
// cheapest way to code data[begin..end) as literals and matches is a
// shortest path over the positions: from each position a literal leads one
// byte on, and each match found there (the nearest of every length, from
// the match cache) leads as many bytes on as it is long.  Positions are
// visited in order, so one forward sweep fills the cheapest cost of
// reaching every position and a walk back from the end reads the path.
//
// The price list is the open question: the real code of a block is only
// known once the block is parsed.  The iteration in OptimalDeflate parses
// with the fixed code's prices first, then with the lengths of the code the
// previous parse's counts build, and so on while the block shrinks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/deflate/BinaryTreeMatchFinder.h"
#include "engine/deflate/LzBlock.h"

namespace deflate {

// Bits of each choice, extra bits included.
struct CostModel {
  float literal[256];
  float length[kMaxMatch + 1];       // by match length
  float distance[kDistanceCodes];    // by distance code
};

// Prices of code lengths; a symbol without a code (length 0) is priced one
// bit above the longest code, about what giving it a code would cost.
CostModel CostsOfLengths(const int32_t* literalLengths, const int32_t* distanceLengths);

// Prices of the symbols' information content in the given counts
// (-log2 of their frequency), fractional; an unused symbol one bit above
// a symbol seen once.
CostModel CostsOfCounts(const SymbolCounts& counts);

class OptimalParser {
 public:
  // Appends the cheapest steps for data[begin..end) to out.  No match
  // reaches past end.
  void Parse(const uint8_t* data, const MatchCache& matches, size_t begin, size_t end, const CostModel& costs,
             std::vector<LzStep>& out);

  size_t MemoryBytes() const;

 private:
  // The step of the cheapest path that ends at position at (relative to
  // begin), found again from the costs.
  LzStep ArrivalAt(const uint8_t* data, const MatchCache& matches, size_t begin, size_t at,
                   const CostModel& costs, float cheapestDistance) const;

  std::vector<float> m_cost;  // cheapest cost of reaching each position
};

}  // namespace deflate
