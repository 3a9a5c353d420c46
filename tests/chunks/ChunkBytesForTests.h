// Raw chunks and small PNG files for the chunk model's tests, built with
// zlib's crc32 so that the CRCs do not come from the code under test.  Each
// chunk or file lives in its own exactly-sized heap block, so that the
// sanitizer build catches any read past its end.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace chunktest {

using Bytes = std::vector<uint8_t>;

inline uint32_t ZlibCrc(const uint8_t* data, size_t size) {
  return static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), data, static_cast<uInt>(size)));
}

inline uint32_t Be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// The characters of a literal, embedded zero bytes included: Text("k\0v").
template <size_t N>
Bytes Text(const char (&text)[N]) {
  return Bytes(text, text + N - 1);
}

// length, type, data, CRC over type and data.
inline Bytes RawChunk(std::string_view type, const Bytes& data) {
  Bytes out(data.size() + 12);
  const uint32_t length = static_cast<uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) {
    out[i] = static_cast<uint8_t>(length >> (24 - 8 * i));
    out[4 + i] = static_cast<uint8_t>(type[i]);
  }
  for (size_t i = 0; i < data.size(); ++i) out[8 + i] = data[i];
  const uint32_t crc = ZlibCrc(out.data() + 4, data.size() + 4);
  for (int i = 0; i < 4; ++i) out[8 + data.size() + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  return out;
}

// The CRC stored in a raw chunk equals zlib's CRC of its type and data.
inline bool CrcIsValid(const uint8_t* raw) {
  const uint32_t length = Be32(raw);
  return Be32(raw + 8 + length) == ZlibCrc(raw + 4, size_t{length} + 4);
}

inline std::string TypeOf(const uint8_t* raw) { return std::string(reinterpret_cast<const char*>(raw + 4), 4); }

// A PNG: signature, IHDR (1 x 1, the given colour type and depth), then the
// chunks appended.
class PngBuilder {
 public:
  PngBuilder(uint8_t colorType, uint8_t bitDepth) {
    m_bytes = {137, 80, 78, 71, 13, 10, 26, 10};
    Add("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, bitDepth, colorType, 0, 0, 0});
  }
  PngBuilder& Add(std::string_view type, const Bytes& data) {
    const Bytes raw = RawChunk(type, data);
    m_offsets.push_back(m_bytes.size());
    m_bytes.insert(m_bytes.end(), raw.begin(), raw.end());
    return *this;
  }
  // Offset of the n-th chunk added (0 is IHDR).
  size_t OffsetOf(size_t n) const { return m_offsets.at(n); }
  Bytes Build() const {
    return Bytes(m_bytes.begin(), m_bytes.end());  // exactly sized
  }

 private:
  Bytes m_bytes;
  std::vector<size_t> m_offsets;
};

}  // namespace chunktest
