// Where a parse is cut into blocks.
//
// A block boundary pays when the two halves, each with its own code and
// header, cost fewer bits than the whole with one code.  This search works
// on a parse (a list of steps) and prices candidate blocks with their exact
// code lengths and the engine's header walk, so the costs it compares are
// the real sizes of the blocks, not an entropy estimate of the bytes.
//
// The best cut of a range is found coarse to fine: candidate cuts at a
// stride over the whole range, then at finer strides around the best one.
// The counts of the left part grow as the sweep moves right and the right
// part's are the range's minus the left's, so a sweep costs one pass over
// the range plus two code builds per candidate.
//
// Split tries two ways and keeps the cheaper: top down, cutting a range
// while its best cut saves bits (which misses a change that only two cuts
// together isolate), and bottom up, starting from many small pieces and
// joining the neighbours whose join saves most while a join saves.  Refine takes the
// boundaries of a parse made with them and re-estimates: it moves each
// boundary to the best cut of its two neighbouring blocks, merges neighbours
// that are cheaper as one, and splits blocks that now pay to split.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/deflate/LzBlock.h"

namespace deflate {

class BlockBoundaries {
 public:
  explicit BlockBoundaries(const std::vector<LzStep>& steps) : m_steps(steps) {}

  // Boundaries as step indices: 0, the cuts, steps.size().
  std::vector<size_t> Split(int maxBlocks) const;
  // Moves, merges and splits the given boundaries (same form).
  void Refine(std::vector<size_t>& cuts, int maxBlocks) const;

  // Estimated bits of steps [a, b) as one block.
  int64_t Cost(size_t a, size_t b) const;

 private:
  // The best cut strictly inside (a, b) and the estimated bits of the two
  // blocks it makes; false when the range is too short to cut.
  bool BestCut(size_t a, size_t b, size_t& cut, int64_t& bits) const;
  int64_t CostOfCut(const SymbolCounts& left, const SymbolCounts& whole) const;
  int64_t TotalCost(const std::vector<size_t>& cuts) const;
  std::vector<size_t> SplitTopDown(int maxBlocks) const;
  std::vector<size_t> SplitBottomUp(int maxBlocks) const;

  const std::vector<LzStep>& m_steps;
};

}  // namespace deflate
