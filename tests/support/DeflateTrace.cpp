#include "DeflateTrace.h"

#include <stdexcept>

namespace oracle {
namespace {

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  int Bit() {
    if (m_pos >= m_size) throw Failure("stream ends early");
    const int bit = (m_data[m_pos] >> m_bit) & 1;
    if (++m_bit == 8) {
      m_bit = 0;
      ++m_pos;
    }
    return bit;
  }
  int Bits(int n) {
    int v = 0;
    for (int i = 0; i < n; ++i) v |= Bit() << i;
    return v;
  }
  void AlignToByte() {
    if (m_bit) {
      m_bit = 0;
      ++m_pos;
    }
  }
  size_t BytePos() const { return m_pos; }
  int64_t BitPos() const { return int64_t(m_pos) * 8 + m_bit; }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
  int m_bit = 0;
};

// Canonical Huffman decoding one bit at a time (RFC 1951, 3.2.2).
class Decoder {
 public:
  explicit Decoder(const std::vector<int>& lengths) : m_count(16, 0) {
    for (int len : lengths) {
      if (len < 0 || len > 15) throw Failure("bad code length");
      ++m_count[len];
    }
    m_count[0] = 0;
    int left = 1;
    for (int len = 1; len <= 15; ++len) {
      left = left * 2 - m_count[len];
      if (left < 0) throw Failure("over-subscribed code");
    }
    m_incomplete = left > 0;
    for (int len = 1; len <= 15; ++len)
      for (size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s] == len) m_symbols.push_back(int(s));
  }
  int Decode(BitReader& in) const {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= 15; ++len) {
      code |= in.Bit();
      const int count = m_count[len];
      if (code - first < count) return m_symbols[size_t(index + code - first)];
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    throw Failure("invalid code word");
  }
  bool Incomplete() const { return m_incomplete; }

 private:
  std::vector<int> m_count;
  std::vector<int> m_symbols;
  bool m_incomplete = false;
};

constexpr int kLengthBase[29] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31,
                                 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr int kDistBase[30] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193,
                               257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr int kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

void ReadDynamicHeader(BitReader& in, TracedBlock& block) {
  block.hlit = in.Bits(5) + 257;
  block.hdist = in.Bits(5) + 1;
  block.hclen = in.Bits(4) + 4;
  block.codeLengthLengths.assign(19, 0);
  for (int i = 0; i < block.hclen; ++i) block.codeLengthLengths[size_t(kOrder[i])] = in.Bits(3);
  const Decoder clDecoder(block.codeLengthLengths);
  std::vector<int> lengths;
  const size_t total = size_t(block.hlit + block.hdist);
  while (lengths.size() < total) {
    const int sym = clDecoder.Decode(in);
    CodeLengthSymbol entry{sym, 0};
    if (sym < 16) {
      lengths.push_back(sym);
    } else {
      int repeat = 0, value = 0;
      if (sym == 16) {
        if (lengths.empty()) throw Failure("repeat with no previous length");
        value = lengths.back();
        entry.extra = in.Bits(2);
        repeat = 3 + entry.extra;
      } else if (sym == 17) {
        entry.extra = in.Bits(3);
        repeat = 3 + entry.extra;
      } else {
        entry.extra = in.Bits(7);
        repeat = 11 + entry.extra;
      }
      if (lengths.size() + size_t(repeat) > total) throw Failure("repeat runs past the lengths");
      lengths.insert(lengths.end(), size_t(repeat), value);
    }
    block.header.push_back(entry);
  }
  block.litLenLengths.assign(lengths.begin(), lengths.begin() + block.hlit);
  block.distanceLengths.assign(lengths.begin() + block.hlit, lengths.end());
  if (block.litLenLengths[256] == 0) throw Failure("no end-of-block code");
}

void ReadCompressedData(BitReader& in, TracedBlock& block, const Decoder& lit, const Decoder& dist,
                        std::vector<uint8_t>& out) {
  for (int64_t start = in.BitPos();; start = in.BitPos()) {
    const int sym = lit.Decode(in);
    if (sym < 256) {
      out.push_back(uint8_t(sym));
      block.tokens.push_back({1, sym});
      block.tokenBits += in.BitPos() - start;
      continue;
    }
    if (sym == 256) return;
    if (sym > 285) throw Failure("bad length symbol");
    const int length = kLengthBase[sym - 257] + in.Bits(kLengthExtra[sym - 257]);
    const int dsym = dist.Decode(in);
    if (dsym > 29) throw Failure("bad distance symbol");
    const int distance = kDistBase[dsym] + in.Bits(kDistExtra[dsym]);
    if (size_t(distance) > out.size() || distance > 32768) throw Failure("distance too far back");
    for (int i = 0; i < length; ++i) out.push_back(out[out.size() - size_t(distance)]);
    block.tokens.push_back({length, distance});
    block.tokenBits += in.BitPos() - start;
  }
}

void ReadBlock(BitReader& in, TracedBlock& block, std::vector<uint8_t>& out) {
  block.final = in.Bit() != 0;
  block.type = in.Bits(2);
  if (block.type == 0) {
    in.AlignToByte();
    const int len = in.Bits(16);
    const int nlen = in.Bits(16);
    if ((len ^ 0xFFFF) != nlen) throw Failure("stored block length check");
    for (int i = 0; i < len; ++i) out.push_back(uint8_t(in.Bits(8)));
    return;
  }
  if (block.type == 1) {
    for (int i = 0; i < 288; ++i) block.litLenLengths.push_back(i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8);
    block.distanceLengths.assign(30, 5);
  } else if (block.type == 2) {
    ReadDynamicHeader(in, block);
  } else {
    throw Failure("reserved block type");
  }
  const Decoder lit(block.litLenLengths);
  const Decoder dist(block.distanceLengths);
  ReadCompressedData(in, block, lit, dist, out);
}

}  // namespace

DeflateCode LengthCode(int length) {
  int code = 28;
  while (kLengthBase[code] > length) --code;
  return {257 + code, kLengthBase[code], kLengthExtra[code]};
}

DeflateCode DistanceCode(int distance) {
  int code = 29;
  while (kDistBase[code] > distance) --code;
  return {code, kDistBase[code], kDistExtra[code]};
}

bool TraceZlib(const uint8_t* data, size_t size, std::vector<TracedBlock>& blocks, std::vector<uint8_t>& out,
               std::string* error, size_t* consumed) {
  blocks.clear();
  out.clear();
  try {
    if (size < 6) throw Failure("too short for zlib");
    if ((data[0] & 0x0F) != 8 || ((data[0] << 8) | data[1]) % 31 != 0) throw Failure("bad zlib header");
    BitReader in(data + 2, size - 2);
    do {
      blocks.emplace_back();
      ReadBlock(in, blocks.back(), out);
    } while (!blocks.back().final);
    in.AlignToByte();
    const size_t pos = 2 + in.BytePos();
    if (pos + 4 > size) throw Failure("no Adler-32");
    uint32_t a = 1, b = 0;
    for (uint8_t byte : out) {
      a = (a + byte) % 65521;
      b = (b + a) % 65521;
    }
    const uint32_t stored = (uint32_t(data[pos]) << 24) | (uint32_t(data[pos + 1]) << 16) |
                            (uint32_t(data[pos + 2]) << 8) | data[pos + 3];
    if (stored != ((b << 16) | a)) throw Failure("Adler-32 mismatch");
    if (consumed) *consumed = pos + 4;
    return true;
  } catch (const Failure& f) {
    if (error) *error = f.what();
    return false;
  }
}

}  // namespace oracle
