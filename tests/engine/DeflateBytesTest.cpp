// The byte-stream entry of the compressor: whatever goes in comes back out
// of zlib's inflate, byte for byte, under every strategy and block setting,
// and never larger than stored blocks.
#include <gtest/gtest.h>

#include <random>

#include "engine/deflate/Adler32.h"
#include "engine/deflate/DeflateBytes.h"
#include "support/Oracles.h"

namespace {

std::vector<uint8_t> Sample(size_t size, int alphabet, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) {
    // Runs of repeats among random bytes, as filtered rows have them.
    bytes[i] = (i > 8 && rng() % 3 == 0) ? bytes[i - 8] : uint8_t(rng() % alphabet);
  }
  return bytes;
}

int StopAtFirstRow(int checkpoint) { return checkpoint == 1 ? 1 : 0; }

}  // namespace

TEST(DeflateBytes, InflatesBackToTheInputAndNeverExceedsStored) {
  struct Case { size_t size; int alphabet; int strategy, numblocks; double threshold; int rowLength; };
  const Case cases[] = {
      {1, 256, 0, 0, 0.0, 1},        {5000, 4, 0, 0, 256.0, 100},   {70000, 256, 0, 0, 256.0, 1000},
      {40000, 16, 1, 0, 0.0, 333},   {40000, 16, 2, 3, 0.0, 40000}, {40000, 16, 3, 0, 256.0, 50},
      {140000, 3, 4, 0, 0.0, 7},     {20000, 200, 0, 7, 0.0, 64},
  };
  EngineContext ctx;
  for (const Case& c : cases) {
    const auto input = Sample(c.size, c.alphabet, uint32_t(c.size));
    EncodeJob job{};
    job.strategy = c.strategy;
    job.numblocks = c.numblocks;
    job.splitthreshold = c.threshold;
    std::vector<uint8_t> zlib;
    const int length = DeflateBytesInContext(ctx, &job, input.data(), input.size(), c.rowLength, zlib);
    ASSERT_EQ(length, int(zlib.size())) << c.size;
    std::vector<uint8_t> back;
    ASSERT_TRUE(oracle::InflateZlib(zlib.data(), zlib.size(), back)) << c.size << " s" << c.strategy;
    EXPECT_EQ(back, input) << c.size << " s" << c.strategy;
    const size_t stored = 2 + 5 * ((c.size + 65534) / 65535) + c.size + 4;
    EXPECT_LE(zlib.size(), stored);
    EXPECT_TRUE(c.strategy >= 3 || c.alphabet > 16 || zlib.size() < c.size * 7 / 10) << "compresses";
    EXPECT_EQ(job.kbuf, nullptr) << "the entry frees its buffer";
  }
}

TEST(DeflateBytes, RefusesNothingAndStopsWhenAsked) {
  EngineContext ctx;
  std::vector<uint8_t> zlib;
  EncodeJob empty{};
  EXPECT_EQ(DeflateBytesInContext(ctx, &empty, nullptr, 0, 1, zlib), kEncodeFailed);
  const auto input = Sample(5000, 4, 1);
  EncodeJob stopped{};
  stopped.poll = StopAtFirstRow;
  EXPECT_EQ(DeflateBytesInContext(ctx, &stopped, input.data(), input.size(), 100, zlib), kEncodeFailed);
  // The context is sound for the next run after an aborted one.
  EncodeJob next{};
  next.splitthreshold = 256.0;
  ASSERT_NE(DeflateBytesInContext(ctx, &next, input.data(), input.size(), 100, zlib), kEncodeFailed);
  std::vector<uint8_t> back;
  ASSERT_TRUE(oracle::InflateZlib(zlib.data(), zlib.size(), back));
  EXPECT_EQ(back, input);
}

// Rows only pace the progress: the parser sees the same bytes in the same
// order whether they come one at a time or in pieces larger than its input
// limit, so every row length gives the same stream.
TEST(DeflateBytes, RowLengthNeverChangesTheStream) {
  const auto input = Sample(90000, 6, 7);
  for (const int strategy : {0, 1, 2, 3}) {
    std::vector<uint8_t> reference;
    for (const int rowLength : {1, 7, 4097, 16384, 16385, 90000}) {
      EngineContext ctx;
      EncodeJob job{};
      job.strategy = strategy;
      job.splitthreshold = 64.0;
      std::vector<uint8_t> zlib;
      ASSERT_NE(DeflateBytesInContext(ctx, &job, input.data(), input.size(), rowLength, zlib), kEncodeFailed);
      if (reference.empty()) reference = zlib;
      EXPECT_EQ(zlib, reference) << "s" << strategy << " rows of " << rowLength;
    }
  }
}

TEST(Adler32, ManyBytesAtOnceAgreeWithZlib) {
  std::mt19937 rng(5);
  std::vector<uint8_t> noise(70000), full(70000, 0xFF);
  for (uint8_t& b : noise) b = uint8_t(rng());
  // Lengths around the reduction interval, from fresh and from running sums.
  for (const std::vector<uint8_t>* bytes : {&noise, &full}) {
    for (const size_t n : {size_t(0), size_t(1), size_t(5551), size_t(5552), size_t(5553), size_t(11104), size_t(70000)}) {
      for (const uint32_t start : {1u, 0xFFF0FFF0u, 0x12345678u % 65521u}) {
        const uint32_t expected = oracle::Adler32(start, bytes->data(), n);
        EXPECT_EQ(deflate::AdlerBytes(start, bytes->data(), n), expected) << n << " from " << start;
      }
    }
  }
}
