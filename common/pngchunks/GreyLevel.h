// The 8-bit level of a grey bKGD sample: value × 255 / (2^depth − 1),
// truncating, as the background of a grey image is shown and written.  Three
// places need it (the chunk record, its description, the extraction), and
// all three must refuse the same malformed inputs: a bit depth outside 1..16
// and a stored value above what the depth can hold.
#pragma once

#include <cstdint>

namespace chunks {

inline bool GreyLevel(uint32_t value, int bitDepth, uint32_t& level) {
  if (bitDepth < 1 || bitDepth > 16) return false;
  const uint32_t maximum = (uint32_t{1} << bitDepth) - 1;
  if (value > maximum) return false;
  level = value * 255 / maximum;
  return true;
}

}  // namespace chunks
