// Bounds-checked access to the bytes of an image file.  The format decoders
// read headers at fixed offsets and pixel data as a stream; every read goes
// through this class, so a file that is shorter than its header claims can
// never make a decoder look past the end of the caller's buffer.  Offsets are
// 64-bit so that sums of header fields (offset + length) cannot wrap.
#pragma once

#include <cstddef>
#include <cstdint>

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

  size_t Size() const { return m_size; }

  // True when the bytes [offset, offset + count) all lie inside the data.
  bool Has(uint64_t offset, uint64_t count) const {
    return offset <= m_size && count <= m_size - offset;
  }

  // Little-endian fields at a fixed offset; 0 for any byte outside the data.
  // Callers that must tell a missing field from a zero one check Has() first.
  uint8_t U8(uint64_t offset) const { return offset < m_size ? m_data[offset] : 0; }
  uint16_t U16(uint64_t offset) const {
    return static_cast<uint16_t>(U8(offset) | (U8(offset + 1) << 8));
  }
  uint32_t U32(uint64_t offset) const {
    return static_cast<uint32_t>(U16(offset)) | (static_cast<uint32_t>(U16(offset + 2)) << 16);
  }
  int16_t S16(uint64_t offset) const { return static_cast<int16_t>(U16(offset)); }
  int32_t S32(uint64_t offset) const { return static_cast<int32_t>(U32(offset)); }

  // Little-endian value of `count` (0 to 4) bytes; false when any is missing.
  bool ReadValue(uint64_t offset, unsigned count, uint32_t& value) const {
    if (!Has(offset, count)) return false;
    value = 0;
    for (unsigned i = 0; i < count; ++i) value |= static_cast<uint32_t>(m_data[offset + i]) << (8 * i);
    return true;
  }

  // Sequential reading for pixel streams: the cursor stops at the end.
  uint64_t Position() const { return m_pos; }
  void Seek(uint64_t offset) { m_pos = offset < m_size ? offset : m_size; }
  bool Next(uint8_t& byte) {
    if (m_pos >= m_size) return false;
    byte = m_data[m_pos++];
    return true;
  }
  bool NextValue(unsigned count, uint32_t& value) {
    if (!ReadValue(m_pos, count, value)) return false;
    m_pos += count;
    return true;
  }
  // Moves the cursor on by `count`; false (cursor at the end) when too few remain.
  bool Skip(uint64_t count) {
    if (!Has(m_pos, count)) {
      m_pos = m_size;
      return false;
    }
    m_pos += count;
    return true;
  }

 private:
  const uint8_t* m_data;
  size_t m_size;
  uint64_t m_pos = 0;
};
