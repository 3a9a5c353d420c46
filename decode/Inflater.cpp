#include "decode/Inflater.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

constexpr unsigned kLiteralFastBits = 9;
constexpr unsigned kDistanceFastBits = 6;
constexpr unsigned kLengthCodeFastBits = 7;  // code-length codes are at most 7 bits
constexpr unsigned kMaxCodeBits = 15;
constexpr uint64_t kPieceSize = Inflater::kWindowSize / 2;
constexpr uint32_t kWindowMask = Inflater::kWindowSize - 1;

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                        33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                        1025, 1537, 2049, 3073, 4097, 6145,  8193,  12289, 16385, 24577};
constexpr uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kLengthCodeOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

uint64_t LoadLittleEndian64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

struct FixedCodes {
  Inflater::HuffmanCode literal;
  Inflater::HuffmanCode distance;
  FixedCodes() {
    uint8_t lengths[288];
    std::fill(lengths, lengths + 144, 8);
    std::fill(lengths + 144, lengths + 256, 9);
    std::fill(lengths + 256, lengths + 280, 7);
    std::fill(lengths + 280, lengths + 288, 8);
    literal.Build(lengths, 288, kLiteralFastBits, false);
    std::fill(lengths, lengths + 32, 5);
    distance.Build(lengths, 32, kDistanceFastBits, false);
  }
};

// Built on first use; C++ guarantees a thread-safe one-time initialisation.
const FixedCodes& Fixed() {
  static const FixedCodes codes;
  return codes;
}

}  // namespace

bool Inflater::HuffmanCode::Build(const uint8_t* lengths, int n, unsigned fastBits, bool allowSingle) {
  std::fill(std::begin(count), std::end(count), 0);
  for (int i = 0; i < n; ++i) ++count[lengths[i]];
  count[0] = 0;
  // A code is usable when it neither over-subscribes the code space nor
  // leaves part of it unassigned; deflate only tolerates the latter for a
  // code of one symbol (or none, for distances that are never used).
  int left = 1;
  int used = 0;
  for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
    left = (left << 1) - count[len];
    if (left < 0) return false;
    used += count[len];
  }
  if (left > 0 && !(allowSingle && used <= 1)) return false;

  uint16_t offset[kMaxCodeBits + 2];
  offset[1] = 0;
  for (unsigned len = 1; len <= kMaxCodeBits; ++len) offset[len + 1] = offset[len] + count[len];
  uint16_t next[kMaxCodeBits + 2];
  std::copy(std::begin(offset), std::end(offset), std::begin(next));
  for (int i = 0; i < n; ++i)
    if (lengths[i]) symbols[next[lengths[i]]++] = static_cast<uint16_t>(i);

  // Fast table: every code of at most fastBits bits fills all entries whose
  // low bits are its bit-reversed code word.
  const unsigned tableSize = 1u << fastBits;
  std::fill(fast, fast + tableSize, 0);
  unsigned code = 0;
  unsigned index = 0;
  for (unsigned len = 1; len <= fastBits; ++len) {
    for (unsigned k = 0; k < count[len]; ++k, ++code, ++index) {
      unsigned reversed = 0;
      for (unsigned b = 0; b < len; ++b) reversed |= ((code >> b) & 1u) << (len - 1 - b);
      const uint16_t entry = static_cast<uint16_t>(symbols[index] << 4 | len);
      for (unsigned e = reversed; e < tableSize; e += 1u << len) fast[e] = entry;
    }
    code <<= 1;
  }
  return true;
}

// Forced inline: these run once or twice for every symbol decoded.
[[gnu::always_inline]] inline uint32_t Inflater::TakeBits(unsigned n) {
  const uint32_t value = static_cast<uint32_t>(m_bits & ((uint64_t{1} << n) - 1));
  m_bits >>= n;
  m_bitCount -= n;
  return value;
}

[[gnu::always_inline]] inline bool Inflater::DecodeSymbol(const HuffmanCode& code, unsigned fastBits,
                                                         int& symbol) {
  const uint16_t entry = code.fast[m_bits & ((1u << fastBits) - 1)];
  if (entry & 15) {
    symbol = entry >> 4;
    TakeBits(entry & 15);
    return true;
  }
  // Canonical walk: the code words of each length are consecutive numbers,
  // so one comparison per length finds the symbol.
  int value = 0;
  int first = 0;
  int index = 0;
  for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
    value |= static_cast<int>((m_bits >> (len - 1)) & 1);
    const int count = code.count[len];
    if (value - first < count) {
      symbol = code.symbols[index + value - first];
      TakeBits(len);
      return true;
    }
    index += count;
    first = (first + count) << 1;
    value <<= 1;
  }
  return false;
}

void Inflater::Start(InflateInput* input, bool zlibHeader) {
  m_input = input;
  m_in = m_inEnd = nullptr;
  m_bits = 0;
  m_bitCount = 0;
  m_phantomBits = 0;
  m_inputDone = false;
  m_block = Block::None;
  m_lastBlock = false;
  m_failed = false;
  m_storedLeft = 0;
  m_written = 0;
  m_handedOut = 0;
  m_lit = m_dist = nullptr;
  if (zlibHeader) {
    Refill();
    TakeBits(16);
    if (Overran()) m_failed = true;
  }
}

// Tops the bit buffer up to at least 57 bits.  Once the input is exhausted it
// adds zero bits and counts them, so a decoder that consumes them is caught by
// Overran() instead of reading outside the input.
void Inflater::Refill() {
  if (m_inEnd - m_in >= 8) {
    m_bits |= LoadLittleEndian64(m_in) << m_bitCount;
    m_in += (63 - m_bitCount) >> 3;
    m_bitCount |= 56;
    return;
  }
  while (m_bitCount <= 56) {
    while (m_in == m_inEnd && !m_inputDone) {
      const uint8_t* data = nullptr;
      size_t size = 0;
      if (m_input == nullptr || !m_input->Next(data, size)) {
        m_inputDone = true;
      } else {
        m_in = data;
        m_inEnd = data + size;
      }
    }
    if (m_in == m_inEnd) {
      m_bitCount += 8;
      m_phantomBits += 8;
    } else {
      m_bits |= static_cast<uint64_t>(*m_in++) << m_bitCount;
      m_bitCount += 8;
    }
  }
}

bool Inflater::BeginBlock() {
  Refill();
  m_lastBlock = TakeBits(1) != 0;
  const uint32_t type = TakeBits(2);
  if (type == 0) {
    TakeBits(m_bitCount & 7);
    Refill();
    const uint32_t len = TakeBits(16);
    const uint32_t nlen = TakeBits(16);
    if (Overran() || (len ^ 0xFFFF) != nlen) return false;
    m_storedLeft = len;
    m_block = Block::Stored;
    return true;
  }
  if (type == 1) {
    m_lit = &Fixed().literal;
    m_dist = &Fixed().distance;
  } else if (type == 2) {
    if (!ReadDynamicCodes()) return false;
    m_lit = &m_literal;
    m_dist = &m_distance;
  } else {
    // The reserved block type carries no data; decoding goes on with the
    // next block (or ends, when this one was the last).
    m_block = Block::None;
    return !Overran();
  }
  m_block = Block::Coded;
  return !Overran();
}

bool Inflater::ReadDynamicCodes() {
  Refill();
  const unsigned literals = TakeBits(5) + 257;
  const unsigned distances = TakeBits(5) + 1;
  const unsigned lengthCodes = TakeBits(4) + 4;
  if (literals > 286 || distances > 30) return false;
  uint8_t lengths[288 + 32] = {};
  for (unsigned i = 0; i < lengthCodes; ++i) {
    if (m_bitCount < 3) Refill();
    lengths[kLengthCodeOrder[i]] = static_cast<uint8_t>(TakeBits(3));
  }
  if (Overran()) return false;
  HuffmanCode lengthCode;
  if (!lengthCode.Build(lengths, 19, kLengthCodeFastBits, false)) return false;

  const unsigned total = literals + distances;
  std::fill(lengths, lengths + 19, 0);
  unsigned i = 0;
  while (i < total) {
    if (m_bitCount < 16) Refill();
    int symbol = 0;
    if (!DecodeSymbol(lengthCode, kLengthCodeFastBits, symbol)) return false;
    if (symbol < 16) {
      lengths[i++] = static_cast<uint8_t>(symbol);
      continue;
    }
    uint8_t value = 0;
    unsigned repeat = 0;
    if (symbol == 16) {
      if (i == 0) return false;
      value = lengths[i - 1];
      repeat = 3 + TakeBits(2);
    } else if (symbol == 17) {
      repeat = 3 + TakeBits(3);
    } else {
      repeat = 11 + TakeBits(7);
    }
    if (repeat > total - i) return false;  // runs past the declared lengths
    std::fill(lengths + i, lengths + i + repeat, value);
    i += repeat;
  }
  if (Overran()) return false;
  if (lengths[256] == 0) return false;  // a block must be able to end
  return m_literal.Build(lengths, static_cast<int>(literals), kLiteralFastBits, true) &&
         m_distance.Build(lengths + literals, static_cast<int>(distances), kDistanceFastBits, true);
}

bool Inflater::RunStored(uint64_t limit) {
  while (m_storedLeft > 0 && m_written < limit) {
    uint32_t pos = static_cast<uint32_t>(m_written) & kWindowMask;
    if (m_bitCount >= 8) {
      // Whole bytes still in the bit buffer come first.
      m_window[pos] = static_cast<uint8_t>(TakeBits(8));
      if (Overran()) return false;
      ++m_written;
      --m_storedLeft;
      continue;
    }
    if (m_in == m_inEnd) {
      Refill();
      if (m_bitCount == m_phantomBits) return false;  // the input ended inside the block
      continue;
    }
    m_bits = 0;  // the buffer is empty; drop look-ahead bits of bytes copied directly
    size_t n = std::min<uint64_t>({m_storedLeft, limit - m_written, kWindowSize - pos,
                                   static_cast<uint64_t>(m_inEnd - m_in)});
    std::memcpy(m_window + pos, m_in, n);
    m_in += n;
    m_written += n;
    m_storedLeft -= static_cast<uint32_t>(n);
  }
  if (m_storedLeft == 0) m_block = Block::None;
  return true;
}

bool Inflater::RunCoded(uint64_t limit) {
  const HuffmanCode& lit = *m_lit;
  const HuffmanCode& dist = *m_dist;
  while (m_written < limit) {
    if (m_bitCount < 48) Refill();  // enough for a length, a distance and their extra bits
    int symbol = 0;
    if (!DecodeSymbol(lit, kLiteralFastBits, symbol)) return false;
    if (symbol < 256) {
      m_window[static_cast<uint32_t>(m_written++) & kWindowMask] = static_cast<uint8_t>(symbol);
      if (Overran()) return false;
      continue;
    }
    if (symbol == 256) {
      m_block = Block::None;
      return !Overran();
    }
    symbol -= 257;
    if (symbol >= 29) return false;
    const unsigned length = kLengthBase[symbol] + TakeBits(kLengthExtra[symbol]);
    int distSymbol = 0;
    if (!DecodeSymbol(dist, kDistanceFastBits, distSymbol) || distSymbol >= 30) return false;
    const unsigned distance = kDistanceBase[distSymbol] + TakeBits(kDistanceExtra[distSymbol]);
    if (Overran() || distance > m_written) return false;
    uint32_t to = static_cast<uint32_t>(m_written) & kWindowMask;
    uint32_t from = (to - distance) & kWindowMask;
    // A distance near the window size puts the source just ahead of the
    // destination in the ring, so both gaps must exceed the length before the
    // two ranges are known to be apart.
    const bool apart = distance >= length && kWindowSize - distance >= length;
    if (to + length <= kWindowSize && from + length <= kWindowSize && apart) {
      std::memcpy(m_window + to, m_window + from, length);
    } else {
      for (unsigned k = 0; k < length; ++k) {
        m_window[to] = m_window[from];
        to = (to + 1) & kWindowMask;
        from = (from + 1) & kWindowMask;
      }
    }
    m_written += length;
  }
  return true;
}

Inflater::Status Inflater::Produce() {
  // Pending bytes stay below half the window plus one match, so decoding
  // never overwrites bytes the caller has not taken yet.
  const uint64_t limit = m_handedOut + kPieceSize;
  while (m_written < limit) {
    if (m_failed) return Status::Error;
    if (m_block == Block::None) {
      if (m_lastBlock) break;
      if (!BeginBlock()) m_failed = true;
      continue;
    }
    const bool ok = m_block == Block::Stored ? RunStored(limit) : RunCoded(limit);
    if (!ok) m_failed = true;
  }
  if (m_failed) return Status::Error;
  return m_written > m_handedOut ? Status::Ok : Status::End;
}

Inflater::Status Inflater::Pending(const uint8_t*& data, size_t& size) {
  if (m_written == m_handedOut) {
    const Status status = Produce();
    if (status != Status::Ok) return status;
  }
  const uint32_t start = static_cast<uint32_t>(m_handedOut) & kWindowMask;
  data = m_window + start;
  size = static_cast<size_t>(std::min<uint64_t>({m_written - m_handedOut, kWindowSize - start, kPieceSize}));
  return Status::Ok;
}

Inflater::Status Inflater::NextPiece(const uint8_t*& piece, size_t& size) {
  const Status status = Pending(piece, size);
  if (status == Status::Ok) m_handedOut += size;
  return status;
}

long long Inflater::Read(uint8_t* out, size_t n) {
  size_t copied = 0;
  while (copied < n) {
    const uint8_t* data = nullptr;
    size_t size = 0;
    const Status status = Pending(data, size);
    if (status == Status::Error) return -1;
    if (status == Status::End) break;
    const size_t take = std::min(size, n - copied);
    std::memcpy(out + copied, data, take);
    copied += take;
    m_handedOut += take;
  }
  return static_cast<long long>(copied);
}
