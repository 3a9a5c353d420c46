// Whole runs checked by libpng and zlib over synthetic images, PngSuite and
// the samples: automatic choices (worked out independently from the pixels),
// forced types and depths, given palettes, multi-block streams, every
// strategy with every filter.
#include <set>

#include "EngineRunSupport.h"
#include "support/DeflateBlocks.h"

namespace {

using namespace enginetest;

// The file decodes to the input's pixels and its IHDR says what the job reports.
void ExpectRoundTrip(const Image& image, const RunResult& e, const std::string& what) {
  ASSERT_NE(e.result, kEncodeFailed) << what << ": " << Rec().Last();
  EXPECT_TRUE(DecodesTo(e.png, image)) << what;
  ASSERT_FALSE(e.chunks.empty());
  EXPECT_TRUE(e.chunks[0].data[8] == e.job.outbitdepth && e.chunks[0].data[9] == e.job.outcolortype) << what;
}

// The colour type and depth the rules choose, from distinct values, greyness
// and whether one transparent colour could stand for all the transparency.
struct Expected { bool fullAlpha, grey, tooMany; int colortype, bitdepth, palcount; };

Expected ExpectedChoice(const Image& image) {
  const std::set<uint32_t> values(image.pixels.begin(), image.pixels.end());
  auto isGrey = [](uint32_t v) { return ((v >> 16) & 0xFF) == ((v >> 8) & 0xFF) && ((v >> 8) & 0xFF) == (v & 0xFF); };
  const bool grey = std::all_of(values.begin(), values.end(), isGrey);
  std::set<uint32_t> translucent, opaqueRgb;
  for (uint32_t v : values) ((v >> 24) != 0xFF ? translucent : opaqueRgb).insert((v >> 24) != 0xFF ? v : v & 0xFFFFFF);
  const bool fullAlpha = translucent.size() > 1 ||
                         (translucent.size() == 1 && (*translucent.begin() >> 24 || opaqueRgb.count(*translucent.begin())));
  const bool tooMany = values.size() > 256;
  const int colortype = !fullAlpha && grey && !tooMany ? (values.size() < 128 ? 3 : 0)
                        : !tooMany                     ? 3
                        : fullAlpha && grey            ? 4
                        : !fullAlpha                   ? 2
                                                       : 6;
  if (colortype == 0) {
    int depth = 1;
    for (uint32_t v : values) depth = std::max(depth, v % 256 % 255 == 0 ? 1 : v % 256 % 85 == 0 ? 2 : v % 256 % 17 ? 8 : 4);
    return {fullAlpha, grey, tooMany, 0, depth, 1 << depth};
  }
  const int needed = int(values.size());
  const int depth = colortype != 3 ? 8 : needed <= 2 ? 1 : needed <= 4 ? 2 : needed <= 16 ? 4 : 8;
  return {fullAlpha, grey, tooMany, colortype, depth, colortype == 3 ? int(values.size()) : 0};
}

// Forced colour types fit and round-trip or fail with the exact reason (the
// strategy changes with the type so that each runs over every image).
void ExpectForcedTypes(const Image& image, const std::string& name) {
  const Expected e = ExpectedChoice(image);
  const char* names[] = {"/c0 (Gray)", "", "/c2 (RGB)", "/c3 (Pal)", "/c4 (Gray+Alpha)", "", "/c6 (RGB+Alpha)"};
  const std::string instead = std::string("try ") + names[e.colortype] + " instead";
  const struct { int colortype, strategy; bool fits; std::string refusal; } forced[] = {
      {0, 1, !e.fullAlpha && e.grey && !e.tooMany, instead},
      {2, 2, !e.fullAlpha, "\rImage requires full alpha; " + instead},
      {3, 3, !e.tooMany, "\rImage doesn't fit into 256 color entries; " + instead},
      {4, 4, e.grey, "\rImage is not grayscale; " + instead},
      {6, 2, true, ""},
  };
  for (const auto& f : forced) {
    const std::string what = name + " /c" + std::to_string(f.colortype);
    const RunResult r = Encode(image, {.colortype = f.colortype, .strategy = f.strategy});
    EXPECT_TRUE(f.fits || (r.result == kEncodeFailed && Rec().Last() == f.refusal)) << what << ": " << Rec().Last();
    if (f.fits) ExpectRoundTrip(image, r, what);
    EXPECT_TRUE(!f.fits || r.job.outcolortype == f.colortype) << what;
  }
}

TEST(RoundTrip, AutomaticAndForcedChoicesAtEveryTypeAndDepth) {
  const struct { const char* name; Image image; int colortype, bitdepth, palcount; } cases[] = {
      {"grey 200 levels", MakeImage(40, 50, [](int x, int y) { return Grey((x + 40 * y) % 200); }), 0, 8, 256},
      {"grey 4-bit levels with key",
       MakeImage(300, 40, [](int x, int y) { return (x + y) % 13 ? Grey(((x / 3 + y) % 16) * 17) : Grey(0x33, 0); }), 3, 8, 17},
      {"grey 160 levels with key",
       MakeImage(40, 40, [](int x, int y) { return (x * y) % 17 == 5 ? Grey(200, 0) : Grey((x + 40 * y) % 160); }), 0, 8, 256},
      {"grey 160 levels, key level also opaque",
       MakeImage(40, 40, [](int x, int y) { return (x + y) % 9 ? Grey((x + 40 * y) % 160) : Grey(64, 0); }), 3, 8, 161},
      {"grey levels with a transparent red",
       MakeImage(20, 10, [](int x, int y) { return (x + y) % 7 ? Grey(((x + y) % 4) * 85) : Rgb(255, 0, 0, 0); }), 3, 4, 5},
      {"rgb with key", MakeImage(64, 20, [](int x, int y) { return x % 7 == 3 ? Rgb(1, 2, 3, 0) : Rgb(x * 4, y * 12, 9); }), 2, 8, 0},
      {"rgb with two transparent colours",
       MakeImage(64, 20, [](int x, int y) { return x % 7 == 3 ? Rgb(1, 2, 3, 0) : x % 7 == 5 ? Rgb(9, 9, 9, 0) : Rgb(x * 4, y * 12, 9); }), 6, 8, 0},
      {"palette depth 4 with alpha",
       MakeImage(17, 17, [](int x, int y) { return Rgb((x % 4) * 60, (y % 3) * 90, 5, x % 4 || y % 3 ? 255 : 128); }), 3, 4, 12},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExpectedChoice(c.image).colortype, c.colortype) << c.name << " (the test's own expectation)";
    const RunResult r = Encode(c.image, {});
    ExpectRoundTrip(c.image, r, c.name);
    EXPECT_EQ(std::vector<int>({r.job.outcolortype, r.job.outbitdepth, r.job.outpalcount}),
              std::vector<int>({c.colortype, c.bitdepth, c.palcount})) << c.name;
    ExpectForcedTypes(c.image, c.name);
  }
}

TEST(RoundTrip, ForcedDepthsFitOrSayWhy) {
  // Four grey levels fit every colour type and grey depths 2 to 8.
  const Image levels = MakeImage(23, 17, [](int x, int y) { return Grey(85 * ((x + 2 * y) % 4)); });
  const std::pair<int, int> fits[] = {{0, 2}, {0, 4}, {0, 8}, {2, 8}, {3, 2}, {3, 4}, {3, 8}, {4, 8}, {6, 8}};
  for (const auto& [colortype, depth] : fits)
    for (int strategy : {0, 2, 4}) {
      const std::string what = "/c" + std::to_string(colortype) + " /d" + std::to_string(depth) + " s" + std::to_string(strategy);
      const RunResult r = Encode(levels, {.colortype = colortype, .bitdepth = depth, .strategy = strategy});
      ExpectRoundTrip(levels, r, what);
      EXPECT_EQ(r.job.outcolortype * 100 + r.job.outbitdepth, colortype * 100 + depth) << what;
    }
  for (const auto& [colortype, depth] : {std::pair{0, 1}, std::pair{2, 4}, std::pair{3, 1}})
    EXPECT_TRUE(Encode(levels, {.colortype = colortype, .bitdepth = depth}).result == kEncodeFailed &&
                Rec().Last() == "\rImage doesn't fit in selected bitdepth") << colortype << " " << depth;
  // A transparent level takes its place on the 2-bit ramp.
  const Image keyed = MakeImage(37, 5, [](int x, int y) { return (x + y) % 4 == 2 ? Grey(170, 0) : Grey(((x + y) % 4) * 85); });
  const RunResult k = Encode(keyed, {.colortype = 0});
  ExpectRoundTrip(keyed, k, "grey /d2 with key");
  EXPECT_TRUE(k.job.outbitdepth == 2 && k.outpal.at(2) == 0x00AAAAAAu);
}

TEST(RoundTrip, GivenAndKeptPalettes) {
  std::vector<uint32_t> given;
  for (int i = 0; i < 256; ++i) given.push_back(Rgb(i, 255 - i, 40, i % 50 == 7 ? 0 : 255));
  const Image image = MakeImage(40, 6, [&](int x, int y) { return given[size_t((x * 7 + y) % 40) * 6 + 1]; });
  const RunResult compacted = Encode(image, {.pal = &given});
  ExpectRoundTrip(image, compacted, "given palette");
  ASSERT_EQ(compacted.outpal.size(), 40u);  // the used entries; 7 and 157 carry transparency and lead
  EXPECT_TRUE(compacted.outpal[0] == given[7] && compacted.outpal[1] == given[157]);
  const RunResult kept = Encode(image, {.keeppal = 1, .pal = &given});
  ExpectRoundTrip(image, kept, "kept palette");
  EXPECT_EQ(kept.outpal, given);

  // Opaque: the used entries in their given order; a duplicate resolves to the lower index.
  std::vector<uint32_t> opaque = given, used;
  for (uint32_t& e : opaque) e |= 0xFF000000u;
  opaque[19] = opaque[7];
  for (int i = 1; i < 240; i += 6)
    if (i != 19) used.push_back(opaque[size_t(i)]);
  const Image opaqueImage = MakeImage(40, 6, [&](int x, int y) { return opaque[size_t((x * 7 + y) % 40) * 6 + 1]; });
  EXPECT_EQ(Encode(opaqueImage, {.pal = &opaque}).outpal, used);
  // keeppal without a palette: generated, and said so.
  Encode(image, {.keeppal = 1});
  EXPECT_EQ(Rec().Count("\nIgnoring /kp (palette not found)"), 1);
  // A given palette that lacks a pixel colour: refused rather than a wrong pixel.
  const std::vector<uint32_t> lacking(given.begin(), given.begin() + 100);
  for (int keeppal : {0, 1})
    EXPECT_TRUE(Encode(image, {.keeppal = keeppal, .pal = &lacking}).result == kEncodeFailed &&
                Rec().Last() == "\rImage has colors not in the given palette; try /c2 or /c6 instead") << Rec().Last();
}

// Under filter None at depth 8 the passes move frequent entries to the
// front of the palette: the rows then filter to other bytes, and a pass must
// never reuse the bytes an earlier palette order gave.
TEST(RoundTrip, PalettesReorderedBetweenPassesGiveTheirOwnRows) {
  const Image image = MakeImage(64, 64, [](int x, int y) {
    if (y == 0) return Rgb(x % 40 * 6, 100, 200 - x % 40 * 4);  // first appearance: 0..39 in order
    const uint32_t n = Noise(uint32_t(x), uint32_t(y)) % 100;
    return n < 70 ? Rgb(39 * 6, 100, 200 - 39 * 4) : Rgb(int(n % 40) * 6, 100, 200 - int(n % 40) * 4);
  });
  for (const double split : {256.0, 0.0}) {
    const RunResult r = Encode(image, {.filter = 0, .splitthreshold = split});
    ExpectRoundTrip(image, r, split > 0 ? "split" : "one block");
    ASSERT_EQ(r.job.outcolortype, 3);
    ASSERT_FALSE(r.outpal.empty());
    EXPECT_EQ(r.outpal[0] & 0xFFFFFF, Rgb(39 * 6, 100, 200 - 39 * 4) & 0xFFFFFF) << "the frequent entry moved first";
  }
}

struct Source { std::string name; Image image; };

// PngSuite (without the deliberately broken files) and the samples.
const std::vector<Source>& PngSuite() {
  static const std::vector<Source> files = [] {
    std::vector<Source> s;
    for (const auto& folder : {oracle::DataDir() / "pngsuite", oracle::SourceDir() / "samples"})
      for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        Image image;
        if (entry.path().extension() == ".png" && oracle::DecodePng(oracle::ReadFile(entry.path()), image))
          s.push_back({entry.path().filename().string(), image});
      }
    std::sort(s.begin(), s.end(), [](const Source& a, const Source& b) { return a.name < b.name; });
    return s;
  }();
  return files;
}

TEST(RoundTrip, PngSuiteAutomaticAndForcedChoices) {
  ASSERT_GT(PngSuite().size(), 150u);
  for (const Source& s : PngSuite()) {
    const RunResult r = Encode(s.image, {});
    ExpectRoundTrip(s.image, r, s.name);
    const Expected e = ExpectedChoice(s.image);
    EXPECT_TRUE(r.job.outcolortype == e.colortype && r.job.outbitdepth == e.bitdepth) << s.name;
    EXPECT_TRUE(e.colortype != 3 || r.job.outpalcount == e.palcount) << s.name;
    ExpectForcedTypes(s.image, s.name);
  }
}

// Multi-block streams end their blocks where the verbose report says (zlib
// reads them); under filter None 8-bit palettes also reorder between passes.
TEST(RoundTrip, PngSuiteMultiBlockStreams) {
  for (const Source& s : PngSuite()) {
    for (const Options& o : {Options{.numblocks = 5, .strategy = 1, .verbose = 1},
                             Options{.filter = 0, .verbose = 1, .splitthreshold = 8.0}}) {
      const RunResult r = Encode(s.image, o);
      ExpectRoundTrip(s.image, r, s.name);
      const Bytes& idat = FindChunk(r.chunks, "IDAT")->data;  // the writer's one IDAT
      Bytes raw;
      std::vector<size_t> ends, expected = ReportedBoundaries();
      ASSERT_TRUE(oracle::DeflateBlockEnds(idat, ends) && oracle::InflateZlib(idat.data(), idat.size(), raw)) << s.name;
      expected.push_back(raw.size());
      EXPECT_EQ(ends, expected) << s.name;
    }
  }
}

class EveryStrategyAndFilter : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(EveryStrategyAndFilter, DecodesToTheInput) {
  static const std::vector<Source> sources = [] {
    std::vector<Source> s;
    for (const Source& f : PngSuite())
      for (const char* name : {"basn0g01", "basn0g04", "basn2c08", "basn3p02", "basn3p08", "basn4a08", "basn6a08",
                               "tbrn2c08", "tp1n3p08", "s01n3p01", "s35n3p04", "tango-icon-address-book-new-32"})
        if (f.name == std::string(name) + ".png") s.push_back(f);
    for (const Source& f : PngSuite())  // crops of the larger samples
      if (f.name == "Transparency.png" || f.name == "tango-icon-address-book-new-128-rsvg-convert.png")
        s.push_back({f.name, MakeImage(40, 36, [&](int i, int j) { return f.image.pixels[(30 + j) * f.image.width + 30 + i]; })});
    return s;
  }();
  ASSERT_EQ(sources.size(), 14u);
  const auto [strategy, filter] = GetParam();
  for (const Source& s : sources) ExpectRoundTrip(s.image, Encode(s.image, {.filter = filter, .strategy = strategy}), s.name);
}

INSTANTIATE_TEST_SUITE_P(Images, EveryStrategyAndFilter, ::testing::Combine(::testing::Range(0, 5), ::testing::Range(-1, 6)));

}  // namespace
