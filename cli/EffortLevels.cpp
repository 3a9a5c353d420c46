#include "cli/EffortLevels.h"

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
