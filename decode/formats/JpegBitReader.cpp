#include "decode/formats/JpegBitReader.h"

namespace jpeg {

void BitReader::Fill() {
  while (m_count <= 56) {
    uint32_t byte = 0;
    bool real = false;
    if (!m_atMarker && m_pos < m_size) {
      byte = m_data[m_pos];
      if (byte != 0xFF) {
        ++m_pos;
        real = true;
      } else if (m_pos + 1 < m_size && m_data[m_pos + 1] == 0x00) {
        m_pos += 2;
        real = true;
      } else {
        // A marker (or a lone 0xFF at the very end): the data ends here.
        m_atMarker = true;
        byte = 0;
      }
    }
    if (!real) m_pad += 8;
    m_bits |= static_cast<uint64_t>(byte) << (56 - m_count);
    m_count += 8;
  }
}

bool BitReader::Restart(int expected) {
  m_bits = 0;
  m_count = 0;
  m_pad = 0;
  m_atMarker = false;
  // Bytes between the interval's last bit and the marker are padding at
  // best; skip to the next 0xFF that starts a marker.
  while (m_pos + 1 < m_size) {
    if (m_data[m_pos] == 0xFF && m_data[m_pos + 1] != 0x00 && m_data[m_pos + 1] != 0xFF) break;
    ++m_pos;
  }
  if (m_pos + 1 >= m_size || m_data[m_pos + 1] != 0xD0 + expected) return false;
  m_pos += 2;
  return true;
}

size_t BitReader::NextMarkerPosition() {
  size_t p = m_pos;
  while (p + 1 < m_size) {
    if (m_data[p] == 0xFF) {
      const uint8_t next = m_data[p + 1];
      if (next >= 0xD0 && next <= 0xD7) {
        p += 2;  // a restart marker after the last interval carries nothing
        continue;
      }
      if (next != 0x00 && next != 0xFF) return p;
    }
    ++p;
  }
  return m_size;
}

}  // namespace jpeg
