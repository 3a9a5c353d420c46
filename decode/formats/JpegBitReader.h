// Reads the entropy-coded data of one JPEG scan bit by bit, most significant
// bit first, undoing the 0xFF 0x00 byte stuffing.
//
// The reader never steps onto a marker: at one (or at the end of the data)
// it feeds zero bits so that Huffman lookahead may peek past the last real
// bit, and it keeps count of those pad bits.  Consuming a pad bit means the
// scan claimed more data than it holds; Overrun() reports that so the
// decoder can reject a truncated or corrupt scan instead of inventing pixels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jpeg {

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size, size_t pos) : m_data(data), m_size(size), m_pos(pos) {}

  // The next n (1..16) bits without consuming them.
  uint32_t Peek(int n) {
    if (m_count < n) Fill();
    return static_cast<uint32_t>(m_bits >> (64 - n));
  }
  void Consume(int n) {
    m_bits <<= n;
    m_count -= n;
    if (m_count < m_pad) m_overrun = true;
  }
  uint32_t Get(int n) {
    const uint32_t v = Peek(n);
    Consume(n);
    return v;
  }
  bool Overrun() const { return m_overrun; }

  // Drops the bits left of a restart interval and steps over the marker
  // RSTn that must follow; false when another marker stands there.
  bool Restart(int expected);

  // Where the data after this scan's entropy-coded bytes begins: the first
  // marker other than a stray restart marker, or the end of the data.
  size_t NextMarkerPosition();

 private:
  void Fill();

  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos;
  uint64_t m_bits = 0;  // m_count valid bits, left-aligned
  int m_count = 0;
  int m_pad = 0;        // zero bits at the low end of m_bits that are not data
  bool m_atMarker = false;
  bool m_overrun = false;
};

}  // namespace jpeg
