#include "engine/deflate/BlockBoundaries.h"

#include <algorithm>

namespace deflate {
namespace {

// A block of fewer steps than this is never cut off: its header alone
// would outweigh what a code of its own could save.
constexpr size_t kMinBlockSteps = 32;
constexpr size_t kCoarseCandidates = 96;
constexpr size_t kRefineFactor = 12;
// A cut must save at least this many bits in the estimate; smaller gains
// are within the estimate's error and only churn the boundaries.
constexpr int64_t kMinGainBits = 16;
// The bottom-up search starts from about this many equal pieces.
constexpr size_t kBottomUpPieces = 512;

}  // namespace

int64_t BlockBoundaries::Cost(size_t a, size_t b) const {
  return EstimateBlockBits(SymbolCounts::Of(m_steps.data() + a, b - a));
}

int64_t BlockBoundaries::CostOfCut(const SymbolCounts& left, const SymbolCounts& whole) const {
  SymbolCounts right = whole;
  for (int i = 0; i < kLitLenCodes; ++i) right.literal[i] -= left.literal[i];
  for (int i = 0; i < kDistanceCodes; ++i) right.distance[i] -= left.distance[i];
  right.literal[kEndOfBlock] = 1;
  return EstimateBlockBits(left) + EstimateBlockBits(right);
}

bool BlockBoundaries::BestCut(size_t a, size_t b, size_t& cut, int64_t& bits) const {
  if (b - a < 2 * kMinBlockSteps) return false;
  const SymbolCounts whole = SymbolCounts::Of(m_steps.data() + a, b - a);
  size_t lo = a + kMinBlockSteps;
  size_t hi = b - kMinBlockSteps;
  size_t stride = std::max<size_t>(1, (hi - lo) / kCoarseCandidates);
  bits = INT64_MAX;
  cut = lo;
  for (;;) {
    // Sweep [lo, hi] at the stride, counting the left part as it grows.
    SymbolCounts left = SymbolCounts::Of(m_steps.data() + a, lo - a);
    size_t at = lo;
    for (size_t k = lo; k <= hi; k += stride) {
      for (; at < k; ++at) left.Add(m_steps[at]);
      const int64_t c = CostOfCut(left, whole);
      if (c < bits) {
        bits = c;
        cut = k;
      }
    }
    if (stride == 1) return true;
    lo = std::max(a + kMinBlockSteps, cut > stride ? cut - stride : 0);
    hi = std::min(b - kMinBlockSteps, cut + stride);
    stride = std::max<size_t>(1, stride / kRefineFactor);
  }
}

std::vector<size_t> BlockBoundaries::SplitTopDown(int maxBlocks) const {
  std::vector<size_t> cuts{0, m_steps.size()};
  // Ranges still to try, cut depth-first; done ones are only kept as cuts.
  std::vector<std::pair<size_t, size_t>> pending{{0, m_steps.size()}};
  while (!pending.empty() && int(cuts.size()) - 1 < maxBlocks) {
    const auto [a, b] = pending.back();
    pending.pop_back();
    size_t cut = 0;
    int64_t bits = 0;
    if (!BestCut(a, b, cut, bits) || bits + kMinGainBits > Cost(a, b)) continue;
    cuts.push_back(cut);
    pending.push_back({cut, b});
    pending.push_back({a, cut});
  }
  std::sort(cuts.begin(), cuts.end());
  return cuts;
}

std::vector<size_t> BlockBoundaries::SplitBottomUp(int maxBlocks) const {
  const size_t n = m_steps.size();
  const size_t piece = std::max(4 * kMinBlockSteps, n / kBottomUpPieces);
  struct Piece {
    size_t begin;
    SymbolCounts counts;
    int64_t bits;
  };
  std::vector<Piece> pieces;
  for (size_t a = 0; a < n; a += piece) {
    const size_t b = std::min(n, a + piece);
    Piece p{a, SymbolCounts::Of(m_steps.data() + a, b - a), 0};
    p.bits = EstimateBlockBits(p.counts);
    pieces.push_back(p);
  }
  auto merged = [](const Piece& l, const Piece& r) {
    Piece m{l.begin, l.counts, 0};
    for (int i = 0; i < kLitLenCodes; ++i) m.counts.literal[i] += r.counts.literal[i];
    for (int i = 0; i < kDistanceCodes; ++i) m.counts.distance[i] += r.counts.distance[i];
    m.counts.literal[kEndOfBlock] = 1;
    m.bits = EstimateBlockBits(m.counts);
    return m;
  };
  // saving[k]: bits saved by joining piece k with piece k + 1.
  std::vector<int64_t> saving(pieces.size(), 0);
  auto price = [&](size_t k) {
    if (k + 1 < pieces.size()) saving[k] = pieces[k].bits + pieces[k + 1].bits - merged(pieces[k], pieces[k + 1]).bits;
  };
  for (size_t k = 0; k + 1 < pieces.size(); ++k) price(k);
  // Join the pair that saves most while any saves (or while there are more
  // blocks than allowed).
  while (pieces.size() > 1) {
    size_t best = 0;
    for (size_t k = 1; k + 1 < pieces.size(); ++k)
      if (saving[k] > saving[best]) best = k;
    if (saving[best] < 0 && int(pieces.size()) <= maxBlocks) break;
    pieces[best] = merged(pieces[best], pieces[best + 1]);
    pieces.erase(pieces.begin() + std::ptrdiff_t(best) + 1);
    saving.erase(saving.begin() + std::ptrdiff_t(best) + 1);
    price(best);
    if (best > 0) price(best - 1);
  }
  std::vector<size_t> cuts;
  for (const Piece& p : pieces) cuts.push_back(p.begin);
  cuts.push_back(n);
  return cuts;
}

int64_t BlockBoundaries::TotalCost(const std::vector<size_t>& cuts) const {
  int64_t bits = 0;
  for (size_t j = 0; j + 1 < cuts.size(); ++j) bits += Cost(cuts[j], cuts[j + 1]);
  return bits;
}

std::vector<size_t> BlockBoundaries::Split(int maxBlocks) const {
  if (m_steps.empty() || maxBlocks <= 1) return {0, m_steps.size()};
  std::vector<size_t> topDown = SplitTopDown(maxBlocks);
  std::vector<size_t> bottomUp = SplitBottomUp(maxBlocks);
  return TotalCost(bottomUp) < TotalCost(topDown) ? bottomUp : topDown;
}

void BlockBoundaries::Refine(std::vector<size_t>& cuts, int maxBlocks) const {
  // Move each inner boundary to the best cut of its two blocks.
  for (size_t j = 1; j + 1 < cuts.size(); ++j) {
    size_t cut = 0;
    int64_t bits = 0;
    if (!BestCut(cuts[j - 1], cuts[j + 1], cut, bits)) continue;
    if (bits < Cost(cuts[j - 1], cuts[j]) + Cost(cuts[j], cuts[j + 1])) cuts[j] = cut;
  }
  // Merge neighbours that are cheaper as one block.
  for (size_t j = 1; j + 1 < cuts.size();) {
    if (Cost(cuts[j - 1], cuts[j + 1]) <= Cost(cuts[j - 1], cuts[j]) + Cost(cuts[j], cuts[j + 1])) {
      cuts.erase(cuts.begin() + std::ptrdiff_t(j));
    } else {
      ++j;
    }
  }
  // Split what pays to split now.
  std::vector<size_t> added;
  for (size_t j = 0; j + 1 < cuts.size() && int(cuts.size() + added.size()) - 1 < maxBlocks; ++j) {
    size_t cut = 0;
    int64_t bits = 0;
    if (BestCut(cuts[j], cuts[j + 1], cut, bits) && bits + kMinGainBits <= Cost(cuts[j], cuts[j + 1]))
      added.push_back(cut);
  }
  cuts.insert(cuts.end(), added.begin(), added.end());
  std::sort(cuts.begin(), cuts.end());
}

}  // namespace deflate
