#include "cli/search/FilterSearch.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "cli/search/DeflateCostModel.h"
#include "engine/deflate/OptimalDeflate.h"

namespace search {

namespace {

constexpr int kFilterTypes = 5;

inline int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// The file never holds Average on the first row (see the header).
uint8_t Claimed(int y, int filter) { return uint8_t(y == 0 && filter == 3 ? 1 : filter); }

// All five filterings of one row, in one buffer of 5 * rowBytes.
struct RowCandidates {
  explicit RowCandidates(const UnfilteredRows& rows) : m_rows(rows), m_bytes(size_t(kFilterTypes) * rows.rowBytes) {}
  void Fill(int y) {
    for (int f = 0; f < kFilterTypes; ++f) FilterRow(m_rows, y, Claimed(y, f), Of(f));
  }
  uint8_t* Of(int filter) { return m_bytes.data() + size_t(filter) * m_rows.rowBytes; }

 private:
  const UnfilteredRows& m_rows;
  std::vector<uint8_t> m_bytes;
};

template <typename RowCost>
std::vector<uint8_t> ChooseByRowCost(const UnfilteredRows& rows, RowCost&& cost) {
  std::vector<uint8_t> choice(size_t(rows.height));
  RowCandidates candidates(rows);
  for (int y = 0; y < rows.height; ++y) {
    candidates.Fill(y);
    double best = std::numeric_limits<double>::infinity();
    for (int f = 0; f < kFilterTypes; ++f) {
      const double c = cost(candidates.Of(f), rows.rowBytes);
      if (c < best) {  // equal costs keep the lower filter number
        best = c;
        choice[size_t(y)] = Claimed(y, f);
      }
    }
  }
  return choice;
}

double Order0Entropy(const uint8_t* bytes, int n) {
  std::array<int, 256> counts{};
  for (int i = 0; i < n; ++i) ++counts[bytes[i]];
  double sum = 0.0;
  for (int c : counts) {
    if (c > 0) sum -= c * std::log2(double(c) / n);
  }
  return sum;
}

double AbsoluteSum(const uint8_t* bytes, int n) {
  long sum = 0;
  for (int i = 0; i < n; ++i) sum += bytes[i] < 128 ? bytes[i] : 256 - bytes[i];
  return double(sum);
}

// The type byte goes first, as in the stream.
std::vector<uint8_t>& Segment(std::vector<uint8_t>& buffer, uint8_t type, const uint8_t* bytes, int n) {
  buffer.assign(1, type);
  buffer.insert(buffer.end(), bytes, bytes + n);
  return buffer;
}

std::vector<uint8_t> ChooseGreedy(const UnfilteredRows& rows, const SearchEffort& effort) {
  std::vector<uint8_t> choice(size_t(rows.height));
  DeflateCostModel model(effort.chainDepth);
  RowCandidates candidates(rows);
  std::vector<uint8_t> segment;
  CostParse parse, bestParse;
  for (int y = 0; y < rows.height; ++y) {
    candidates.Fill(y);
    double best = std::numeric_limits<double>::infinity();
    int bestFilter = 0;
    for (int f = 0; f < kFilterTypes; ++f) {
      if (y == 0 && f == 3) continue;  // the same bytes as Sub
      Segment(segment, Claimed(y, f), candidates.Of(f), rows.rowBytes);
      const double c = model.Cost(segment.data(), segment.size(), &parse);
      if (c < best) {
        best = c;
        bestFilter = f;
        std::swap(parse, bestParse);
      }
    }
    choice[size_t(y)] = Claimed(y, bestFilter);
    Segment(segment, choice[size_t(y)], candidates.Of(bestFilter), rows.rowBytes);
    model.Append(segment.data(), segment.size(), bestParse);
  }
  return choice;
}

// One sweep of local moves over `choice`; answers whether a row changed.
bool RefineSweep(const UnfilteredRows& rows, const SearchEffort& effort, std::vector<uint8_t>& choice) {
  DeflateCostModel model(effort.chainDepth);
  RowCandidates candidates(rows);
  std::vector<uint8_t> next(size_t(rows.rowBytes));
  std::vector<uint8_t> segment, pair;
  bool changed = false;
  for (int y = 0; y < rows.height; ++y) {
    candidates.Fill(y);
    const bool hasNext = y + 1 < rows.height;
    if (hasNext) FilterRow(rows, y + 1, choice[size_t(y + 1)], next.data());
    double best = std::numeric_limits<double>::infinity();
    int bestFilter = choice[size_t(y)];
    for (int f = 0; f < kFilterTypes; ++f) {
      if (y == 0 && f == 3) continue;
      Segment(pair, Claimed(y, f), candidates.Of(f), rows.rowBytes);
      if (hasNext) {
        pair.push_back(choice[size_t(y + 1)]);
        pair.insert(pair.end(), next.begin(), next.end());
      }
      const double c = model.Cost(pair.data(), pair.size());
      // The current choice wins ties, so a sweep that finds nothing better
      // changes nothing and the search ends.
      if (c < best || (c == best && f == choice[size_t(y)])) {
        best = c;
        bestFilter = f;
      }
    }
    const uint8_t chosen = Claimed(y, bestFilter);
    if (chosen != choice[size_t(y)]) changed = true;
    choice[size_t(y)] = chosen;
    Segment(segment, chosen, candidates.Of(bestFilter), rows.rowBytes);
    model.Append(segment.data(), segment.size());
  }
  return changed;
}

}  // namespace

const char* FilterStrategyName(FilterStrategy strategy) {
  static const char* const names[] = {"none",   "sub",    "up",      "average", "paeth",   "entropy",
                                      "minsum", "greedy", "refined", "evolved", "polished"};
  return names[int(strategy)];
}

void FilterRow(const UnfilteredRows& rows, int y, int filter, uint8_t* out) {
  const int n = rows.rowBytes;
  const int bpp = rows.filterStride;
  const uint8_t* cur = rows.Row(y);
  const uint8_t* up = y > 0 ? rows.Row(y - 1) : nullptr;
  for (int i = 0; i < n; ++i) {
    const int a = i >= bpp ? cur[i - bpp] : 0;
    const int b = up ? up[i] : 0;
    const int c = up && i >= bpp ? up[i - bpp] : 0;
    int predicted = 0;
    switch (filter) {
      case 1: predicted = a; break;
      case 2: predicted = b; break;
      case 3: predicted = (a + b) >> 1; break;
      case 4: predicted = Paeth(a, b, c); break;
      default: break;
    }
    out[i] = uint8_t(cur[i] - predicted);
  }
}

std::vector<uint8_t> FilteredStream(const UnfilteredRows& rows, const std::vector<uint8_t>& rowFilters) {
  std::vector<uint8_t> stream(size_t(rows.height) * (size_t(rows.rowBytes) + 1));
  for (int y = 0; y < rows.height; ++y) {
    uint8_t* at = stream.data() + size_t(y) * (size_t(rows.rowBytes) + 1);
    at[0] = rowFilters[size_t(y)];
    FilterRow(rows, y, rowFilters[size_t(y)], at + 1);
  }
  return stream;
}

double ModelCost(const UnfilteredRows& rows, const std::vector<uint8_t>& rowFilters, const SearchEffort& effort) {
  DeflateCostModel model(effort.chainDepth);
  std::vector<uint8_t> segment(size_t(rows.rowBytes) + 1);
  for (int y = 0; y < rows.height; ++y) {
    segment[0] = rowFilters[size_t(y)];
    FilterRow(rows, y, segment[0], segment.data() + 1);
    model.Append(segment.data(), segment.size());
  }
  return model.TotalBits();
}

EvolvedFilters EvolveFromSeeds(const UnfilteredRows& rows, const std::vector<std::vector<uint8_t>>& seeds,
                               const EvolutionBudget& budget) {
  return EvolveRowFilters(
      seeds, [&rows](const std::vector<uint8_t>& filters) { return ModelCost(rows, filters); }, budget);
}

PolishedFilters PolishByDeflate(const UnfilteredRows& rows, const std::vector<std::vector<uint8_t>>& starts,
                                const PolishBudget& budget) {
  const deflate::OptimalSettings cheapest = deflate::OptimalLevelSettings(deflate::kOptimalLevelMin);
  return PolishRowFilters(
      starts,
      [&rows, &cheapest](const std::vector<uint8_t>& filters) {
        const std::vector<uint8_t> stream = FilteredStream(rows, filters);
        std::vector<uint8_t> zlib;
        return deflate::OptimalDeflate(stream.data(), stream.size(), cheapest, zlib);
      },
      budget);
}

std::vector<uint8_t> ChooseRowFilters(const UnfilteredRows& rows, FilterStrategy strategy,
                                      const SearchEffort& effort) {
  switch (strategy) {
    case FilterStrategy::Entropy:
      return ChooseByRowCost(rows, Order0Entropy);
    case FilterStrategy::MinSum:
      return ChooseByRowCost(rows, AbsoluteSum);
    case FilterStrategy::Greedy:
      return ChooseGreedy(rows, effort);
    case FilterStrategy::Evolved: {
      std::vector<std::vector<uint8_t>> seeds;
      for (FilterStrategy seed : kAllFilterStrategies) {
        if (seed != FilterStrategy::Evolved && seed != FilterStrategy::Polished) {
          seeds.push_back(ChooseRowFilters(rows, seed, effort));
        }
      }
      return EvolveFromSeeds(rows, seeds, effort.evolution).filters;
    }
    case FilterStrategy::Polished:
      return PolishByDeflate(rows,
                             {ChooseRowFilters(rows, FilterStrategy::Evolved, effort),
                              ChooseRowFilters(rows, FilterStrategy::Greedy, effort)},
                             effort.polish)
          .filters;
    case FilterStrategy::Refined: {
      std::vector<uint8_t> choice = ChooseGreedy(rows, effort);
      for (int sweep = 0; sweep < effort.refineSweeps && RefineSweep(rows, effort, choice); ++sweep) {
      }
      return choice;
    }
    default: {
      std::vector<uint8_t> choice(size_t(rows.height), uint8_t(strategy));
      if (!choice.empty()) choice[0] = Claimed(0, int(strategy));
      return choice;
    }
  }
}

}  // namespace search
