// Whole runs of the engine, checked by libpng and zlib: every colour type and
// bit depth the analysis can choose, forced colour types, palettes given and
// kept, and multi-block streams over PngSuite.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "tests/support/DeflateBlocks.h"
#include "tests/support/Oracles.h"
#include "tests/engine/ColourTestSupport.h"

using namespace colourtest;

namespace {

struct RunOptions {
  int colortype = -1;
  int bitdepth = 0;
  int filter = -1;
  int numblocks = 0;
  double splitthreshold = 256.0;
  uint32_t bkgd = 0;
  const std::vector<uint32_t>* pal = nullptr;
  int keeppal = 0;
  int strategy = 0;
  int verbose = 0;
};

struct RunResult {
  int length = kEncodeFailed;
  std::vector<uint8_t> png;
  int outcolortype = -1;
  int outbitdepth = 0;
  int outpalcount = 0;
  std::vector<uint32_t> outpal;
  std::string lastMessage;
};

RunResult Encode(const oracle::Image& image, const RunOptions& options) {
  oracle::Image pixels = image;
  std::vector<uint32_t> pal = options.pal ? *options.pal : std::vector<uint32_t>();
  EncodeJob job = spinetest::DefaultJob(pixels);
  job.pal = pal.empty() ? nullptr : pal.data();
  job.palcount = int(pal.size());
  job.filter = options.filter;
  job.colortype = options.colortype;
  job.bitdepth = options.bitdepth;
  job.keeppal = options.keeppal;
  job.bkgd = options.bkgd;
  job.numblocks = options.numblocks;
  job.splitthreshold = options.splitthreshold;
  job.strategy = options.strategy;
  job.verbose = options.verbose;

  const spinetest::RunResult run = spinetest::RunJob(job);
  RunResult r;
  r.length = run.result;
  r.png = run.png;
  r.outcolortype = job.outcolortype;
  r.outbitdepth = job.outbitdepth;
  r.outpalcount = job.outpalcount;
  if (job.outpal) r.outpal.assign(job.outpal, job.outpal + std::max(0, std::min(job.outpalcount, 256)));
  // The reason for a failure is the last text printed.
  const auto& pieces = spinetest::TheRecorder().pieces;
  if (r.length == kEncodeFailed && !pieces.empty()) r.lastMessage = pieces.back();
  return r;
}

// What the file's IHDR says.
struct Header {
  int bitdepth = 0;
  int colortype = -1;
};

Header ReadHeader(const std::vector<uint8_t>& png) {
  std::vector<oracle::Chunk> chunks;
  Header h;
  if (!oracle::ListChunks(png, chunks) || chunks.empty() || chunks[0].type != "IHDR") return h;
  h.bitdepth = chunks[0].data[8];
  h.colortype = chunks[0].data[9];
  return h;
}

// The decoded file shows exactly the input's pixels.
void ExpectRoundTrip(const oracle::Image& image, const RunResult& r, const std::string& what) {
  ASSERT_NE(r.length, kEncodeFailed) << what << ": " << r.lastMessage;
  oracle::Image decoded;
  std::string error;
  ASSERT_TRUE(oracle::DecodePng(r.png, decoded, &error)) << what << ": " << error;
  ASSERT_EQ(decoded.width, image.width) << what;
  ASSERT_EQ(decoded.height, image.height) << what;
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    ASSERT_EQ(decoded.pixels[i], image.pixels[i]) << what << " pixel " << i;
  }
  const Header h = ReadHeader(r.png);
  EXPECT_EQ(h.colortype, r.outcolortype) << what;
  EXPECT_EQ(h.bitdepth, r.outbitdepth) << what;
}

using spinetest::MakeImage;

// The colour type and depth the rules choose, worked out plainly from the
// pixel values: distinct values, greyness, and whether one transparent
// colour could stand for all the transparency.
struct Expected {
  bool fullAlpha, grey, tooMany;
  int colortype;
  int bitdepth;
  int palcount;
};

Expected ExpectedChoice(const oracle::Image& image, uint32_t bkgd = 0) {
  std::set<uint32_t> values(image.pixels.begin(), image.pixels.end());
  bool grey = true;
  for (uint32_t v : values) grey &= ((v >> 16) & 0xFF) == ((v >> 8) & 0xFF) && ((v >> 8) & 0xFF) == (v & 0xFF);
  std::set<uint32_t> translucent, transparentRgb, opaqueRgb;
  for (uint32_t v : values) {
    if ((v >> 24) != 0xFF) translucent.insert(v);
    if ((v >> 24) == 0) transparentRgb.insert(v & 0xFFFFFF);
    else opaqueRgb.insert(v & 0xFFFFFF);
  }
  bool fullAlpha = false;
  if (!translucent.empty()) {
    const uint32_t key = *translucent.begin();
    fullAlpha = translucent.size() > 1 || (key >> 24) != 0 || opaqueRgb.count(key & 0xFFFFFF) > 0;
  }
  bool tooMany = values.size() > 256;
  if (bkgd) {
    grey &= ((bkgd >> 16) & 0xFF) == ((bkgd >> 8) & 0xFF) && ((bkgd >> 8) & 0xFF) == (bkgd & 0xFF);
    bool present = false;
    for (uint32_t v : values) present |= ((v ^ bkgd) & 0xFFFFFF) == 0;
    tooMany |= values.size() == 256 && !present;
  }
  int colortype;
  if (!fullAlpha && grey && !tooMany) colortype = values.size() < 128 ? 3 : 0;
  else if (!tooMany) colortype = 3;
  else if (fullAlpha && grey) colortype = 4;
  else if (!fullAlpha) colortype = 2;
  else colortype = 6;

  if (colortype == 0) {
    int depth = 1;
    for (uint32_t v : values) {
      const int level = v & 0xFF;
      int d = 8;
      if (level % 255 == 0) d = 1;
      else if (level % 85 == 0) d = 2;
      else if (level % 17 == 0) d = 4;
      depth = std::max(depth, d);
    }
    return {fullAlpha, grey, tooMany, 0, depth, 1 << depth};
  }
  if (colortype == 3) {
    int needed = int(values.size());
    if (bkgd) {
      bool present = false;
      for (uint32_t v : values) present |= ((v ^ bkgd) & 0xFFFFFF) == 0;
      needed += present ? 0 : 1;
    }
    int depth = needed <= 2 ? 1 : needed <= 4 ? 2 : needed <= 16 ? 4 : 8;
    return {fullAlpha, grey, tooMany, 3, depth, int(values.size())};
  }
  return {fullAlpha, grey, tooMany, colortype, 8, 0};
}

struct Synthetic {
  const char* name;
  oracle::Image image;
  struct {
    int colortype, bitdepth, palcount;
  } expected;
};

std::vector<Synthetic> SyntheticImages() {
  return {
      {"grey depth 1", MakeImage(300, 40, [](int x, int y) { return Grey(((x * 7 + y * 3) % 11 < 4) * 255); }),
       {3, 1, 2}},
      {"grey 200 levels", MakeImage(40, 50, [](int x, int y) { return Grey((x + 40 * y) % 200); }), {0, 8, 256}},
      {"grey 4-bit levels with key",
       MakeImage(300, 40, [](int x, int y) {
         return (x + y) % 13 == 0 ? Grey(0x33, 0) : Grey(((x / 3 + y) % 16) * 17);
       }),
       {3, 8, 17}},
      {"grey 160 levels with key",
       MakeImage(40, 40, [](int x, int y) { return (x * y) % 17 == 5 ? Grey(200, 0) : Grey((x + 40 * y) % 160); }),
       {0, 8, 256}},
      {"grey 160 levels, key level also opaque",
       MakeImage(40, 40, [](int x, int y) { return (x + y) % 9 == 0 ? Grey(64, 0) : Grey(((x + 40 * y) % 160)); }),
       {3, 8, 161}},
      {"rgb many colours", MakeImage(64, 20, [](int x, int y) { return Rgb(x * 4, y * 12, (x ^ y) & 0xFF); }),
       {2, 8, 0}},
      {"rgb with key",
       MakeImage(64, 20, [](int x, int y) { return (x % 7 == 3) ? Rgb(1, 2, 3, 0) : Rgb(x * 4, y * 12, 9); }),
       {2, 8, 0}},
      {"grey+alpha", MakeImage(30, 30, [](int x, int y) { return Grey((x * 9) & 0xFF, (y * 8) & 0xFF); }),
       {4, 8, 0}},
      {"rgb+alpha", MakeImage(30, 30, [](int x, int y) { return Rgb(x * 8, y * 8, x + y, (x * y) & 0xFF); }),
       {6, 8, 0}},
      {"palette depth 2", MakeImage(33, 9, [](int x, int y) { return (x + y) % 3 == 0 ? Rgb(9, 0, 0) : Rgb(0, (x + y) % 3, 200); }),
       {3, 2, 3}},
      {"palette depth 4 with alpha",
       MakeImage(17, 17, [](int x, int y) {
         return Rgb((x % 4) * 60, (y % 3) * 90, 5, (x % 4 == 0 && y % 3 == 0) ? 128 : 255);
       }),
       {3, 4, 12}},
      {"palette depth 8", MakeImage(25, 10, [](int x, int y) { return Rgb(x * 5, y, 77); }), {3, 8, 250}},
  };
}

TEST(EngineRoundTrip, AutomaticChoiceAtEveryTypeAndDepth) {
  for (const Synthetic& s : SyntheticImages()) {
    const Expected e = ExpectedChoice(s.image);
    EXPECT_EQ(e.colortype, s.expected.colortype) << s.name << " (test's own expectation)";
    const RunResult r = Encode(s.image, {});
    ExpectRoundTrip(s.image, r, s.name);
    EXPECT_EQ(r.outcolortype, s.expected.colortype) << s.name;
    EXPECT_EQ(r.outbitdepth, s.expected.bitdepth) << s.name;
    EXPECT_EQ(r.outpalcount, s.expected.palcount) << s.name;
  }
}

// The last piece a forced colour type that cannot hold the image prints,
// or "" when it fits.
std::string ExpectedRefusal(const Expected& e, int colortype) {
  const char* names[] = {"/c0 (Gray)", "", "/c2 (RGB)", "/c3 (Pal)", "/c4 (Gray+Alpha)", "", "/c6 (RGB+Alpha)"};
  const std::string instead = std::string("try ") + names[e.colortype] + " instead";
  switch (colortype) {
    case 0: return e.fullAlpha || !e.grey || e.tooMany ? instead : "";
    case 2: return e.fullAlpha ? "\rImage requires full alpha; " + instead : "";
    case 3: return e.tooMany ? "\rImage doesn't fit into 256 color entries; " + instead : "";
    case 4: return !e.grey ? "\rImage is not grayscale; " + instead : "";
    default: return "";
  }
}

void ExpectForcedTypes(const oracle::Image& image, const std::string& name) {
  const Expected e = ExpectedChoice(image);
  for (int colortype : {0, 2, 3, 4, 6}) {
    const std::string what = name + " /c" + std::to_string(colortype);
    const RunResult r = Encode(image, {.colortype = colortype, .strategy = 2});
    const std::string refusal = ExpectedRefusal(e, colortype);
    if (!refusal.empty()) {
      EXPECT_EQ(r.length, kEncodeFailed) << what;
      EXPECT_EQ(r.lastMessage, refusal) << what;
      continue;
    }
    ExpectRoundTrip(image, r, what);
    EXPECT_EQ(r.outcolortype, colortype) << what;
  }
}

TEST(EngineRoundTrip, ForcedColourTypesFitOrSayWhy) {
  for (const Synthetic& s : SyntheticImages()) ExpectForcedTypes(s.image, s.name);
}

TEST(EngineRoundTrip, GreyDepthsWhenForced) {
  const oracle::Image levels =
      MakeImage(37, 5, [](int x, int y) { return Grey(((x + y) % 4) * 85); });
  for (int depth : {2, 4, 8}) {
    RunOptions options;
    options.colortype = 0;
    options.bitdepth = depth;
    const RunResult r = Encode(levels, options);
    ExpectRoundTrip(levels, r, "grey /d" + std::to_string(depth));
    EXPECT_EQ(r.outbitdepth, depth);
  }
  // A transparent level takes its place on the 2-bit ramp.
  const oracle::Image keyed = MakeImage(37, 5, [](int x, int y) {
    return (x + y) % 4 == 2 ? Grey(170, 0) : Grey(((x + y) % 4) * 85);
  });
  RunOptions grey;
  grey.colortype = 0;
  const RunResult k = Encode(keyed, grey);
  ExpectRoundTrip(keyed, k, "grey /d2 with key");
  EXPECT_EQ(k.outbitdepth, 2);
  EXPECT_EQ(k.outpal[2], 0x00AAAAAAu);

  RunOptions tooSmall;
  tooSmall.colortype = 0;
  tooSmall.bitdepth = 1;
  EXPECT_EQ(Encode(levels, tooSmall).lastMessage, "\rImage doesn't fit in selected bitdepth");
}

TEST(EngineRoundTrip, PaletteWithForeignBackground) {
  const oracle::Image sixteen = MakeImage(16, 4, [](int x, int) { return Rgb(x * 16, 3, 3); });
  RunOptions options;
  options.bkgd = 0xFF00FF00;
  const RunResult r = Encode(sixteen, options);
  ExpectRoundTrip(sixteen, r, "16 colours + bKGD");
  EXPECT_EQ(r.outbitdepth, 8);
  EXPECT_EQ(r.outpalcount, 16);
  std::vector<oracle::Chunk> chunks;
  ASSERT_TRUE(oracle::ListChunks(r.png, chunks));
  bool sawBkgd = false;
  for (const auto& c : chunks) {
    if (c.type == "PLTE") {
      EXPECT_EQ(c.data.size(), 17u * 3);
    }
    if (c.type == "bKGD") {
      sawBkgd = true;
      ASSERT_EQ(c.data.size(), 1u);
      EXPECT_EQ(c.data[0], 16);
    }
  }
  EXPECT_TRUE(sawBkgd);
}

TEST(EngineRoundTrip, GivenPalettes) {
  std::vector<uint32_t> given;
  for (int i = 0; i < 256; ++i) given.push_back(Rgb(i, 255 - i, 40, i % 50 == 7 ? 0 : 255));
  const oracle::Image image = MakeImage(40, 6, [](int x, int y) {
    const int i = ((x * 7 + y) % 40) * 6 + 1;  // 40 entries used: 1, 7, 13, ...
    return Rgb(i, 255 - i, 40, i % 50 == 7 ? 0 : 255);
  });
  const RunResult compacted = Encode(image, {.pal = &given});
  ExpectRoundTrip(image, compacted, "given palette");
  EXPECT_EQ(compacted.outpalcount, 40);
  // Entries 7 and 157 carry transparency and lead; the rest keep the given
  // order among the opaque ones up to the alpha-first exchanges.
  ASSERT_EQ(compacted.outpal.size(), 40u);
  EXPECT_EQ(compacted.outpal[0], given[7]);
  EXPECT_EQ(compacted.outpal[1], given[157]);

  const RunResult kept = Encode(image, {.pal = &given, .keeppal = 1});
  ExpectRoundTrip(image, kept, "kept palette");
  EXPECT_EQ(kept.outpalcount, 256);
  EXPECT_EQ(kept.outpal, given);

  std::vector<uint32_t> lacking(given.begin(), given.begin() + 100);
  for (int keeppal : {0, 1}) {
    const RunResult refused = Encode(image, {.pal = &lacking, .keeppal = keeppal});
    EXPECT_EQ(refused.length, kEncodeFailed);
    EXPECT_EQ(refused.lastMessage, "\rImage has colors not in the given palette; try /c2 or /c6 instead");
  }
}

TEST(EngineRoundTrip, PaletteReorderBetweenPassesKeepsPixels) {
  // Filter None at depth 8 with a generated palette: the reorder may run
  // between passes; the written palette must still index the right colours.
  const oracle::Image image = MakeImage(64, 64, [](int x, int y) {
    const int v = ((x / 4) * 13 + (y / 3) * 7 + (x * y) % 5) % 60;
    return Rgb(v * 4, 255 - v * 3, v, v < 3 ? 0 : 255);
  });
  for (int numblocks : {0, 3}) {
    const RunResult r = Encode(image, {.filter = 0, .numblocks = numblocks});
    ExpectRoundTrip(image, r, "reorder, numblocks " + std::to_string(numblocks));
    EXPECT_EQ(r.outcolortype, 3);
    EXPECT_EQ(r.outbitdepth, 8);
  }
}

// PngSuite and the README's sample images.
std::vector<std::filesystem::path> PngSuiteFiles() {
  std::vector<std::filesystem::path> files;
  for (const auto& folder : {oracle::DataDir() / "pngsuite", oracle::SourceDir() / "samples"}) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path().extension() == ".png") files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(EngineRoundTrip, PngSuiteAutomaticChoices) {
  int tried = 0;
  for (const auto& file : PngSuiteFiles()) {
    oracle::Image image;
    if (!oracle::DecodePng(oracle::ReadFile(file), image)) continue;  // the deliberately broken files
    ++tried;
    const std::string what = file.filename().string();
    const RunResult r = Encode(image, {});
    ExpectRoundTrip(image, r, what);
    const Expected e = ExpectedChoice(image);
    EXPECT_EQ(r.outcolortype, e.colortype) << what;
    EXPECT_EQ(r.outbitdepth, e.bitdepth) << what;
    if (e.colortype == 3) {
      EXPECT_EQ(r.outpalcount, e.palcount) << what;
    }
    ExpectForcedTypes(image, what);
  }
  EXPECT_GT(tried, 150);
}

// The block ends the verbose report printed: "%x" pieces between
// "Out:\nBlock boundaries: " and " (%d block", or none.
std::vector<size_t> ReportedBoundaries() {
  const auto& pieces = spinetest::TheRecorder().pieces;
  std::vector<size_t> ends;
  auto it = std::find(pieces.begin(), pieces.end(), "Out:\nBlock boundaries: ");
  if (it == pieces.end()) return ends;
  for (++it; it != pieces.end() && it->rfind(" (", 0) != 0; ++it) {
    if (*it != "," && *it != "none") ends.push_back(std::stoul(*it, nullptr, 16));
  }
  return ends;
}

// The file's deflate blocks, as zlib sees them, end where the splitter cut.
void ExpectBlocksAsReported(const RunResult& r, const std::string& what) {
  std::vector<oracle::Chunk> chunks;
  ASSERT_TRUE(oracle::ListChunks(r.png, chunks)) << what;
  std::vector<uint8_t> idat;
  for (const auto& c : chunks) {
    if (c.type == "IDAT") idat.insert(idat.end(), c.data.begin(), c.data.end());
  }
  std::vector<size_t> ends;
  ASSERT_TRUE(oracle::DeflateBlockEnds(idat, ends)) << what;
  std::vector<size_t> expected = ReportedBoundaries();
  std::vector<uint8_t> raw;
  ASSERT_TRUE(oracle::InflateZlib(idat.data(), idat.size(), raw)) << what;
  expected.push_back(raw.size());
  EXPECT_EQ(ends, expected) << what;
}

TEST(EngineBlocks, StreamBlocksEndWhereStatisticsChange) {
  // Three bands of 20 rows: dark noise, mid-tone noise, a smooth ramp.  With
  // filter None each row is 1 + 64 * 3 bytes.
  const oracle::Image bands = MakeImage(64, 60, [](int x, int y) {
    const uint32_t n = spinetest::Noise(x, y);
    if (y < 20) return Rgb(n & 3, (n >> 2) & 3, (n >> 4) & 3);
    if (y < 40) return Rgb(100 + (n & 63), 100 + ((n >> 6) & 63), 100 + ((n >> 12) & 63));
    return Rgb(x * 4, 255 - x * 4, y);
  });
  const int row = 1 + 64 * 3;
  for (const RunOptions& options : {RunOptions{.filter = 0, .numblocks = 3, .verbose = 1},
                                    RunOptions{.filter = 0, .verbose = 1}}) {
    const RunResult r = Encode(bands, options);
    ExpectRoundTrip(bands, r, "bands");
    ExpectBlocksAsReported(r, "bands");
    const std::vector<size_t> cuts = ReportedBoundaries();
    ASSERT_GE(cuts.size(), 2u);
    if (options.numblocks == 3) {
      ASSERT_EQ(cuts.size(), 2u);
    }
    auto near = [&](size_t at) {
      return std::any_of(cuts.begin(), cuts.end(), [&](size_t c) { return c + row > at && c < at + row; });
    };
    EXPECT_TRUE(near(20 * row)) << cuts[0];
    EXPECT_TRUE(near(40 * row)) << cuts[1];
  }
}

TEST(EngineRoundTrip, PngSuiteMultiBlockStreams) {
  for (const auto& file : PngSuiteFiles()) {
    oracle::Image image;
    if (!oracle::DecodePng(oracle::ReadFile(file), image)) continue;
    const std::string what = file.filename().string();
    for (const RunOptions& options :
         {RunOptions{.numblocks = 5, .strategy = 1, .verbose = 1},
          RunOptions{.filter = 0, .splitthreshold = 8.0, .verbose = 1}}) {
      const RunResult r = Encode(image, options);
      ExpectRoundTrip(image, r, what);
      ExpectBlocksAsReported(r, what);
    }
  }
}


// Grey and palette images at every bit depth from the one the analysis
// picks up to 8, with a background colour taken from the image (no extra
// entry) and one foreign to it (an extra palette entry, or a grey level the
// ramp must hold), each decoded by libpng.
TEST(EngineRoundTrip, PngSuiteAtEveryDepthAboveTheChosenOne) {
  int tried = 0;
  for (const auto& file : PngSuiteFiles()) {
    oracle::Image image;
    if (!oracle::DecodePng(oracle::ReadFile(file), image)) continue;
    const Expected e = ExpectedChoice(image);
    if (e.colortype != 0 && e.colortype != 3) continue;
    const uint32_t inImage = 0xFF000000u | (image.pixels[0] & 0xFFFFFF);
    const uint32_t foreign = e.colortype == 0 ? 0xFF000000u | 0x5A5A5Au : 0xFF123456u;
    for (uint32_t bkgd : {0u, inImage, foreign}) {
      const Expected withBackground = ExpectedChoice(image, bkgd);
      if (withBackground.colortype != e.colortype) continue;
      // A grey background is a level the ramp must hold too.
      const int lowest = e.colortype == 0 && bkgd == foreign ? 8 : withBackground.bitdepth;
      for (int depth = lowest; depth <= 8; depth *= 2) {
        const std::string what = file.filename().string() + " /d" + std::to_string(depth) + " bkgd " +
                                 std::to_string(bkgd);
        const RunResult r = Encode(image, {.colortype = e.colortype, .bitdepth = depth, .bkgd = bkgd, .strategy = 2});
        ++tried;
        ExpectRoundTrip(image, r, what);
        EXPECT_EQ(r.outbitdepth, depth) << what;
      }
    }
  }
  EXPECT_GT(tried, 100);
}

}  // namespace
