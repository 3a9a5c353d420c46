#include "cli/EffortLevels.h"

#include <algorithm>

namespace {

// Raw bytes the extra full runs of a small image may add up to: a few
// hundredths of a second.
constexpr size_t kSmallImageBudget = 64 * 1024;
constexpr int kMostFullTrials = 8;

// Raw bytes all random-table runs of one image may add up to: about five
// runs of a 768 x 512 photo.
constexpr size_t kRandomTrialBudget = size_t(8) << 20;

// Filtered bytes the genetic search may price per image: about 430
// estimates of a 768 x 512 photo, some 15 s of CPU.  On icons and small
// screenshots more estimates found nothing the optimal parser kept (a few
// hundred already settle the search there); below two generations the
// search has not begun.
constexpr size_t kEvolutionBudget = size_t(512) << 20;
constexpr int kEvolutionPopulation = 12;
constexpr int kMostEvolutionEstimates = 600;
constexpr int kFewestEvolutionEstimates = 2 * kEvolutionPopulation;

// Filtered bytes the polishing moves may deflate per image: about 20 size
// calls for a 768 x 512 photo (some 10 s of CPU), its three starts and the
// whole-image moves, which hold most of what polishing finds; small images
// get the moves of the halves and quarters too.
constexpr size_t kPolishBudget = size_t(24) << 20;
constexpr int kMostPolishMoves = 240;
constexpr int kFewestPolishMoves = 4;

}  // namespace

int FindEffortLevel(const std::string& text) {
  for (int i = 0; i < kEffortLevelCount; ++i) {
    if (text == kEffortLevels[i].name) return i;
  }
  return -1;
}

int EffortOfOldSwitch(int oldLevel) {
  switch (oldLevel) {
    case 1: return 1;
    case 2: return 2;
    default: return 4;
  }
}

int FullTrials(const EffortLevel& level, size_t rawBytes) {
  if (level.fullTrials == 0) return 0;
  const size_t affordable = kSmallImageBudget / std::max<size_t>(rawBytes, 1);
  return std::max(level.fullTrials, int(std::min<size_t>(affordable, kMostFullTrials)));
}

int ExtraTrials(const EffortLevel& level, size_t rawBytes) {
  if (level.filterSearch < 5 || level.extraTrialBytes == 0) return 0;
  const size_t affordable = level.extraTrialBytes / std::max<size_t>(rawBytes, 1);
  const int all = int(std::min<size_t>(affordable, size_t(level.mostTrialsWithExtras)));
  return std::max(0, all - FullTrials(level, rawBytes));
}

int RandomTrials(const EffortLevel& level, size_t rawBytes) {
  if (level.randomTrials == 0) return 0;
  const size_t affordable = kRandomTrialBudget / std::max<size_t>(rawBytes, 1);
  return int(std::clamp<size_t>(affordable, 1, size_t(level.randomTrials)));
}

search::EvolutionBudget EvolutionBudgetOf(const EffortLevel& level, size_t rowBytes, int threads) {
  search::EvolutionBudget budget;
  budget.population = kEvolutionPopulation;
  budget.threads = std::max(threads, 1);
  if (level.filterSearch < 4) {
    budget.evaluations = 0;
    budget.generations = 0;
    return budget;
  }
  const size_t affordable = kEvolutionBudget / std::max<size_t>(rowBytes, 1);
  budget.evaluations = int(std::clamp<size_t>(affordable, kFewestEvolutionEstimates, kMostEvolutionEstimates));
  budget.generations = budget.evaluations / kEvolutionPopulation;
  return budget;
}

search::PolishBudget PolishBudgetOf(const EffortLevel& level, size_t rowBytes, int threads) {
  search::PolishBudget budget;
  budget.threads = std::max(threads, 1);
  if (level.filterSearch < 4) {
    budget.evaluations = 0;
    return budget;
  }
  const size_t affordable = kPolishBudget / std::max<size_t>(rowBytes, 1);
  budget.evaluations = int(std::clamp<size_t>(affordable, kFewestPolishMoves, kMostPolishMoves));
  return budget;
}
