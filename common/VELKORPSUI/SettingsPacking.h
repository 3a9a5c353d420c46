// How the Simple dialog's strategy and pass limit fit into stored numbers.
//
// The pass limit is one 32-bit number so that "no limit" and "a limit of N"
// need only one value: bit 16 says a limit is set and the low 16 bits carry
// it.  Unpacking looks only at whether any upper bit is set, so a stored
// 0x10000 (flag set, zero passes) means no limit, as a limit of zero passes
// would make no sense.  A strategy outside the slider's range is stored as
// the first strategy.
#pragma once

#include <cstdint>

inline constexpr uint32_t kPassLimitFlag = 0x10000;
inline constexpr int kStrategyCount = 5;  // "Xtreme!" .. "No compression"

// The "Limit Passes" value for the check box and the number in the pass edit.
constexpr uint32_t PackPassLimit(bool limited, int passNumber) {
  return limited ? ((static_cast<uint32_t>(passNumber) & 0xFFFF) | kPassLimitFlag) : 0;
}

// The maximum number of passes a "Limit Passes" value asks for; 0 = no limit.
constexpr int UnpackPassLimit(uint32_t stored) {
  return (stored >> 16) != 0 ? static_cast<int>(stored & 0xFFFF) : 0;
}

// The "Strategy" value for a strategy slider position.
constexpr uint32_t PackStrategy(int sliderPosition) {
  return sliderPosition >= 0 && sliderPosition < kStrategyCount ? static_cast<uint32_t>(sliderPosition) : 0;
}
