#include "decode/formats/GifLzw.h"

#include <array>

namespace {

constexpr unsigned kMaxCodeBits = 12;
constexpr unsigned kTableSize = 1u << kMaxCodeBits;

// Bits of the image data, least significant first, across the sub-blocks.
class SubBlockBits {
 public:
  explicit SubBlockBits(ByteReader& in) : m_in(in) {}

  bool ReadCode(unsigned width, unsigned& code) {
    while (m_count < width) {
      uint8_t byte = 0;
      if (!NextByte(byte)) return false;
      m_buffer |= static_cast<uint32_t>(byte) << m_count;
      m_count += 8;
    }
    code = m_buffer & ((1u << width) - 1u);
    m_buffer >>= width;
    m_count -= width;
    return true;
  }

 private:
  bool NextByte(uint8_t& byte) {
    if (m_blockLeft == 0) {
      uint8_t size = 0;
      if (!m_in.Next(size) || size == 0) return false;
      m_blockLeft = size;
    }
    --m_blockLeft;
    return m_in.Next(byte);
  }

  ByteReader& m_in;
  uint32_t m_buffer = 0;
  unsigned m_count = 0;
  unsigned m_blockLeft = 0;
};

// String table: each entry is a previous entry plus one index.
struct LzwTable {
  std::array<uint16_t, kTableSize> prefix{};
  std::array<uint8_t, kTableSize> suffix{};
  std::array<uint8_t, kTableSize> first{};
  std::array<uint16_t, kTableSize> length{};

  void InitRoots(unsigned rootCount) {
    for (unsigned i = 0; i < rootCount; ++i) {
      suffix[i] = first[i] = static_cast<uint8_t>(i);
      length[i] = 1;
    }
  }

  void Add(unsigned code, unsigned previous, uint8_t last) {
    prefix[code] = static_cast<uint16_t>(previous);
    suffix[code] = last;
    first[code] = first[previous];
    length[code] = static_cast<uint16_t>(length[previous] + 1);
  }

  // Writes the string of `code` into `out` (room for kTableSize indices).
  size_t Expand(unsigned code, uint8_t* out) const {
    const size_t count = length[code];
    for (size_t i = count; i-- > 0;) {
      out[i] = suffix[code];
      code = prefix[code];
    }
    return count;
  }
};

}  // namespace

void DecodeGifLzw(ByteReader& in, unsigned minCodeSize, LzwSink& sink) {
  if (minCodeSize < 1 || minCodeSize > 8) return;
  const unsigned clearCode = 1u << minCodeSize;
  const unsigned endCode = clearCode + 1;

  LzwTable table;
  table.InitRoots(clearCode);
  std::array<uint8_t, kTableSize> string{};
  SubBlockBits bits(in);

  unsigned width = minCodeSize + 1;
  unsigned nextFree = clearCode + 2;
  bool havePrevious = false;
  unsigned previous = 0;
  unsigned code = 0;
  while (bits.ReadCode(width, code)) {
    if (code == clearCode) {
      width = minCodeSize + 1;
      nextFree = clearCode + 2;
      havePrevious = false;
      continue;
    }
    if (code == endCode) return;
    if (!havePrevious) {
      if (code >= clearCode) return;
      string[0] = static_cast<uint8_t>(code);
      if (!sink.Write(string.data(), 1)) return;
      previous = code;
      havePrevious = true;
      continue;
    }
    if (code > nextFree) return;  // codes never exceed 4095, so nextFree < 4096 here
    size_t count = 0;
    if (code < nextFree) {
      count = table.Expand(code, string.data());
      if (nextFree < kTableSize) table.Add(nextFree, previous, string[0]);
    } else {
      // The code being defined right now: the previous string plus its own first index.
      table.Add(nextFree, previous, table.first[previous]);
      count = table.Expand(code, string.data());
    }
    if (nextFree < kTableSize) {
      ++nextFree;
      if (nextFree == (1u << width) && width < kMaxCodeBits) ++width;
    }
    if (!sink.Write(string.data(), count)) return;
    previous = code;
  }
}
