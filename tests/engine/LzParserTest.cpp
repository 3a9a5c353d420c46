// The parser and match finder, seen through their streams: every stream
// inflates (tracing decoder and zlib) to its input, pass after pass, and the
// tokens show the parse each strategy promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "EngineRunSupport.h"
#include "engine/PngWriter.h"
#include "engine/deflate/BlockWriter.h"
#include "support/DeflateTrace.h"

namespace {

using namespace enginetest;
using oracle::DeflateToken;
using Tokens = std::vector<DeflateToken>;

int QuietPrint(const char*, ...) { return 0; }

// Drives the compressor pass after pass over a byte string (no PNG around
// it) and reads the stream with the tracing decoder and zlib.
class DeflateHarness {
 public:
  explicit DeflateHarness(int strategy, int mintreecodes = 0) {
    m_job.strategy = strategy, m_job.mintreecodes = mintreecodes;
    m_job.print = m_ctx.print = &QuietPrint, m_ctx.job = &m_job;
    BuildCrcTable(m_ctx);
    SetBlockEnds({});
  }

  // Ends of every block but the last; every block starts from the start
  // code of the first pass (literals only for strategies 3 and 4).
  void SetBlockEnds(const std::vector<int32_t>& ends) {
    m_ctx.deflate.numBlocks = int(ends.size()) + 1;
    for (size_t k = 0; k < ends.size(); ++k) m_ctx.deflate.blocks[k].end = ends[k];
    for (int k = 0; k < m_ctx.deflate.numBlocks; ++k) {
      int32_t* l = BlockLengths(k);
      for (int i = 0; i < deflate::kSymbols; ++i) l[i] = 0;
      for (int i = 0; i < 286; ++i) l[i] = m_job.strategy >= 3 ? (i < 256 ? 8 : 0) : i < 144 ? 8 : i < 256 ? 9 : i < 282 ? 7 : 8;
      if (m_job.strategy >= 3) l[128] = l[256] = 9;
      for (int d = 0; d < 30 && m_job.strategy < 3; ++d) l[deflate::kDistanceBase + d] = d < 2 ? 4 : 5;
    }
  }
  int32_t* BlockLengths(int k) { return m_ctx.deflate.blocks[k].lengths; }

  // One pass (its lengths are used by the next): true when the tracing
  // decoder and zlib both inflate the stream back to data.
  bool Pass(const Bytes& data) {
    m_buffer.assign(data.size() * 2 + 65536, 0);
    m_job.kbuf = m_buffer.data(), m_job.kbufsize = int(m_buffer.size());
    m_ctx.idatStart = 0, m_ctx.outPos = 4;  // after the IDAT length field
    deflate::DeflateStart(m_ctx);
    for (uint8_t b : data) deflate::DeflateByte(m_ctx, b);
    deflate::DeflateFinish(m_ctx);
    EXPECT_LE(m_ctx.outPos, m_job.kbufsize);
    // After the length field and "IDAT", before the CRC and the IEND chunk.
    const Bytes zlib(m_buffer.begin() + 8, m_buffer.begin() + m_ctx.outPos - 16);
    Bytes traced, inflated;
    blocks.clear();
    if (!oracle::TraceZlib(zlib.data(), zlib.size(), blocks, traced, &error)) return false;
    const bool zlibOk = !checkWithZlib || (oracle::InflateZlib(zlib.data(), zlib.size(), inflated) && inflated == data);
    error = traced != data ? "traced bytes differ" : zlibOk ? "" : "zlib differs";
    return error.empty();
  }

  Tokens AllTokens() const {
    Tokens all;
    for (const oracle::TracedBlock& b : blocks) all.insert(all.end(), b.tokens.begin(), b.tokens.end());
    return all;
  }
  int64_t streamBytes() const { return m_ctx.outPos; }

  std::vector<oracle::TracedBlock> blocks;
  std::string error;
  bool checkWithZlib = true;

 private:
  EncodeJob m_job{};
  EngineContext m_ctx;
  Bytes m_buffer;
};

// Runs of varying lengths (up to beyond the run counter's cap) of few values.
Bytes Runs(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes v;
  while (v.size() < n) v.insert(v.end(), 1 + rng() % (rng() % 8 == 0 ? 40000 : 300), uint8_t(rng() % 3));
  v.resize(n);
  return v;
}

// Stretches copied from 32,760..32,775 bytes back, the window's edge.
Bytes FarRepeats(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes v = RandomBytes(33000, seed);
  while (v.size() < n) {
    const size_t back = 32760 + rng() % 16, len = 3 + rng() % 300;
    for (size_t i = 0; i < len; ++i) v.push_back(v[v.size() - back]);
    if (rng() % 2) v.push_back(uint8_t(rng()));
  }
  v.resize(n);
  return v;
}

struct DataCase { std::string name; Bytes data; std::vector<int32_t> blockEnds; };

std::vector<DataCase> Cases() {
  Bytes mixed = RandomBytes(3000, 4, 3);
  const Bytes text = Text(60000, 8);
  mixed.insert(mixed.end(), text.begin(), text.end());
  std::vector<int32_t> many;
  for (int32_t e = 97; e < 60000; e += 97 + (e % 7) * 13) many.push_back(e);
  return {{"empty", {}, {}}, {"one byte", {42}, {}}, {"two bytes", {1, 2}, {}}, {"short run", Bytes(5, 9), {}},
          {"random", RandomBytes(20000, 1), {6666, 10000}}, {"small alphabet", RandomBytes(30000, 2, 4), {}},
          {"text", Text(40000), {1000, 1001, 7777, 15000}}, {"literals and text", mixed, {21000, 31500}},
          {"long run", Bytes(70000, 200), {23333, 35000}}, {"runs", Runs(150000, 2), {}},
          {"far repeats", FarRepeats(120000, 3), {}}, {"short blocks", Text(3000, 6), {1, 2, 5, 300, 301, 1000, 2999}},
          {"many blocks", FarRepeats(60000, 6), many}, {"runs over block ends", Runs(100000, 7), {258, 259, 517, 32768, 65536}}};
}

TEST(LzParser, EveryStrategyRoundTripsPassAfterPassWithinItsBlocks) {
  int index = 0;
  for (const DataCase& c : Cases()) {
    ++index;
    for (int strategy = 0; strategy <= 3; ++strategy) {
      SCOPED_TRACE(c.name + " strategy " + std::to_string(strategy));
      DeflateHarness h(strategy, (index + strategy) % 3);  // every mintreecodes
      h.SetBlockEnds(c.blockEnds);
      int64_t previous = INT64_MAX;
      for (int pass = 0; pass < 3; ++pass) {
        ASSERT_TRUE(h.Pass(c.data)) << "pass " << pass << ": " << h.error;
        // Matches never cross a block end; BFINAL only on the last block.
        ASSERT_EQ(h.blocks.size(), c.blockEnds.size() + 1);
        int32_t pos = 0;
        for (size_t k = 0; k < h.blocks.size(); ++k) {
          for (const DeflateToken& t : h.blocks[k].tokens) pos += t.length;
          EXPECT_EQ(pos, k < c.blockEnds.size() ? c.blockEnds[k] : int32_t(c.data.size())) << "block " << k;
          EXPECT_EQ(h.blocks[k].final, k + 1 == h.blocks.size());
        }
        // "Huffman only": literals only, and every byte seen has a code in the next pass.
        const Tokens tokens = h.AllTokens();
        EXPECT_TRUE(strategy != 3 || std::all_of(tokens.begin(), tokens.end(), [](auto& t) { return t.length == 1; }));
        for (size_t i = 0; strategy == 3 && pass > 0 && i < c.data.size(); ++i) {
          const auto k = std::upper_bound(c.blockEnds.begin(), c.blockEnds.end(), int32_t(i)) - c.blockEnds.begin();
          ASSERT_GT(h.blocks[size_t(k)].litLenLengths[c.data[i]], 0) << i;
        }
        // Later passes do not grow (many tiny blocks pay for their own codes).
        EXPECT_TRUE(pass == 0 || c.blockEnds.size() >= 10 || h.streamBytes() <= previous + previous / 50 + 64);
        previous = h.streamBytes();
      }
    }
  }
}

Tokens Literals(const std::string& s) {
  Tokens t;
  for (char c : s) t.push_back({1, c});
  return t;
}
Tokens operator+(Tokens a, const Tokens& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(LzParser, LongestMatchTakesTheLongestNearestMatchAndResumesAfterIt) {
  const struct { std::string data; Tokens expected; } cases[] = {
      {std::string(1000, 'A'), Literals("A") + Tokens{{258, 1}, {258, 1}, {258, 1}, {225, 1}}},
      {"abcdefgh" "abcdefghX" "abcdefgh", Literals("abcdefgh") + Tokens{{8, 8}, {1, 'X'}, {8, 9}}},
      // At position 10 the nearest "abc" (distance 5) matches 4 bytes; the
      // list of position 5 leads on to distance 10, which matches 5.
      {"abcde" "abcdX" "abcdeZ", Literals("abcde") + Tokens{{4, 5}, {1, 'X'}, {5, 10}, {1, 'Z'}}},
  };
  for (const auto& c : cases) {
    DeflateHarness h(2);
    ASSERT_TRUE(h.Pass(FromString(c.data))) << h.error;
    EXPECT_EQ(h.AllTokens(), c.expected) << c.data.substr(0, 20);
  }
}

// One pass of "Xtreme!" and one of "Intense" under a code in which distance
// code 6 (distances 9..12) costs 1 bit plus 2 extra bits and every other
// distance code 6 bits.
std::pair<Tokens, Tokens> ParseWithCheapFarCode(const std::string& s) {
  DeflateHarness xtreme(0), intense(1);
  for (DeflateHarness* h : {&xtreme, &intense}) {
    h->checkWithZlib = false;  // zlib refuses this incomplete code; the tracing decoder reads it
    int32_t* lengths = h->BlockLengths(0);
    for (int i = 0; i < 320; ++i) lengths[i] = i <= 256 ? 9 : i < 286 ? 7 : i >= 288 && i < 318 ? 6 : 0;
    lengths[288 + 6] = 1;
    EXPECT_TRUE(h->Pass(FromString(s))) << h->error;
  }
  return {xtreme.AllTokens(), intense.AllTokens()};
}

TEST(LzParser, XtremeAlsoTriesFartherDistancesWithCheaperCodes) {
  // At position 12 "xyz" lies at distance 3 (6 bits) and 12 (3 bits).
  const auto [x, i] = ParseWithCheapFarCode("xyz" "123456" "xyz" "xyz");
  EXPECT_EQ(x, Literals("xyz123456") + Tokens({{3, 9}, {3, 12}}));
  EXPECT_EQ(i, Literals("xyz123456") + Tokens({{3, 9}, {3, 3}}));
  // At position 21 the nearest "aaa" (distance 4) ends a 20-byte run, so
  // every distance 4..21 matches and "Xtreme!" steps back to distance 9.
  const auto [x2, i2] = ParseWithCheapFarCode(std::string(20, 'a') + "B" + "aaa" + "C");
  ASSERT_TRUE(x2.size() >= 2 && i2.size() >= 2);
  EXPECT_EQ(Tokens(x2.end() - 2, x2.end()), Tokens({{3, 9}, {1, 'C'}}));
  EXPECT_EQ(i2[i2.size() - 2], (DeflateToken{3, 4}));
}

TEST(LzParser, DistanceOf32768IsUsedAnd32769Never) {
  for (int strategy : {0, 1, 2})
    for (int window : {32768, 32769}) {
      Bytes data = RandomBytes(size_t(window), 11), head(data.begin(), data.begin() + 400);
      data.insert(data.end(), head.begin(), head.end());
      DeflateHarness h(strategy);
      ASSERT_TRUE(h.Pass(data)) << h.error;
      const Tokens tokens = h.AllTokens();
      const bool at32768 = std::any_of(tokens.begin(), tokens.end(), [](auto& t) { return t.length > 1 && t.value == 32768; });
      const bool beyond = std::any_of(tokens.begin(), tokens.end(), [](auto& t) { return t.length > 1 && t.value > 32768; });
      EXPECT_TRUE(at32768 == (window == 32768) && !beyond) << strategy << " " << window;
    }
}

// A run of one byte under a code in which distance 1 is the cheapest: the
// parse "Xtreme!" commits must cost exactly what a plain shortest-path
// search over every literal and every distance-1 match finds, block by
// block, whatever the (uneven) costs of the length codes.  Guards the
// shortcuts that skip offers inside long matches.
TEST(LzParser, XtremeParsesRunsAtTheCheapestCostUnderUnevenLengthCosts) {
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    std::mt19937 rng(seed);
    const int literalBits = 1 + int(seed % 3);
    const int runLength = seed % 4 == 0 ? 20000 : 700 + int(rng() % 3000);
    std::vector<int32_t> ends;
    if (seed % 3 == 0) ends = {int32_t(runLength / 3), int32_t(runLength / 3 + 1 + rng() % 300)};
    DeflateHarness h(0);
    h.checkWithZlib = false;  // zlib refuses these incomplete codes; the tracing decoder reads them
    h.SetBlockEnds(ends);
    int32_t lengthBits[29];
    for (int32_t& bits : lengthBits) bits = 6 + int32_t(rng() % 7);
    for (size_t k = 0; k <= ends.size(); ++k) {
      int32_t* l = h.BlockLengths(int(k));
      std::fill(l, l + deflate::kSymbols, 0);
      l['A'] = literalBits, l[256] = 5, l[288] = 1;
      for (int c = 0; c < 29; ++c) l[257 + c] = lengthBits[c];
      for (int d = 1; d < 30; ++d) l[288 + d] = 6;
    }
    const auto lengthCost = [&](int len) {
      const oracle::DeflateCode code = oracle::LengthCode(len);
      return lengthBits[code.code - 257] + code.extraBits;
    };
    ASSERT_TRUE(h.Pass(Bytes(size_t(runLength), 'A'))) << h.error;

    // Shortest path per block; a match may reach back into the block before.
    int64_t cheapest = 0;
    std::vector<int32_t> bounds = ends;
    bounds.insert(bounds.begin(), 0);
    bounds.push_back(runLength);
    for (size_t k = 0; k + 1 < bounds.size(); ++k) {
      const int s = bounds[k], e = bounds[k + 1];
      std::vector<int64_t> cost(size_t(e - s + 1), INT64_MAX);
      cost[0] = 0;
      for (int i = s + 1; i <= e; ++i) {
        int64_t best = cost[size_t(i - 1 - s)] + literalBits;
        for (int len = 3; len <= 258 && i - len >= std::max(s, 1); ++len)
          best = std::min(best, cost[size_t(i - len - s)] + lengthCost(len) + 1);
        cost[size_t(i - s)] = best;
      }
      cheapest += cost.back();
    }
    int64_t parsed = 0;
    for (const oracle::TracedBlock& b : h.blocks) parsed += b.tokenBits;
    for (const DeflateToken& t : h.AllTokens()) ASSERT_TRUE(t.length == 1 || t.value == 1) << "distance " << t.value;
    EXPECT_EQ(parsed, cheapest) << "seed " << seed;
  }
}

// Rows of a flat picture: long runs of one byte broken by short bursts,
// each row much like an earlier one.  Towards the end of every run each
// list is the previous one with one length moved from its head to its tail.
Bytes DiagramRows(size_t rows, size_t width, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes row(width, 0), v;
  for (size_t r = 0; r < rows; ++r) {
    if (r % 3 == 0) {
      const size_t at = rng() % (width - 12);
      for (size_t i = 0; i < 1 + rng() % 12; ++i) row[at + i] = uint8_t(1 + rng() % 5);
    }
    v.push_back(uint8_t(r % 2));  // a filter-type byte
    v.insert(v.end(), row.begin(), row.end());
  }
  return v;
}

// Text whose every position finds long matches at several distances, so
// that lists are long and rarely shared: the pool fills and wraps.
Bytes LongListedText(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  const Bytes base = Text(3000, seed);
  Bytes v;
  while (v.size() < n) {
    const size_t from = rng() % 2000, len = 200 + rng() % 800;
    v.insert(v.end(), base.begin() + long(from), base.begin() + long(std::min(from + len, base.size())));
    v.push_back(uint8_t(rng()));
  }
  v.resize(n);
  return v;
}

// A stretch so repetitive that the parser skips positions to commit (every
// position sees a 258-byte match, so "Xtreme!"'s paths never meet on their
// own and it must cut the stretch before its path ring fills), then bytes
// whose matches are mostly three bytes long: their walks meet the skipped
// positions' empty lists.
Bytes SkipsThenShortMatches(uint32_t seed) {
  Bytes v(270000, 0);
  const Bytes pattern = RandomBytes(5, seed);
  for (size_t i = 0; i < 20000; ++i) v.push_back(pattern[i % 5]);
  const Bytes small = RandomBytes(50000, seed + 1, 6);
  v.insert(v.end(), small.begin(), small.end());
  return v;
}

// The shapes in which the match lists share, wrap and skip most: every
// strategy that builds lists still writes streams that inflate to the data.
TEST(LzParser, ListSharingWrappingAndSkipsKeepStreamsExact) {
  const std::vector<DataCase> cases = {{"diagram rows", DiagramRows(300, 1500, 11), {}},
                                       {"long listed text", LongListedText(400000, 12), {150000}},
                                       {"skips then short matches", SkipsThenShortMatches(13), {}}};
  for (const DataCase& c : cases) {
    for (int strategy = 0; strategy <= 2; ++strategy) {
      SCOPED_TRACE(c.name + " strategy " + std::to_string(strategy));
      DeflateHarness h(strategy);
      h.SetBlockEnds(c.blockEnds);
      for (int pass = 0; pass < 2; ++pass) ASSERT_TRUE(h.Pass(c.data)) << "pass " << pass << ": " << h.error;
      EXPECT_LT(h.streamBytes(), int64_t(c.data.size()) / 3);
    }
  }
}

}  // namespace
