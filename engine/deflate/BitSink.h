// A least-significant-bit-first bit writer into a byte vector, for streams
// that are assembled in memory (the optimal parser writes whole blocks once
// their parse is final).
#pragma once

#include <cstdint>
#include <vector>

namespace deflate {

class BitSink {
 public:
  explicit BitSink(std::vector<uint8_t>& out) : m_out(out) {}

  // value fits in count bits, count <= 24.
  void Put(uint32_t value, int count) {
    m_buffer |= value << m_count;
    m_count += count;
    while (m_count >= 8) {
      m_out.push_back(uint8_t(m_buffer));
      m_buffer >>= 8;
      m_count -= 8;
    }
  }

  // Pads with zero bits to the next byte boundary.
  void AlignToByte() {
    if (m_count > 0) Put(0, 8 - m_count);
  }

  void PutByte(uint8_t b) { m_out.push_back(b); }  // only when aligned
  int PendingBits() const { return m_count; }

 private:
  std::vector<uint8_t>& m_out;
  uint32_t m_buffer = 0;
  int m_count = 0;
};

}  // namespace deflate
