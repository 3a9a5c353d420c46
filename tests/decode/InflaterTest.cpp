// The inflater against zlib: whatever zlib compresses, at any level and split
// into any input spans, must come back byte for byte; malformed streams must
// end in an error, never in a read outside the input.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "decode/Inflater.h"

namespace {

// Feeds a buffer to the inflater in spans of the given sizes (cycled).
class SpanInput final : public InflateInput {
 public:
  SpanInput(const std::vector<uint8_t>& data, std::vector<size_t> spans) : m_data(data), m_spans(std::move(spans)) {}
  bool Next(const uint8_t*& data, size_t& size) override {
    if (m_at >= m_data.size()) return false;
    size = std::min(m_spans[m_turn++ % m_spans.size()], m_data.size() - m_at);
    data = m_data.data() + m_at;
    m_at += size;
    return true;
  }

 private:
  const std::vector<uint8_t>& m_data;
  std::vector<size_t> m_spans;
  size_t m_at = 0;
  size_t m_turn = 0;
};

std::vector<uint8_t> Compress(const std::vector<uint8_t>& data, int level) {
  uLongf size = compressBound(data.size());
  std::vector<uint8_t> out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), data.size(), level), Z_OK);
  out.resize(size);
  return out;
}

// Random bytes drawn from a small alphabet with repeats, so every level
// produces literals, matches and (at level 0) stored blocks.
std::vector<uint8_t> SampleData(size_t size, unsigned seed, int alphabet) {
  std::mt19937 random(seed);
  std::vector<uint8_t> data;
  while (data.size() < size) {
    if (data.size() > 10 && random() % 3 == 0) {
      const size_t distance = 1 + random() % std::min<size_t>(data.size(), 40000);
      const size_t length = 3 + random() % 300;
      for (size_t i = 0; i < length && data.size() < size; ++i) data.push_back(data[data.size() - distance]);
    } else {
      data.push_back(static_cast<uint8_t>(random() % alphabet));
    }
  }
  return data;
}

enum class Outcome { Ok, Error };

Outcome InflateAll(const std::vector<uint8_t>& stream, std::vector<size_t> spans, bool zlibHeader,
                   std::vector<uint8_t>& out, bool byPieces) {
  SpanInput input(stream, std::move(spans));
  auto inflater = std::make_unique<Inflater>();
  inflater->Start(&input, zlibHeader);
  out.clear();
  for (;;) {
    if (byPieces) {
      const uint8_t* piece = nullptr;
      size_t size = 0;
      const Inflater::Status status = inflater->NextPiece(piece, size);
      if (status == Inflater::Status::Error) return Outcome::Error;
      if (status == Inflater::Status::End) return Outcome::Ok;
      EXPECT_LE(size, Inflater::kWindowSize / 2);
      out.insert(out.end(), piece, piece + size);
    } else {
      uint8_t buffer[777];
      const long long got = inflater->Read(buffer, sizeof buffer);
      if (got < 0) return Outcome::Error;
      if (got == 0) return Outcome::Ok;
      out.insert(out.end(), buffer, buffer + got);
    }
  }
}

TEST(Inflater, RoundTripsZlibAtEveryLevel) {
  const struct {
    size_t size;
    int alphabet;
  } samples[] = {{0, 2}, {1, 256}, {1000, 4}, {70000, 256}, {300000, 16}, {200000, 2}};
  unsigned seed = 1;
  for (const auto& sample : samples) {
    const std::vector<uint8_t> data = SampleData(sample.size, seed++, sample.alphabet);
    for (int level : {0, 1, 6, 9}) {
      SCOPED_TRACE(testing::Message() << "size " << sample.size << " level " << level);
      const std::vector<uint8_t> stream = Compress(data, level);
      std::vector<uint8_t> out;
      ASSERT_EQ(InflateAll(stream, {1u << 20}, true, out, true), Outcome::Ok);
      EXPECT_EQ(out, data);
      ASSERT_EQ(InflateAll(stream, {1, 7, 3, 4096, 2}, true, out, false), Outcome::Ok);
      EXPECT_EQ(out, data);
    }
  }
}

TEST(Inflater, RawDeflateWithoutHeader) {
  const std::vector<uint8_t> data = SampleData(50000, 99, 8);
  z_stream zs{};
  ASSERT_EQ(deflateInit2(&zs, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::vector<uint8_t> stream(deflateBound(&zs, data.size()));
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = stream.data();
  zs.avail_out = static_cast<uInt>(stream.size());
  ASSERT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  stream.resize(zs.total_out);
  deflateEnd(&zs);
  std::vector<uint8_t> out;
  ASSERT_EQ(InflateAll(stream, {5000}, false, out, false), Outcome::Ok);
  EXPECT_EQ(out, data);
}

TEST(Inflater, TruncatedStreamsFail) {
  const std::vector<uint8_t> data = SampleData(40000, 5, 64);
  for (int level : {0, 6}) {
    const std::vector<uint8_t> stream = Compress(data, level);
    for (size_t keep : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, stream.size() / 2, stream.size() - 6}) {
      SCOPED_TRACE(testing::Message() << "level " << level << " keep " << keep);
      const std::vector<uint8_t> cut(stream.begin(), stream.begin() + keep);
      std::vector<uint8_t> out;
      EXPECT_EQ(InflateAll(cut, {100}, true, out, true), Outcome::Error);
    }
  }
}

// Builds deflate streams bit by bit, least significant bit first.
class BitWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int i = 0; i < bits; ++i) PutBit((value >> i) & 1);
  }
  // A Huffman code word goes out most significant bit first.
  void PutCode(uint32_t code, int bits) {
    for (int i = bits - 1; i >= 0; --i) PutBit((code >> i) & 1);
  }
  void AlignToByte() {
    while (m_bit != 0) PutBit(0);
  }
  std::vector<uint8_t> bytes;

 private:
  void PutBit(uint32_t bit) {
    if (m_bit == 0) bytes.push_back(0);
    bytes.back() |= static_cast<uint8_t>(bit << m_bit);
    m_bit = (m_bit + 1) & 7;
  }
  int m_bit = 0;
};

Outcome InflateRaw(const std::vector<uint8_t>& stream, std::vector<uint8_t>& out) {
  return InflateAll(stream, {3}, false, out, true);
}

TEST(Inflater, HandBuiltStreams) {
  std::vector<uint8_t> out;
  {
    SCOPED_TRACE("stored block whose NLEN is not the complement of LEN");
    BitWriter w;
    w.Put(1, 1);
    w.Put(0, 2);
    w.AlignToByte();
    w.Put(1, 16);
    w.Put(0, 16);
    w.Put('A', 8);
    EXPECT_EQ(InflateRaw(w.bytes, out), Outcome::Error);
  }
  {
    SCOPED_TRACE("reserved block type is skipped");
    BitWriter w;
    w.Put(0, 1);
    w.Put(3, 2);
    w.Put(1, 1);
    w.Put(1, 2);           // fixed block
    w.PutCode(0x30 + 'h', 8);
    w.PutCode(0x30 + 'i', 8);
    w.PutCode(0, 7);       // end of block
    ASSERT_EQ(InflateRaw(w.bytes, out), Outcome::Ok);
    EXPECT_EQ(std::string(out.begin(), out.end()), "hi");
  }
  {
    SCOPED_TRACE("a distance reaching before the start of the output");
    BitWriter w;
    w.Put(1, 1);
    w.Put(1, 2);
    w.PutCode(0x30 + 'x', 8);
    w.PutCode(1, 7);  // length 3
    w.PutCode(1, 5);  // distance 2, one byte decoded so far
    w.PutCode(0, 7);
    EXPECT_EQ(InflateRaw(w.bytes, out), Outcome::Error);
  }
  {
    SCOPED_TRACE("distance symbol 30 is reserved");
    BitWriter w;
    w.Put(1, 1);
    w.Put(1, 2);
    w.PutCode(0x30 + 'x', 8);
    w.PutCode(1, 7);
    w.PutCode(30, 5);
    w.PutCode(0, 7);
    EXPECT_EQ(InflateRaw(w.bytes, out), Outcome::Error);
  }
  {
    SCOPED_TRACE("more than 286 literal/length codes");
    BitWriter w;
    w.Put(1, 1);
    w.Put(2, 2);
    w.Put(30, 5);
    w.Put(0, 5);
    w.Put(0, 4);
    w.Put(0, 32);
    EXPECT_EQ(InflateRaw(w.bytes, out), Outcome::Error);
  }
}

// A dynamic header whose code-length code has two one-bit codes: 0 (code 0)
// and 18 (code 1), then the given zero runs.
std::vector<uint8_t> DynamicHeaderWithZeroRuns(const std::vector<int>& runs) {
  BitWriter w;
  w.Put(1, 1);
  w.Put(2, 2);
  w.Put(0, 5);  // 257 literal/length codes
  w.Put(0, 5);  // 1 distance code
  w.Put(0, 4);  // 4 code-length code lengths: for 16, 17, 18, 0
  w.Put(0, 3);
  w.Put(0, 3);
  w.Put(1, 3);
  w.Put(1, 3);
  for (int run : runs) {
    w.PutCode(1, 1);
    w.Put(static_cast<uint32_t>(run - 11), 7);
  }
  w.Put(0, 32);
  return w.bytes;
}

TEST(Inflater, BrokenCodeTablesFail) {
  std::vector<uint8_t> out;
  // 138 + 138 zeros run past the 258 lengths the header declared.
  EXPECT_EQ(InflateRaw(DynamicHeaderWithZeroRuns({138, 138}), out), Outcome::Error);
  // Exactly 258 zeros: no end-of-block code, so the table is unusable.
  EXPECT_EQ(InflateRaw(DynamicHeaderWithZeroRuns({138, 120}), out), Outcome::Error);

  // An over-subscribed code-length code: three codes of one bit.
  BitWriter w;
  w.Put(1, 1);
  w.Put(2, 2);
  w.Put(0, 5);
  w.Put(0, 5);
  w.Put(0, 4);
  w.Put(1, 3);
  w.Put(1, 3);
  w.Put(1, 3);
  w.Put(0, 3);
  w.Put(0, 32);
  EXPECT_EQ(InflateRaw(w.bytes, out), Outcome::Error);
}

TEST(Inflater, RandomGarbageNeverEscapesTheInput) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> junk(1 + random() % 200);
    for (auto& b : junk) b = static_cast<uint8_t>(random());
    std::vector<uint8_t> out;
    InflateAll(junk, {1 + random() % 16}, round % 2 == 0, out, round % 3 == 0);
  }
}

// Puts a length/distance pair in a fixed-Huffman block, with the code tables
// of the deflate format.
void PutFixedMatch(BitWriter& w, unsigned length, unsigned distance) {
  static const unsigned kLengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                         31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static const unsigned kDistanceBase[] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,
                                           33,   49,   65,   97,   129,  193,   257,   385,   513,   769,
                                           1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
  unsigned symbol = 28;
  while (kLengthBase[symbol] > length) --symbol;
  const int lengthExtra = symbol < 8 || symbol == 28 ? 0 : static_cast<int>(symbol - 4) / 4;
  const unsigned code = 257 + symbol;
  if (code < 280) w.PutCode(code - 256, 7);
  else w.PutCode(0xC0 + code - 280, 8);
  w.Put(length - kLengthBase[symbol], lengthExtra);
  unsigned distanceSymbol = 29;
  while (kDistanceBase[distanceSymbol] > distance) --distanceSymbol;
  w.PutCode(distanceSymbol, 5);
  w.Put(distance - kDistanceBase[distanceSymbol], distanceSymbol < 4 ? 0 : static_cast<int>(distanceSymbol - 2) / 2);
}

// Matches that reach back almost the whole window read bytes just ahead of
// where they write in the ring; the copy must still see the old bytes.
TEST(Inflater, MatchesReachingAcrossTheWholeWindow) {
  const struct {
    unsigned prefix, distance, length;
  } cases[] = {{32761, 32761, 197}, {40000, 32761, 197}, {32768, 32768, 258}, {50000, 32767, 3},
               {65535, 32700, 258}, {33000, 32768, 10},  {32768, 16384, 258}, {36000, 200, 258}};
  std::mt19937 random(11);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "prefix " << c.prefix << " distance " << c.distance << " length "
                                    << c.length);
    std::vector<uint8_t> expected(c.prefix);
    for (auto& b : expected) b = static_cast<uint8_t>(random());
    BitWriter w;
    w.Put(0, 1);  // stored, not last
    w.Put(0, 2);
    w.AlignToByte();
    w.Put(c.prefix, 16);
    w.Put(~c.prefix & 0xFFFF, 16);
    for (uint8_t b : expected) w.Put(b, 8);
    w.Put(1, 1);  // fixed, last
    w.Put(1, 2);
    for (int repeat = 0; repeat < 2; ++repeat) {
      PutFixedMatch(w, c.length, c.distance);
      for (unsigned k = 0; k < c.length; ++k) expected.push_back(expected[expected.size() - c.distance]);
    }
    w.PutCode(0, 7);
    w.Put(0, 32);
    std::vector<uint8_t> out;
    for (bool byPieces : {true, false}) {
      ASSERT_EQ(InflateAll(w.bytes, {4096}, false, out, byPieces), Outcome::Ok);
      EXPECT_EQ(out, expected);
    }
  }
}

}  // namespace
