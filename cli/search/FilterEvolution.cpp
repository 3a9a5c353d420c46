#include "cli/search/FilterEvolution.h"

#include <algorithm>

#include "cli/search/ParallelFor.h"

namespace search {

namespace {

constexpr int kFilterTypes = 5;
// Share of children (in hundredths) that take a row range from a second
// parent before mutation.
constexpr int kCrossoverPercent = 60;
// A mutation sets up to this many neighbouring rows to one filter: the
// rows of one region of an image tend to want the same filter.
constexpr int kLongestMutatedRange = 8;
// Share of mutations (in hundredths) that move every row of one filter in
// a range to another filter instead of changing a few rows.
constexpr int kRecolourPercent = 30;
// Attempts at making a child that differs from every vector already seen
// in this generation, before a duplicate is accepted as it is.
constexpr int kAttemptsPerChild = 4;

// splitmix64: small, fast and the same on every platform, which the
// standard library's distributions are not.
class Random {
 public:
  explicit Random(uint64_t seed) : m_state(seed) {}
  uint64_t Next() {
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n), n > 0.
  int Below(int n) { return int(Next() % uint64_t(n)); }

 private:
  uint64_t m_state;
};

struct Candidate {
  std::vector<uint8_t> filters;
  double fitness = 0.0;
};

void KeepFirstRowLegal(std::vector<uint8_t>& filters) {
  if (!filters.empty() && filters[0] == 3) filters[0] = 1;
}

// Two rows of [0, rows), the lower first.
void RandomRange(int rows, Random& random, int& first, int& last) {
  first = random.Below(rows);
  last = random.Below(rows);
  if (first > last) std::swap(first, last);
}

// Every row of one filter within a range (often the whole image) moves to
// another filter.  Row by row such a move rarely pays, which is why the
// per-row strategies miss it; together the rows share their statistics:
// on a text screenshot the rows a row-wise choice gave Paeth cost
// 0.4 % more than under Up.
void Recolour(std::vector<uint8_t>& filters, Random& random) {
  const int rows = int(filters.size());
  int first = 0, last = rows - 1;
  if (random.Below(2) == 0) RandomRange(rows, random, first, last);
  // One of the filters the range uses, each as likely as another: a
  // filter few rows use is as worth moving as the most common one.
  uint8_t used[kFilterTypes];
  int kinds = 0;
  for (int f = 0; f < kFilterTypes; ++f) {
    if (std::find(filters.begin() + first, filters.begin() + last + 1, uint8_t(f)) != filters.begin() + last + 1) {
      used[kinds++] = uint8_t(f);
    }
  }
  if (kinds == 0) return;  // not a vector of filter types
  const uint8_t from = used[random.Below(kinds)];
  const uint8_t to = uint8_t((from + 1 + random.Below(kFilterTypes - 1)) % kFilterTypes);
  for (int y = first; y <= last; ++y) {
    if (filters[size_t(y)] == from) filters[size_t(y)] = to;
  }
  KeepFirstRowLegal(filters);
}

void Mutate(std::vector<uint8_t>& filters, Random& random) {
  const int rows = int(filters.size());
  if (random.Below(100) < kRecolourPercent) {
    Recolour(filters, random);
    return;
  }
  const int changes = 1 + random.Below(3);
  for (int k = 0; k < changes; ++k) {
    const int first = random.Below(rows);
    const int length = random.Below(2) == 0 ? 1 : 1 + random.Below(kLongestMutatedRange);
    const uint8_t filter = uint8_t(random.Below(kFilterTypes));
    std::fill(filters.begin() + first, filters.begin() + std::min(rows, first + length), filter);
  }
  KeepFirstRowLegal(filters);
}

// The better of two random members (the population is kept sorted, so the
// lower index is the fitter).
const Candidate& Tournament(const std::vector<Candidate>& population, Random& random) {
  const int n = int(population.size());
  return population[size_t(std::min(random.Below(n), random.Below(n)))];
}

std::vector<uint8_t> MakeChild(const std::vector<Candidate>& population, Random& random) {
  std::vector<uint8_t> child = Tournament(population, random).filters;
  const int rows = int(child.size());
  if (random.Below(100) < kCrossoverPercent) {
    const std::vector<uint8_t>& other = Tournament(population, random).filters;
    int first = 0, last = 0;
    RandomRange(rows, random, first, last);
    std::copy(other.begin() + first, other.begin() + last + 1, child.begin() + first);
  }
  Mutate(child, random);
  return child;
}

bool Contains(const std::vector<Candidate>& list, const std::vector<uint8_t>& filters) {
  return std::any_of(list.begin(), list.end(), [&filters](const Candidate& c) { return c.filters == filters; });
}

void Price(std::vector<Candidate>& list, const FilterFitness& fitness, int threads, int& evaluations) {
  ParallelFor(list.size(), std::max(threads, 1), [&](size_t i) { list[i].fitness = fitness(list[i].filters); });
  evaluations += int(list.size());
}

// Best first; among equals the older member stays ahead, so a child has to
// be strictly better to displace its parent.
void Survive(std::vector<Candidate>& population, int size) {
  std::stable_sort(population.begin(), population.end(),
                   [](const Candidate& a, const Candidate& b) { return a.fitness < b.fitness; });
  if (population.size() > size_t(size)) population.resize(size_t(size));
}

}  // namespace

EvolvedFilters EvolveRowFilters(const std::vector<std::vector<uint8_t>>& seeds, const FilterFitness& fitness,
                                const EvolutionBudget& budget) {
  EvolvedFilters result;
  const int populationSize = std::max(budget.population, 2);
  Random random(budget.seed);

  std::vector<Candidate> population;
  for (const std::vector<uint8_t>& seed : seeds) {
    if (int(population.size()) >= budget.evaluations) break;
    if (!Contains(population, seed)) population.push_back({seed, 0.0});
  }
  if (population.empty() || population[0].filters.empty()) {
    if (!population.empty()) result.filters = population[0].filters;
    return result;
  }
  const size_t seedCount = population.size();
  for (int attempt = 0; int(population.size()) < std::min(populationSize, budget.evaluations) &&
                        attempt < kAttemptsPerChild * populationSize;
       ++attempt) {
    std::vector<uint8_t> mutant = population[size_t(random.Below(int(seedCount)))].filters;
    Mutate(mutant, random);
    if (!Contains(population, mutant)) population.push_back({std::move(mutant), 0.0});
  }
  Price(population, fitness, budget.threads, result.evaluations);
  Survive(population, populationSize);

  for (int generation = 0; generation < budget.generations; ++generation) {
    const int room = std::min(populationSize, budget.evaluations - result.evaluations);
    if (room <= 0 || (budget.stop && *budget.stop)) break;
    std::vector<Candidate> children;
    for (int made = 0; made < room; ++made) {
      std::vector<uint8_t> child;
      for (int attempt = 0; attempt < kAttemptsPerChild; ++attempt) {
        child = MakeChild(population, random);
        if (!Contains(population, child) && !Contains(children, child)) break;
      }
      children.push_back({std::move(child), 0.0});
    }
    Price(children, fitness, budget.threads, result.evaluations);
    for (Candidate& child : children) {
      if (!Contains(population, child.filters)) population.push_back(std::move(child));
    }
    Survive(population, populationSize);
    result.generations = generation + 1;
  }
  result.filters = population[0].filters;
  result.fitness = population[0].fitness;
  for (Candidate& c : population) {
    result.population.push_back(std::move(c.filters));
    result.populationFitness.push_back(c.fitness);
  }
  return result;
}

}  // namespace search
