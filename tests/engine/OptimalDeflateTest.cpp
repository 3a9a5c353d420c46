// The optimal parser's streams, read back by three decoders that share no
// code with it (zlib, the tracing decoder) or only the format (our own
// inflater); the match finder against a brute-force search; the block header
// coding decoded again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <utility>

#include "EngineRunSupport.h"
#include "decode/Inflater.h"
#include "engine/deflate/BinaryTreeMatchFinder.h"
#include "engine/deflate/CodeLengthHeader.h"
#include "engine/deflate/LzBlock.h"
#include "engine/deflate/OptimalDeflate.h"
#include "engine/deflate/OptimalParser.h"
#include "support/DeflateTrace.h"

namespace {

using namespace enginetest;

bool InflateOurs(const Bytes& zlib, Bytes& out) {
  WholeBufferInput input(zlib.data(), zlib.size());
  auto inflater = std::make_unique<Inflater>();
  inflater->Start(&input, true);
  uint8_t buffer[4096];
  for (;;) {
    const long long n = inflater->Read(buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) return true;
    out.insert(out.end(), buffer, buffer + n);
  }
}

// Filtered rows as a PNG carries them: a filter byte, then a row of a
// smooth gradient with noise, repeating structure from row to row, and a
// flat stretch whose rows repeat exactly.
Bytes FilteredRows(int width, int height) {
  std::mt19937 rng(11);
  Bytes out;
  for (int y = 0; y < height; ++y) {
    out.push_back(y < height / 2 ? 1 : 2);
    for (int x = 0; x < width * 3; ++x) out.push_back(y < height / 2 ? uint8_t(x / 7 + (rng() % 3)) : uint8_t(x % 5));
  }
  return out;
}

Bytes PngSuiteRows(const char* name) {
  Bytes rows;
  EXPECT_TRUE(oracle::InflateIdat(oracle::ReadFile(oracle::DataDir() / "pngsuite" / name), rows)) << name;
  return rows;
}

struct Input {
  const char* name;
  Bytes bytes;
};

std::vector<Input> Inputs() {
  return {
      {"empty", {}},
      {"one byte", {0x41}},
      {"run of 1000", Bytes(1000, 0x55)},
      {"run over 2 blocks of 70000", Bytes(70000, 0)},
      {"random", RandomBytes(20000, 1)},
      {"four letters", RandomBytes(8000, 2, 4)},
      {"text", Text(20000)},
      // Blocks of unlike data in a small input: the neighbours' joins and
      // the starts from the previous block's code.
      {"text, four letters, text", [] {
         Bytes b = Text(9000);
         const Bytes letters = RandomBytes(8000, 5, 4);
         b.insert(b.end(), letters.begin(), letters.end());
         const Bytes more = Text(9000);
         b.insert(b.end(), more.begin(), more.end());
         return b;
       }()},
      {"filtered rows", FilteredRows(120, 80)},
      {"PngSuite photo rows", PngSuiteRows("basn2c08.png")},
      {"PngSuite palette rows", PngSuiteRows("basn3p02.png")},
      {"distance 32768 and beyond", [] {
         Bytes b = RandomBytes(33000, 3);
         Bytes twice = b;
         twice.insert(twice.end(), b.begin(), b.end());
         return twice;
       }()},
  };
}

TEST(OptimalDeflate, EveryStreamInflatesToItsInputAtEveryLevel) {
  // The levels (the top one lists the farther distance codes of these small
  // inputs and shakes its restarts' counts wider), and those distance codes
  // at a level that does not list them by default.
  std::vector<std::pair<std::string, deflate::OptimalSettings>> settings;
  for (int level : {deflate::kOptimalLevelMin, 3, deflate::kOptimalLevelMax})
    settings.emplace_back("level " + std::to_string(level), deflate::OptimalLevelSettings(level));
  settings.emplace_back("level 3, every distance code", deflate::OptimalLevelSettings(3));
  settings.back().second.matchFinder.everyDistanceCode = true;
  for (const Input& in : Inputs()) {
    for (const auto& [label, setting] : settings) {
      SCOPED_TRACE(std::string(in.name) + " " + label);
      Bytes zlib;
      const size_t length = deflate::OptimalDeflate(in.bytes.data(), in.bytes.size(), setting, zlib);
      ASSERT_EQ(length, zlib.size());
      Bytes byZlib, byTrace, byOurs;
      std::vector<oracle::TracedBlock> blocks;
      std::string error;
      ASSERT_TRUE(oracle::InflateZlib(zlib.data(), zlib.size(), byZlib));
      EXPECT_EQ(byZlib, in.bytes);
      ASSERT_TRUE(oracle::TraceZlib(zlib.data(), zlib.size(), blocks, byTrace, &error)) << error;
      EXPECT_EQ(byTrace, in.bytes);
      ASSERT_TRUE(InflateOurs(zlib, byOurs));
      EXPECT_EQ(byOurs, in.bytes);
      // Never worse than storing: 2 + 4 bytes of zlib, 5 per stored block.
      EXPECT_LE(zlib.size(), 6 + 5 * (in.bytes.size() / 65535 + 1) + in.bytes.size());
    }
  }
}

TEST(OptimalDeflate, StreamsAreReproducibleAndBeatTheFastestLevelOnStructuredData) {
  const Bytes rows = FilteredRows(200, 150);
  Bytes a, b, fast;
  const deflate::OptimalSettings top = deflate::OptimalLevelSettings(deflate::kOptimalLevelMax);
  deflate::OptimalDeflate(rows.data(), rows.size(), top, a);
  deflate::OptimalDeflate(rows.data(), rows.size(), top, b);
  EXPECT_EQ(a, b);
  deflate::OptimalDeflate(rows.data(), rows.size(), deflate::OptimalLevelSettings(deflate::kOptimalLevelMin), fast);
  EXPECT_LE(a.size(), fast.size());
}

// A stream whose last byte holds only a few bits of data gets more
// restarts to save that byte: never a larger stream than without them, each
// read back by zlib, and on these inputs (the 16-bit grey PngSuite image's
// rows end 3 bits into their last byte) at least one byte saved.
TEST(OptimalDeflate, LastByteRestartsNeverGrowAStreamAndSaveBytes) {
  const std::vector<Input> inputs = {
      {"PngSuite 16-bit grey rows", PngSuiteRows("basn0g16.png")},
      {"PngSuite grey and alpha rows", PngSuiteRows("basi4a08.png")},
      {"PngSuite photo rows", PngSuiteRows("basn2c08.png")},
      {"PngSuite palette rows", PngSuiteRows("basn3p02.png")},
      {"filtered rows", FilteredRows(40, 30)},
      {"text", Text(3000)},
  };
  deflate::OptimalSettings with = deflate::OptimalLevelSettings(deflate::kOptimalLevelMax);
  ASSERT_GT(with.lastByteRestarts, 0);
  deflate::OptimalSettings without = with;
  without.lastByteRestarts = 0;
  size_t totalWith = 0, totalWithout = 0;
  for (const Input& in : inputs) {
    SCOPED_TRACE(in.name);
    Bytes a, b, back;
    deflate::OptimalDeflate(in.bytes.data(), in.bytes.size(), with, a);
    deflate::OptimalDeflate(in.bytes.data(), in.bytes.size(), without, b);
    ASSERT_TRUE(oracle::InflateZlib(a.data(), a.size(), back));
    EXPECT_EQ(back, in.bytes);
    EXPECT_LE(a.size(), b.size());
    totalWith += a.size();
    totalWithout += b.size();
  }
  EXPECT_LT(totalWith, totalWithout);
}

TEST(OptimalDeflate, RandomBytesGoOutStoredAndARunAsOneLiteralAndLongMatches) {
  struct Case {
    Bytes input;
    int blockType;
  };
  for (const Case& c : {Case{RandomBytes(20000, 9), 0}, Case{Bytes(5000, 7), -1}}) {
    Bytes zlib, out;
    deflate::OptimalDeflate(c.input.data(), c.input.size(), deflate::OptimalLevelSettings(3), zlib);
    std::vector<oracle::TracedBlock> blocks;
    ASSERT_TRUE(oracle::TraceZlib(zlib.data(), zlib.size(), blocks, out));
    if (c.blockType == 0) {
      for (const auto& block : blocks) EXPECT_EQ(block.type, 0);
      EXPECT_EQ(zlib[1], 0x01);  // a stored stream's zlib header
      continue;
    }
    ASSERT_EQ(blocks.size(), 1u);
    const auto& tokens = blocks[0].tokens;
    ASSERT_FALSE(tokens.empty());
    EXPECT_EQ(tokens[0], (oracle::DeflateToken{1, 7}));
    for (size_t i = 1; i + 1 < tokens.size(); ++i) EXPECT_EQ(tokens[i], (oracle::DeflateToken{258, 1}));
  }
}

// Plans under several seed salts, written from the cheapest blocks of all:
// read back by zlib, never larger than the smallest of the plans written
// alone (each its own OptimalDeflate), the same bytes whatever order the
// plans run in, and one plan alone is that plan's stream.  Over these
// multi-block inputs the switching between plans must save something.
TEST(OptimalDeflate, CombinedPlansAreNeverLargerThanTheirBestAndSwitchBetweenThem) {
  std::vector<Input> inputs = Inputs();
  inputs.push_back({"larger filtered rows", FilteredRows(200, 160)});
  deflate::OptimalSettings base = deflate::OptimalLevelSettings(4);
  base.restarts = 3;
  std::vector<deflate::OptimalSettings> runs;
  for (uint32_t salt : {0u, 1u, 2u}) {
    runs.push_back(base);
    runs.back().seedSalt = salt;
  }
  const deflate::RunEach backwards = [](size_t count, const std::function<void(size_t)>& fn) {
    for (size_t k = count; k-- > 0;) fn(k);
  };
  size_t totalCombined = 0, totalBestAlone = 0;
  for (const Input& in : inputs) {
    SCOPED_TRACE(in.name);
    size_t bestAlone = SIZE_MAX;
    std::vector<size_t> alone;
    for (const deflate::OptimalSettings& run : runs) {
      Bytes zlib;
      alone.push_back(deflate::OptimalDeflate(in.bytes.data(), in.bytes.size(), run, zlib));
      bestAlone = std::min(bestAlone, zlib.size());
    }
    Bytes combined, again, back;
    deflate::OptimalStats stats;
    deflate::OptimalDeflateCombined(in.bytes.data(), in.bytes.size(), runs, combined, &stats);
    EXPECT_EQ(stats.runBytes, alone);
    ASSERT_TRUE(oracle::InflateZlib(combined.data(), combined.size(), back));
    EXPECT_EQ(back, in.bytes);
    EXPECT_LE(combined.size(), bestAlone);
    totalCombined += combined.size();
    totalBestAlone += bestAlone;
    if (&in != &inputs.back()) continue;
    deflate::OptimalDeflateCombined(in.bytes.data(), in.bytes.size(), runs, again, nullptr, backwards);
    EXPECT_EQ(again, combined);
    Bytes one, single;
    deflate::OptimalDeflateCombined(in.bytes.data(), in.bytes.size(), {runs[1]}, one);
    deflate::OptimalDeflate(in.bytes.data(), in.bytes.size(), runs[1], single);
    EXPECT_EQ(one, single);
    // Two plans alike (the same salt twice): the third is not planned.
    deflate::OptimalDeflateCombined(in.bytes.data(), in.bytes.size(), {runs[1], runs[1], runs[2]}, again, &stats,
                                    {}, true);
    EXPECT_EQ(stats.runBytes, (std::vector<size_t>{single.size(), single.size()}));
    EXPECT_EQ(again, single);
  }
  EXPECT_LT(totalCombined, totalBestAlone);
}

// The first run's plan is handed back when the caller has none, and a plan
// the caller holds is used as it is instead of being planned again.
TEST(OptimalDeflate, CombinedStreamsTakeAndHandBackTheFirstPlan) {
  const Bytes rows = FilteredRows(120, 80);
  std::vector<deflate::OptimalSettings> runs(2, deflate::OptimalLevelSettings(2));
  runs[1].seedSalt = 1;
  Bytes fresh, reused;
  deflate::OptimalPlan first;
  ASSERT_TRUE(first.Empty());
  deflate::OptimalDeflateCombined(rows.data(), rows.size(), runs, fresh, nullptr, {}, false, &first);
  const deflate::OptimalPlan own = deflate::PlanOptimal(rows.data(), rows.size(), runs[0]);
  EXPECT_EQ(first.Cuts(), own.Cuts());
  EXPECT_EQ(first.Bits(), own.Bits());
  deflate::OptimalDeflateCombined(rows.data(), rows.size(), runs, reused, nullptr, {}, false, &first);
  EXPECT_EQ(reused, fresh);

  // One block over everything is not what the level plans for these rows,
  // so a stream written from it shows the given plan was taken.
  const std::vector<size_t> whole = {0, rows.size()};
  ASSERT_NE(own.Cuts(), whole);
  deflate::OptimalPlan given = deflate::PlanOptimal(rows.data(), rows.size(), runs[0], &whole);
  Bytes expected, written, back;
  deflate::WritePlan(rows.data(), rows.size(), given, expected);
  deflate::OptimalDeflateCombined(rows.data(), rows.size(), {runs[0]}, written, nullptr, {}, false, &given);
  EXPECT_EQ(written, expected);
  ASSERT_TRUE(oracle::InflateZlib(written.data(), written.size(), back));
  EXPECT_EQ(back, rows);
}

// Blocks at the boundaries a caller gives are those and only those, and
// read back by zlib; boundaries of another form (not from 0 to the size,
// not ascending) leave the plan to the boundary search.
TEST(OptimalDeflate, PlansKeepTheBoundariesTheyAreGiven) {
  const Bytes rows = FilteredRows(120, 80);
  const deflate::OptimalSettings level = deflate::OptimalLevelSettings(2);
  const std::vector<size_t> own = deflate::PlanOptimal(rows.data(), rows.size(), level).Cuts();
  const std::vector<std::vector<size_t>> given = {
      {0, rows.size()}, {0, 5000, 5001, 17000, rows.size()}, {0, 1, rows.size() - 1, rows.size()}};
  for (const std::vector<size_t>& cuts : given) {
    const deflate::OptimalPlan plan = deflate::PlanOptimal(rows.data(), rows.size(), level, &cuts);
    EXPECT_EQ(plan.Cuts(), cuts);
    Bytes zlib, back;
    deflate::WritePlan(rows.data(), rows.size(), plan, zlib);
    ASSERT_TRUE(oracle::InflateZlib(zlib.data(), zlib.size(), back));
    EXPECT_EQ(back, rows);
  }
  const std::vector<std::vector<size_t>> malformed = {
      {}, {0}, {1, rows.size()}, {0, rows.size() - 1}, {0, 9000, 9000, rows.size()}, {0, 9000, 4000, rows.size()}};
  for (const std::vector<size_t>& cuts : malformed) {
    EXPECT_EQ(deflate::PlanOptimal(rows.data(), rows.size(), level, &cuts).Cuts(), own);
  }
}

// For every position the finder lists, for each length, the nearest
// distance that repeats that many bytes: compared with a brute-force scan
// on small inputs where the tree's bounds do not bite.
TEST(BinaryTreeMatchFinder, ListsTheNearestMatchOfEveryLength) {
  for (const Bytes& data : {RandomBytes(3000, 4, 3), Text(3000), FilteredRows(20, 30)}) {
    deflate::BinaryTreeMatchFinder finder({1 << 20, 258});
    finder.Reset(data.data(), data.size());
    std::vector<deflate::MatchPair> pairs;
    for (size_t pos = 0; pos < data.size(); ++pos) {
      const int maxLength = int(std::min<size_t>(258, data.size() - pos));
      pairs.clear();
      finder.FindMatches(pos, maxLength, pairs);
      // Brute force: the nearest distance of each length, as pairs.
      std::vector<deflate::MatchPair> expected;
      int best = 2;
      for (size_t d = 1; d <= pos; ++d) {
        int len = 0;
        while (len < maxLength && data[pos - d + len] == data[pos + len]) ++len;
        if (len > best) {
          expected.push_back({uint16_t(len), uint16_t(d)});
          best = len;
        }
      }
      ASSERT_EQ(pairs.size(), expected.size()) << "position " << pos;
      for (size_t k = 0; k < pairs.size(); ++k) {
        EXPECT_EQ(pairs[k].length, expected[k].length) << "position " << pos;
        EXPECT_EQ(pairs[k].distance, expected[k].distance) << "position " << pos;
      }
    }
  }
}

// A sequence whose every position repeats, at ever farther distances, one
// byte more of itself: each position's match list holds far more than 40
// pairs, the longest the farthest.
Bytes GrowingRepeats(size_t size) {
  Bytes out;
  for (int n = 1; out.size() < size; ++n)
    for (int i = 0; i < n && out.size() < size; ++i) out.push_back(uint8_t('a' + i % 7));
  return out;
}

// The parse is a cheapest path: under a price list, its steps cost no more
// than a plain shortest-path sweep (in doubles, every pair and every length
// relaxed) over the same match lists finds.  Inputs with long match lists,
// whose longest (farthest) matches a parser that prices only a position's
// first pairs never sees.
TEST(OptimalParser, FindsTheCheapestPathOverItsMatchLists) {
  const Bytes inputs[] = {GrowingRepeats(6000), PngSuiteRows("tbgn2c16.png"), FilteredRows(40, 30), Text(5000)};
  size_t longestOfAll = 0;
  for (const Bytes& data : inputs) {
    deflate::MatchCache matches;
    matches.Build(data.data(), data.size(), {4096, 258});
    size_t longestList = 0;
    for (size_t pos = 0; pos < data.size(); ++pos)
      longestList = std::max(longestList, size_t(matches.end(pos) - matches.begin(pos)));
    longestOfAll = std::max(longestOfAll, longestList);
    // Prices of a skewed code: literals 6 to 12 bits, lengths and
    // distances varied so that no one choice wins everywhere.
    int32_t literal[deflate::kLitLenCodes];
    int32_t distance[deflate::kDistanceCodes];
    for (int i = 0; i < deflate::kLitLenCodes; ++i) literal[i] = 6 + (i * 7) % 7;
    for (int i = 0; i < deflate::kDistanceCodes; ++i) distance[i] = 3 + (i * 5) % 9;
    const deflate::CostModel costs = deflate::CostsOfLengths(literal, distance);
    const deflate::CodeTables& tables = deflate::SharedCodeTables();
    auto stepCost = [&](const deflate::LzStep& s) {
      return s.length == 1 ? double(costs.literal[s.value])
                           : double(costs.length[s.length]) + costs.distance[tables.DistanceCode(s.value)];
    };

    std::vector<double> cheapest(data.size() + 1, 1e300);
    cheapest[0] = 0;
    for (size_t i = 0; i < data.size(); ++i) {
      cheapest[i + 1] = std::min(cheapest[i + 1], cheapest[i] + costs.literal[data[i]]);
      for (const deflate::MatchPair* m = matches.begin(i); m != matches.end(i); ++m)
        for (size_t length = 3; length <= m->length && i + length <= data.size(); ++length)
          cheapest[i + length] =
              std::min(cheapest[i + length], cheapest[i] + stepCost({uint16_t(length), m->distance}));
    }

    deflate::OptimalParser parser;
    std::vector<deflate::LzStep> steps;
    parser.Parse(data.data(), matches, 0, data.size(), costs, steps);
    double total = 0;
    size_t covered = 0;
    for (const deflate::LzStep& s : steps) {
      total += stepCost(s);
      covered += s.length;
    }
    EXPECT_EQ(covered, data.size());
    EXPECT_DOUBLE_EQ(total, cheapest[data.size()]) << "longest match list " << longestList;
  }
  EXPECT_GT(longestOfAll, size_t(40));
}

// Writes the header as a final dynamic block holding only its end of
// block, behind a zlib header, and reads it back with the tracing decoder
// and with zlib.
void ExpectHeaderDecodes(const deflate::DynamicCode& searched) {
  Bytes stream{0x78, 0x5E};
  deflate::BitSink out(stream);
  out.Put(1, 1);
  out.Put(2, 2);
  const size_t before = stream.size() * 8 + size_t(out.PendingBits());
  deflate::WriteCodeLengthHeader(out, searched.header);
  EXPECT_EQ(stream.size() * 8 + size_t(out.PendingBits()) - before, size_t(searched.header.bits));
  uint32_t codes[deflate::kLitLenCodes];
  deflate::CanonicalCodes(searched.literal, deflate::kLitLenCodes, codes);
  out.Put(codes[deflate::kEndOfBlock], searched.literal[deflate::kEndOfBlock]);
  out.AlignToByte();
  for (uint8_t b : {0, 0, 0, 1}) stream.push_back(b);  // Adler-32 of nothing

  std::vector<oracle::TracedBlock> blocks;
  Bytes inflated;
  std::string error;
  ASSERT_TRUE(oracle::TraceZlib(stream.data(), stream.size(), blocks, inflated, &error)) << error;
  ASSERT_EQ(blocks.size(), 1u);
  const auto& b = blocks[0];
  for (int i = 0; i < deflate::kLitLenCodes; ++i)
    EXPECT_EQ(i < b.hlit ? b.litLenLengths[size_t(i)] : 0, searched.literal[i]) << "literal/length " << i;
  for (int i = 0; i < deflate::kDistanceCodes; ++i)
    EXPECT_EQ(i < b.hdist ? b.distanceLengths[size_t(i)] : 0, searched.distance[i]) << "distance " << i;
  Bytes byZlib;
  EXPECT_TRUE(oracle::InflateZlib(stream.data(), stream.size(), byZlib));
}

// Headers are decoded again by the tracing decoder: the lengths it reads
// are the ones planned, the searched coding is never longer than the
// engine's walk, flattening never makes a block longer (and shortens one
// whose lengths only wobble), and the planned bit count is what was written.
TEST(CodeLengthHeader, DecodesToItsLengthsAndIsNeverLongerThanTheEngineWalk) {
  struct Case {
    const char* name;
    std::vector<int32_t> counts;  // 286 literal/length then 30 distance counts
    bool flattenPays = false;
  };
  auto counts = [](auto fill) {
    std::vector<int32_t> c(deflate::kLitLenCodes + deflate::kDistanceCodes, 0);
    fill(c);
    c[deflate::kEndOfBlock] = 1;
    return c;
  };
  const Case cases[] = {
      {"skewed literals and distances", counts([](auto& c) {
         for (int i = 0; i < 286; ++i) c[i] = (i * 37) % 11 == 0 ? 0 : 1 + (i * 7919) % 400;
         for (int i = 0; i < 30; ++i) c[286 + i] = i % 3 ? 5 + i : 0;
       })},
      {"no matches", counts([](auto& c) {
         for (int i = 0; i < 256; ++i) c[i] = 100 + i;
       })},
      {"long zero runs", counts([](auto& c) {
         c['a'] = 50, c['b'] = 40, c[300 - 14] = 9, c[257] = 3;
       })},
      {"equal runs of lengths", counts([](auto& c) {
         for (int i = 0; i < 64; ++i) c[i] = 10;
         for (int i = 64; i < 72; ++i) c[i] = 1000;
       })},
      {"a wide stretch of wobbling counts", counts([](auto& c) {
         for (int i = 0; i < 200; ++i) c[i] = 4 + (i * 7919) % 9;
         for (int i = 0; i < 20; ++i) c[i * 10] = 40;
         c[257] = 30, c[286 + 4] = 30;
       }), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    deflate::SymbolCounts sc;
    std::copy(c.counts.begin(), c.counts.begin() + 286, sc.literal);
    std::copy(c.counts.begin() + 286, c.counts.end(), sc.distance);
    deflate::DynamicCode plain, searched, flattened;
    deflate::BuildDynamicCode(sc, false, plain);
    deflate::BuildDynamicCode(sc, true, searched);
    deflate::BuildDynamicCode(sc, true, flattened, true);
    EXPECT_LE(searched.header.bits, plain.header.bits);
    const int64_t searchedBits = deflate::DynamicBlockBits(sc, searched);
    if (c.flattenPays) EXPECT_LT(deflate::DynamicBlockBits(sc, flattened), searchedBits);
    else EXPECT_LE(deflate::DynamicBlockBits(sc, flattened), searchedBits);
    for (const deflate::DynamicCode* code : {&searched, &flattened}) ExpectHeaderDecodes(*code);
  }
}

}  // namespace
