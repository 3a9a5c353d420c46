// A genetic search over whole per-row filter vectors.
//
// The strategies of FilterSearch.h choose each row on its own (or with its
// neighbour); none of them can see that a run of rows compresses better
// together under another filter than each row does alone.  This search
// treats the vector of all rows' filters as one candidate and improves a
// population of them:
//   - the first population is the seeds (the strategies' answers), topped
//     up with mutants of the seeds when there are fewer than its size;
//   - each child takes a parent by a two-way tournament, copies one row
//     range from a second parent (crossover keeps what each strategy got
//     right in its own part of the image), and then has a few rows, or a
//     short range of rows, set to a random filter (mutation);
//   - parents and children compete together and the best distinct vectors
//     survive, so the best vector found never gets lost: the answer is
//     never worse than the best seed by the fitness used.
// A fixed seed drives every random choice, and children are made before
// any is priced, so the answer does not depend on the threads.  The search
// ends after its generations, once its fitness calls are spent, or when
// asked to stop.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace search {

struct EvolutionBudget {
  int population = 12;    // vectors that survive a generation
  int generations = 40;   // at most
  int evaluations = 400;  // fitness calls at most, seeds included
  int threads = 1;        // fitness calls run on this many threads
  uint64_t seed = 0x5EEDF11E;
  // When given and set, the search ends after the generation in progress
  // (the command's Ctrl-C).
  const std::atomic<bool>* stop = nullptr;
};

// Prices a vector of row filters (lower is better).  Called from several
// threads at once, so it must not share state between calls.
using FilterFitness = std::function<double(const std::vector<uint8_t>&)>;

struct EvolvedFilters {
  std::vector<uint8_t> filters;  // empty when there was no seed
  double fitness = 0.0;
  int evaluations = 0;  // fitness calls made
  int generations = 0;  // generations completed
  // The last population, best first (filters is its first), with the
  // fitness of each.
  std::vector<std::vector<uint8_t>> population;
  std::vector<double> populationFitness;
};

// The best vector found from the seeds (each one filter 0..4 per row, all of
// one length; the first row never Average, which the file writes as Sub).
EvolvedFilters EvolveRowFilters(const std::vector<std::vector<uint8_t>>& seeds, const FilterFitness& fitness,
                                const EvolutionBudget& budget);

}  // namespace search
