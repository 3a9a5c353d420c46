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

int RandomTrials(const EffortLevel& level, size_t rawBytes) {
  if (level.randomTrials == 0) return 0;
  const size_t affordable = kRandomTrialBudget / std::max<size_t>(rawBytes, 1);
  return int(std::clamp<size_t>(affordable, 1, size_t(level.randomTrials)));
}
