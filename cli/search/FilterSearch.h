// Per-row filter choices for the command-line tool's search.
//
// Every strategy answers one PNG filter type per row of the unfiltered
// scanlines the engine would write (engine/RowFilterEntry.h):
//   - the five fixed filters;
//   - Entropy: per row the filter whose bytes have the lowest order-0
//     entropy, the rule the engine's adaptive filter follows;
//   - MinSum: per row the lowest sum of absolute differences (each filtered
//     byte read as a signed value), the classic libpng heuristic;
//   - Greedy: per row the filter whose bytes, appended to the rows chosen so
//     far, cost least under the deflate cost model (DeflateCostModel.h);
//   - Refined: starts from Greedy and improves it by local moves: each row
//     in turn takes the filter that makes it and the row after it cheapest,
//     sweep after sweep, until a sweep changes nothing or the sweeps run out;
//   - Evolved: the genetic search of FilterEvolution.h, seeded with every
//     other strategy's answer and judged by the whole image's cost under
//     the model, within the effort's budget of generations and estimates;
//   - Polished: the smaller of Evolved's and Greedy's answers under the
//     optimal parser's cheapest level, moved by whole filter classes while
//     that level shrinks its stream (FilterPolish.h).
// The first row never claims Average: the engine writes Average without a
// row above as Sub, so the choices say Sub there, as the file will.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/search/FilterEvolution.h"
#include "cli/search/FilterPolish.h"
#include "engine/RowFilterEntry.h"

namespace search {

enum class FilterStrategy { None, Sub, Up, Average, Paeth, Entropy, MinSum, Greedy, Refined, Evolved, Polished };

constexpr FilterStrategy kAllFilterStrategies[] = {
    FilterStrategy::None,    FilterStrategy::Sub,     FilterStrategy::Up,     FilterStrategy::Average,
    FilterStrategy::Paeth,   FilterStrategy::Entropy, FilterStrategy::MinSum, FilterStrategy::Greedy,
    FilterStrategy::Refined, FilterStrategy::Evolved, FilterStrategy::Polished};

// "none", "sub", "up", "average", "paeth", "entropy", "minsum", "greedy",
// "refined", "evolved", "polished": how verbose output and the benchmark
// name a strategy.
const char* FilterStrategyName(FilterStrategy strategy);

struct SearchEffort {
  // Hash chain depth of the cost model.  Choosing rows pays off from a
  // deep search (closer to the real parser's matches: on a 768 x 512 photo
  // 256 saves 0.03 % over 64 for 0.2 s more); ranking whole proposals does
  // not, the shallow one orders them as well at a fraction of the time.
  int chainDepth = 256;
  int refineSweeps = 2;   // at most this many sweeps of Refined
  EvolutionBudget evolution;  // of Evolved
  PolishBudget polish;        // of Polished
};

constexpr SearchEffort kEstimateEffort = {16, 0, {}, {}};

// Filters row y with PNG filter type `filter` into out (rows.rowBytes
// bytes, without the type byte).
void FilterRow(const UnfilteredRows& rows, int y, int filter, uint8_t* out);

// The filtered stream as the engine sends it: per row the type byte, then
// the filtered bytes.
std::vector<uint8_t> FilteredStream(const UnfilteredRows& rows, const std::vector<uint8_t>& rowFilters);

// The cost model's bits for the whole filtered image, fed row by row as the
// search feeds it.
double ModelCost(const UnfilteredRows& rows, const std::vector<uint8_t>& rowFilters,
                 const SearchEffort& effort = kEstimateEffort);

std::vector<uint8_t> ChooseRowFilters(const UnfilteredRows& rows, FilterStrategy strategy,
                                      const SearchEffort& effort = {});

// Evolved from answers already at hand (other strategies' vectors for these
// rows), priced by ModelCost at the estimate's effort, the measure the
// planner ranks every proposal by.
EvolvedFilters EvolveFromSeeds(const UnfilteredRows& rows, const std::vector<std::vector<uint8_t>>& seeds,
                               const EvolutionBudget& budget);

// The smallest of starts polished, each start and move priced by the size
// of the optimal parser's stream at its cheapest level.
PolishedFilters PolishByDeflate(const UnfilteredRows& rows, const std::vector<std::vector<uint8_t>>& starts,
                                const PolishBudget& budget);

}  // namespace search
