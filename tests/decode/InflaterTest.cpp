// The inflater against zlib: whatever zlib compresses, at any level, with or without the zlib header and
// split into any input spans, comes back byte for byte; malformed streams end in an error.
#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <optional>
#include <random>
#include <vector>

#include "decode/Inflater.h"
#include "support/DeflateTrace.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Feeds a buffer to the inflater in spans of the given sizes (cycled).
struct SpanInput final : InflateInput {
  SpanInput(const Bytes& data, std::vector<size_t> spans) : m_data(data), m_spans(std::move(spans)) {}
  bool Next(const uint8_t*& data, size_t& size) override {
    if (m_at >= m_data.size()) return false;
    size = std::min(m_spans[m_turn++ % m_spans.size()], m_data.size() - m_at);
    data = m_data.data() + m_at;
    m_at += size;
    return true;
  }
  const Bytes& m_data;
  std::vector<size_t> m_spans;
  size_t m_at = 0, m_turn = 0;
};

// zlib's compress2; without the header the two leading and four trailing bytes are cut off.
Bytes Compress(const Bytes& data, int level, bool zlibHeader = true) {
  uLongf size = compressBound(data.size());
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), data.size(), level), Z_OK);
  return zlibHeader ? Bytes(out.begin(), out.begin() + size) : Bytes(out.begin() + 2, out.begin() + size - 4);
}

// Random bytes from a small alphabet with repeats: literals, matches and (level 0) stored blocks.
Bytes SampleData(size_t size, unsigned seed, int alphabet) {
  std::mt19937 random(seed);
  Bytes data;
  while (data.size() < size) {
    const size_t distance = data.size() > 10 && random() % 3 == 0 ? 1 + random() % std::min<size_t>(data.size(), 40000) : 0;
    for (size_t i = 0, length = distance ? 3 + random() % 300 : 1; i < length && data.size() < size; ++i)
      data.push_back(distance ? data[data.size() - distance] : static_cast<uint8_t>(random() % alphabet));
  }
  return data;
}

// Inflates all of the stream through NextPiece or through Read; nothing on an error.
std::optional<Bytes> Inflate(const Bytes& stream, std::vector<size_t> spans, bool zlibHeader, bool byPieces) {
  SpanInput input(stream, std::move(spans));
  auto inflater = std::make_unique<Inflater>();
  inflater->Start(&input, zlibHeader);
  Bytes out;
  for (;;) {
    if (byPieces) {
      const uint8_t* piece = nullptr;
      size_t size = 0;
      const Inflater::Status status = inflater->NextPiece(piece, size);
      if (status != Inflater::Status::Ok) return status == Inflater::Status::End ? std::optional(out) : std::nullopt;
      EXPECT_LE(size, Inflater::kWindowSize / 2);
      out.insert(out.end(), piece, piece + size);
    } else {
      uint8_t buffer[777];
      const long long got = inflater->Read(buffer, sizeof buffer);
      if (got <= 0) return got == 0 ? std::optional(out) : std::nullopt;
      out.insert(out.end(), buffer, buffer + got);
    }
  }
}

TEST(Inflater, RoundTripsZlibAtEveryLevel) {
  unsigned seed = 1;
  for (const auto& [size, alphabet] : {std::pair<size_t, int>{0, 2}, {1, 256}, {1000, 4}, {70000, 256}, {300000, 16}, {200000, 2}}) {
    const Bytes data = SampleData(size, seed++, alphabet);
    for (int level : {0, 1, 6, 9}) {
      const Bytes stream = Compress(data, level);
      EXPECT_EQ(Inflate(stream, {1u << 20}, true, true), data) << size << " " << level;
      EXPECT_EQ(Inflate(stream, {1, 7, 3, 4096, 2}, true, false), data) << size << " " << level;
      EXPECT_EQ(Inflate(Compress(data, level, false), {5000}, false, size % 2 == 0), data) << size << " " << level;
    }
  }
  const Bytes stream = Compress(SampleData(40000, 5, 64), 6);
  for (size_t keep : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, stream.size() / 2, stream.size() - 6})
    EXPECT_EQ(Inflate(Bytes(stream.begin(), stream.begin() + keep), {100}, true, true), std::nullopt) << "cut at " << keep;
}

// Builds deflate streams bit by bit, least significant bit first.
struct BitWriter {
  BitWriter& Put(uint32_t value, int bits) { return Emit(value, bits, false); }
  BitWriter& Code(uint32_t code, int bits) { return Emit(code, bits, true); }  // Huffman code words go out top bit first
  BitWriter& Emit(uint32_t value, int bits, bool topFirst) {
    for (int i = 0; i < bits; ++i) Bit((value >> (topFirst ? bits - 1 - i : i)) & 1);
    return *this;
  }
  BitWriter& Align() { return Put(0, (8 - bit) & 7); }
  void Bit(uint32_t b) {
    if (bit == 0) bytes.push_back(0);
    bytes.back() |= static_cast<uint8_t>(b << bit);
    bit = (bit + 1) & 7;
  }
  Bytes bytes;
  int bit = 0;
};

// A dynamic header (257 literal/length codes, 1 distance code) whose
// code-length code has two one-bit codes, 0 and 18, then the given zero runs.
Bytes ZeroRuns(std::initializer_list<int> runs) {
  BitWriter w;
  w.Put(1, 1).Put(2, 2).Put(0, 5).Put(0, 5).Put(0, 4).Put(0, 3).Put(0, 3).Put(1, 3).Put(1, 3);
  for (int run : runs) w.Code(1, 1).Put(static_cast<uint32_t>(run - 11), 7);
  return w.Put(0, 32).bytes;
}

TEST(Inflater, HandBuiltStreams) {
  const struct { const char* name; Bytes stream; std::optional<Bytes> want = std::nullopt; } cases[] = {
      {"stored block whose NLEN is not the complement of LEN",
       BitWriter().Put(1, 1).Put(0, 2).Align().Put(1, 16).Put(0, 16).Put('A', 8).bytes},
      {"reserved block type is skipped",
       BitWriter().Put(0, 1).Put(3, 2).Put(1, 1).Put(1, 2).Code(0x30 + 'h', 8).Code(0x30 + 'i', 8).Code(0, 7).bytes, Bytes{'h', 'i'}},
      {"a distance reaching before the start of the output",  // length 3, distance 2 after one byte
       BitWriter().Put(1, 1).Put(1, 2).Code(0x30 + 'x', 8).Code(1, 7).Code(1, 5).Code(0, 7).bytes},
      {"distance symbol 30 is reserved",
       BitWriter().Put(1, 1).Put(1, 2).Code(0x30 + 'x', 8).Code(1, 7).Code(30, 5).Code(0, 7).bytes},
      {"more than 286 literal/length codes", BitWriter().Put(1, 1).Put(2, 2).Put(30, 5).Put(0, 5).Put(0, 4).Put(0, 32).bytes},
      {"zero runs past the 258 lengths declared", ZeroRuns({138, 138})},
      {"exactly 258 zeros: no end-of-block code", ZeroRuns({138, 120})}, {"over-subscribed code-length code",
       BitWriter().Put(1, 1).Put(2, 2).Put(0, 14).Put(1, 3).Put(1, 3).Put(1, 3).Put(0, 3).Put(0, 32).bytes},
  };
  for (const auto& c : cases) EXPECT_EQ(Inflate(c.stream, {3}, false, true), c.want) << c.name;
}

// Puts a length/distance pair in a fixed-Huffman block.
void PutFixedMatch(BitWriter& w, int length, int distance) {
  const oracle::DeflateCode symbol = oracle::LengthCode(length), code = oracle::DistanceCode(distance);
  w.Code(symbol.code < 280 ? symbol.code - 256 : 0xC0 + symbol.code - 280, symbol.code < 280 ? 7 : 8);
  w.Put(uint32_t(length - symbol.base), symbol.extraBits);
  w.Code(uint32_t(code.code), 5).Put(uint32_t(distance - code.base), code.extraBits);
}

// Matches that reach back almost the whole window read bytes just ahead of
// where they write in the ring; the copy must still see the old bytes.
TEST(Inflater, MatchesReachingAcrossTheWholeWindow) {
  std::mt19937 random(11);
  for (const auto& c : {std::array{32761u, 32761u, 197u}, {40000, 32761, 197}, {32768, 32768, 258}, {50000, 32767, 3},
                        {65535, 32700, 258}, {33000, 32768, 10}, {32768, 16384, 258}, {36000, 200, 258}}) {
    const auto [prefix, distance, length] = c;
    SCOPED_TRACE(testing::Message() << "prefix " << prefix << " distance " << distance << " length " << length);
    Bytes expected(prefix);
    for (auto& b : expected) b = static_cast<uint8_t>(random());
    BitWriter w;
    w.Put(0, 3).Align().Put(prefix, 16).Put(~prefix & 0xFFFF, 16);  // stored, not last
    for (uint8_t b : expected) w.Put(b, 8);
    w.Put(1, 1).Put(1, 2);  // fixed, last
    for (int repeat = 0; repeat < 2; ++repeat) {
      PutFixedMatch(w, length, distance);
      for (unsigned k = 0; k < length; ++k) expected.push_back(expected[expected.size() - distance]);
    }
    w.Code(0, 7).Put(0, 32);
    for (bool byPieces : {true, false}) EXPECT_EQ(Inflate(w.bytes, {4096}, false, byPieces), expected);
  }
}

}  // namespace
