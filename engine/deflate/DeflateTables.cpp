#include "engine/deflate/DeflateTables.h"

namespace deflate {

CodeTables::CodeTables() {
  m_lengthCode[0] = m_lengthCode[1] = m_lengthCode[2] = 0;
  for (int code = 0; code < 29; ++code) {
    const int first = kLengthCodes[code].base;
    const int last = code == 27 ? 257 : first + (1 << kLengthCodes[code].extraBits) - 1;
    for (int len = first; len <= last && len <= kMaxMatch; ++len) m_lengthCode[len] = static_cast<uint8_t>(code);
  }
  m_lengthCode[kMaxMatch] = 28;
  m_distSmall[0] = 0;
  for (int code = 0; code < 30; ++code) {
    const int first = kDistanceCodeInfo[code].base;
    const int last = first + (1 << kDistanceCodeInfo[code].extraBits) - 1;
    for (int d = first; d <= last; ++d) {
      if (d <= 256) m_distSmall[d] = static_cast<uint8_t>(code);
      else m_distLarge[(d - 1) >> 7] = static_cast<uint8_t>(code);
    }
  }
}

}  // namespace deflate
