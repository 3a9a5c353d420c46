// Whole runs of the engine checked by libpng and zlib: every strategy with
// every filter setting, every colour type and bit depth the analysis can
// choose (worked out independently from the pixels), forced colour types and
// depths, palettes given and kept, and multi-block streams, over synthetic
// images, PngSuite and crops of the project's samples.
#include <set>

#include "EngineRunSupport.h"
#include "support/DeflateBlocks.h"

namespace {

using namespace enginetest;

struct Options {
  int colortype = -1, bitdepth = 0, filter = -1, numblocks = 0, strategy = 0, verbose = 0, keeppal = 0;
  double splitthreshold = 256.0;
  uint32_t bkgd = 0;
  const std::vector<uint32_t>* pal = nullptr;
};

struct Encoded {
  RunResult run;
  EncodeJob job;
  std::vector<uint32_t> outpal;
};

Encoded Encode(const Image& image, const Options& o) {
  Image img = image;
  std::vector<uint32_t> pal = o.pal ? *o.pal : std::vector<uint32_t>();
  EncodeJob job = DefaultJob(img);
  job.colortype = o.colortype, job.bitdepth = o.bitdepth, job.filter = o.filter, job.numblocks = o.numblocks;
  job.strategy = o.strategy, job.verbose = o.verbose, job.keeppal = o.keeppal, job.splitthreshold = o.splitthreshold;
  job.bkgd = o.bkgd, job.pal = pal.empty() ? nullptr : pal.data(), job.palcount = int(pal.size());
  Encoded e{RunJob(job), job, {}};
  if (job.outpal) e.outpal.assign(job.outpal, job.outpal + std::clamp(job.outpalcount, 0, 256));
  return e;
}

// The file decodes to exactly the input's pixels, and its IHDR says what the
// job reports.
void ExpectRoundTrip(const Image& image, const Encoded& e, const std::string& what) {
  ASSERT_NE(e.run.result, kEncodeFailed) << what << ": " << Rec().Last();
  EXPECT_TRUE(DecodesTo(e.run.png, image)) << what;
  ASSERT_FALSE(e.run.chunks.empty());
  EXPECT_EQ(e.run.chunks[0].data[8], e.job.outbitdepth) << what;
  EXPECT_EQ(e.run.chunks[0].data[9], e.job.outcolortype) << what;
}

// The colour type and depth the rules choose, worked out plainly from the
// pixel values: distinct values, greyness, and whether one transparent
// colour could stand for all the transparency.
struct Expected {
  bool fullAlpha, grey, tooMany;
  int colortype, bitdepth, palcount;
};

Expected ExpectedChoice(const Image& image, uint32_t bkgd = 0) {
  const std::set<uint32_t> values(image.pixels.begin(), image.pixels.end());
  auto isGrey = [](uint32_t v) { return ((v >> 16) & 0xFF) == ((v >> 8) & 0xFF) && ((v >> 8) & 0xFF) == (v & 0xFF); };
  bool grey = std::all_of(values.begin(), values.end(), isGrey) && (!bkgd || isGrey(bkgd));
  std::set<uint32_t> translucent, opaqueRgb;
  for (uint32_t v : values) ((v >> 24) != 0xFF ? translucent : opaqueRgb).insert((v >> 24) != 0xFF ? v : v & 0xFFFFFF);
  const bool fullAlpha = translucent.size() > 1 ||
                         (translucent.size() == 1 && ((*translucent.begin() >> 24) != 0 || opaqueRgb.count(*translucent.begin())));
  const bool bkgdPresent = bkgd && std::any_of(values.begin(), values.end(), [&](uint32_t v) { return !((v ^ bkgd) & 0xFFFFFF); });
  const bool tooMany = values.size() > 256 || (bkgd && values.size() == 256 && !bkgdPresent);
  const int colortype = !fullAlpha && grey && !tooMany ? (values.size() < 128 ? 3 : 0)
                        : !tooMany                     ? 3
                        : fullAlpha && grey            ? 4
                        : !fullAlpha                   ? 2
                                                       : 6;
  if (colortype == 0) {
    int depth = 1;
    for (uint32_t v : values) depth = std::max(depth, (v & 0xFF) % 255 == 0 ? 1 : (v & 0xFF) % 85 == 0 ? 2 : (v & 0xFF) % 17 == 0 ? 4 : 8);
    return {fullAlpha, grey, tooMany, 0, depth, 1 << depth};
  }
  const int needed = int(values.size()) + (bkgd && !bkgdPresent);
  const int depth = colortype != 3 ? 8 : needed <= 2 ? 1 : needed <= 4 ? 2 : needed <= 16 ? 4 : 8;
  return {fullAlpha, grey, tooMany, colortype, depth, colortype == 3 ? int(values.size()) : 0};
}

// Forced colour types: the ones that fit round-trip, the others fail with
// the exact reason (the strategy changes with the type, so that every
// strategy runs over every image).
void ExpectForcedTypes(const Image& image, const std::string& name) {
  const Expected e = ExpectedChoice(image);
  const char* names[] = {"/c0 (Gray)", "", "/c2 (RGB)", "/c3 (Pal)", "/c4 (Gray+Alpha)", "", "/c6 (RGB+Alpha)"};
  const std::string instead = std::string("try ") + names[e.colortype] + " instead";
  const struct {
    int colortype, strategy;
    bool fits;
    std::string refusal;
  } forced[] = {
      {0, 1, !e.fullAlpha && e.grey && !e.tooMany, instead},
      {2, 2, !e.fullAlpha, "\rImage requires full alpha; " + instead},
      {3, 3, !e.tooMany, "\rImage doesn't fit into 256 color entries; " + instead},
      {4, 4, e.grey, "\rImage is not grayscale; " + instead},
      {6, 2, true, ""},
  };
  for (const auto& f : forced) {
    const std::string what = name + " /c" + std::to_string(f.colortype);
    const Encoded r = Encode(image, {.colortype = f.colortype, .strategy = f.strategy});
    if (!f.fits) {
      EXPECT_EQ(r.run.result, kEncodeFailed) << what;
      EXPECT_EQ(Rec().Last(), f.refusal) << what;
      continue;
    }
    ExpectRoundTrip(image, r, what);
    EXPECT_EQ(r.job.outcolortype, f.colortype) << what;
  }
}

TEST(RoundTrip, AutomaticAndForcedChoicesAtEveryTypeAndDepth) {
  const struct {
    const char* name;
    Image image;
    int colortype, bitdepth, palcount;
  } cases[] = {
      {"grey depth 1", MakeImage(300, 40, [](int x, int y) { return Grey(((x * 7 + y * 3) % 11 < 4) * 255); }), 3, 1, 2},
      {"grey 200 levels", MakeImage(40, 50, [](int x, int y) { return Grey((x + 40 * y) % 200); }), 0, 8, 256},
      {"grey 4-bit levels with key",
       MakeImage(300, 40, [](int x, int y) { return (x + y) % 13 ? Grey(((x / 3 + y) % 16) * 17) : Grey(0x33, 0); }), 3, 8, 17},
      {"grey 160 levels with key",
       MakeImage(40, 40, [](int x, int y) { return (x * y) % 17 == 5 ? Grey(200, 0) : Grey((x + 40 * y) % 160); }), 0, 8, 256},
      {"grey 160 levels, key level also opaque",
       MakeImage(40, 40, [](int x, int y) { return (x + y) % 9 ? Grey((x + 40 * y) % 160) : Grey(64, 0); }), 3, 8, 161},
      {"rgb many colours", MakeImage(64, 20, [](int x, int y) { return Rgb(x * 4, y * 12, (x ^ y) & 0xFF); }), 2, 8, 0},
      {"rgb with key", MakeImage(64, 20, [](int x, int y) { return x % 7 == 3 ? Rgb(1, 2, 3, 0) : Rgb(x * 4, y * 12, 9); }), 2, 8, 0},
      {"grey+alpha", MakeImage(30, 30, [](int x, int y) { return Grey((x * 9) & 0xFF, (y * 8) & 0xFF); }), 4, 8, 0},
      {"rgb+alpha", MakeImage(30, 30, [](int x, int y) { return Rgb(x * 8, y * 8, x + y, (x * y) & 0xFF); }), 6, 8, 0},
      {"palette depth 2", MakeImage(33, 9, [](int x, int y) { return (x + y) % 3 ? Rgb(0, (x + y) % 3, 200) : Rgb(9, 0, 0); }), 3, 2, 3},
      {"palette depth 4 with alpha",
       MakeImage(17, 17, [](int x, int y) { return Rgb((x % 4) * 60, (y % 3) * 90, 5, x % 4 || y % 3 ? 255 : 128); }), 3, 4, 12},
      {"palette depth 8", MakeImage(25, 10, [](int x, int y) { return Rgb(x * 5, y, 77); }), 3, 8, 250},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExpectedChoice(c.image).colortype, c.colortype) << c.name << " (the test's own expectation)";
    const Encoded r = Encode(c.image, {});
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
  for (const auto& [colortype, depth] : fits) {
    for (int strategy : {0, 2, 4}) {
      const std::string what = "/c" + std::to_string(colortype) + " /d" + std::to_string(depth) + " strategy " + std::to_string(strategy);
      const Encoded r = Encode(levels, {.colortype = colortype, .bitdepth = depth, .strategy = strategy});
      ExpectRoundTrip(levels, r, what);
      EXPECT_EQ(r.job.outcolortype * 100 + r.job.outbitdepth, colortype * 100 + depth) << what;
    }
  }
  for (const auto& [colortype, depth] : {std::pair{0, 1}, std::pair{2, 4}}) {
    EXPECT_EQ(Encode(levels, {.colortype = colortype, .bitdepth = depth}).run.result, kEncodeFailed);
    EXPECT_EQ(Rec().Last(), "\rImage doesn't fit in selected bitdepth");
  }
  // A transparent level takes its place on the 2-bit ramp.
  const Image keyed = MakeImage(37, 5, [](int x, int y) { return (x + y) % 4 == 2 ? Grey(170, 0) : Grey(((x + y) % 4) * 85); });
  const Encoded k = Encode(keyed, {.colortype = 0});
  ExpectRoundTrip(keyed, k, "grey /d2 with key");
  EXPECT_EQ(k.job.outbitdepth, 2);
  EXPECT_EQ(k.outpal.at(2), 0x00AAAAAAu);
}

TEST(RoundTrip, GivenAndKeptPalettes) {
  std::vector<uint32_t> given;
  for (int i = 0; i < 256; ++i) given.push_back(Rgb(i, 255 - i, 40, i % 50 == 7 ? 0 : 255));
  const Image image = MakeImage(40, 6, [&](int x, int y) { return given[size_t((x * 7 + y) % 40) * 6 + 1]; });
  const Encoded compacted = Encode(image, {.pal = &given});
  ExpectRoundTrip(image, compacted, "given palette");
  // The 40 used entries; 7 and 157 carry transparency and lead.
  ASSERT_EQ(compacted.outpal.size(), 40u);
  EXPECT_EQ(compacted.outpal[0], given[7]);
  EXPECT_EQ(compacted.outpal[1], given[157]);

  const Encoded kept = Encode(image, {.keeppal = 1, .pal = &given});
  ExpectRoundTrip(image, kept, "kept palette");
  EXPECT_EQ(kept.outpal, given);

  // A given palette that lacks a pixel colour: refused rather than a wrong pixel.
  const std::vector<uint32_t> lacking(given.begin(), given.begin() + 100);
  for (int keeppal : {0, 1}) {
    EXPECT_EQ(Encode(image, {.keeppal = keeppal, .pal = &lacking}).run.result, kEncodeFailed);
    EXPECT_EQ(Rec().Last(), "\rImage has colors not in the given palette; try /c2 or /c6 instead");
  }
}

TEST(RoundTrip, PaletteReorderBetweenPassesKeepsPixels) {
  // Filter None at depth 8 with a generated palette: the reorder may run
  // between passes; the written palette must still index the right colours.
  const Image image = MakeImage(64, 64, [](int x, int y) {
    const int v = ((x / 4) * 13 + (y / 3) * 7 + (x * y) % 5) % 60;
    return Rgb(v * 4, 255 - v * 3, v, v < 3 ? 0 : 255);
  });
  for (int numblocks : {0, 3}) {
    const Encoded r = Encode(image, {.filter = 0, .numblocks = numblocks});
    ExpectRoundTrip(image, r, "reorder, numblocks " + std::to_string(numblocks));
    EXPECT_EQ(r.job.outcolortype * 100 + r.job.outbitdepth, 308);
  }
}

struct Source {
  std::string name;
  Image image;
};

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
    const Encoded r = Encode(s.image, {});
    ExpectRoundTrip(s.image, r, s.name);
    const Expected e = ExpectedChoice(s.image);
    EXPECT_EQ(r.job.outcolortype, e.colortype) << s.name;
    EXPECT_EQ(r.job.outbitdepth, e.bitdepth) << s.name;
    EXPECT_TRUE(e.colortype != 3 || r.job.outpalcount == e.palcount) << s.name;
    ExpectForcedTypes(s.image, s.name);
  }
}

// Multi-block streams: zlib sees the blocks end where the verbose report
// says the splitter cut, and the pixels come back.
TEST(RoundTrip, PngSuiteMultiBlockStreams) {
  for (const Source& s : PngSuite()) {
    for (const Options& o : {Options{.numblocks = 5, .strategy = 1, .verbose = 1},
                             Options{.filter = 0, .verbose = 1, .splitthreshold = 8.0}}) {
      const Encoded r = Encode(s.image, o);
      ExpectRoundTrip(s.image, r, s.name);
      std::vector<uint8_t> idat, raw;
      for (const auto& c : r.run.chunks)
        if (c.type == "IDAT") idat.insert(idat.end(), c.data.begin(), c.data.end());
      std::vector<size_t> ends, expected = ReportedBoundaries();
      ASSERT_TRUE(oracle::DeflateBlockEnds(idat, ends) && oracle::InflateZlib(idat.data(), idat.size(), raw)) << s.name;
      expected.push_back(raw.size());
      EXPECT_EQ(ends, expected) << s.name;
    }
  }
}

// Grey and palette images at every bit depth from the one the analysis
// picks up to 8, with a background colour taken from the image (no extra
// entry) and one foreign to it (an extra palette entry, or a grey level the
// ramp must hold).
TEST(RoundTrip, PngSuiteAtEveryDepthAboveTheChosenOne) {
  int tried = 0;
  for (const Source& s : PngSuite()) {
    const Expected e = ExpectedChoice(s.image);
    if (e.colortype != 0 && e.colortype != 3) continue;
    const uint32_t inImage = 0xFF000000u | s.image.pixels[0], foreign = e.colortype == 0 ? 0xFF5A5A5Au : 0xFF123456u;
    for (uint32_t bkgd : {0u, inImage, foreign}) {
      const Expected withBackground = ExpectedChoice(s.image, bkgd);
      if (withBackground.colortype != e.colortype) continue;
      const int lowest = e.colortype == 0 && bkgd == foreign ? 8 : withBackground.bitdepth;
      for (int depth = lowest; depth <= 8; depth *= 2, ++tried) {
        const std::string what = s.name + " /d" + std::to_string(depth) + " bkgd " + std::to_string(bkgd);
        const Encoded r = Encode(s.image, {.colortype = e.colortype, .bitdepth = depth, .strategy = 2, .bkgd = bkgd});
        ExpectRoundTrip(s.image, r, what);
        EXPECT_EQ(r.job.outbitdepth, depth) << what;
      }
    }
  }
  EXPECT_GT(tried, 100);
}

// Every strategy with every filter setting over small PngSuite images and
// crops of the samples.
class EveryStrategyAndFilter : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(EveryStrategyAndFilter, DecodesToTheInput) {
  static const std::vector<Source> sources = [] {
    std::vector<Source> s;
    for (const Source& f : PngSuite())
      for (const char* name : {"basn0g01", "basn0g04", "basn2c08", "basn3p02", "basn3p08", "basn4a08", "basn6a08",
                               "tbrn2c08", "tp1n3p08", "s01n3p01", "s35n3p04", "tango-icon-address-book-new-32"})
        if (f.name == std::string(name) + ".png") s.push_back(f);
    for (const auto& [file, x0, y0, w, h] : {std::tuple{"Transparency.png", 0, 0, 48, 40},
                                             std::tuple{"tango-icon-address-book-new-128-rsvg-convert.png", 30, 30, 40, 36}}) {
      Image src;
      EXPECT_TRUE(oracle::DecodePng(oracle::ReadFile(oracle::SourceDir() / "samples" / file), src)) << file;
      const int x = x0, y = y0;
      s.push_back({file, MakeImage(std::min(w, src.width - x), std::min(h, src.height - y),
                                   [&](int i, int j) { return src.pixels[size_t(y + j) * src.width + (x + i)]; })});
    }
    return s;
  }();
  ASSERT_EQ(sources.size(), 14u);
  const auto [strategy, filter] = GetParam();
  for (const Source& s : sources) {
    const Encoded r = Encode(s.image, {.filter = filter, .strategy = strategy});
    ExpectRoundTrip(s.image, r, s.name);
    std::vector<uint8_t> raw;
    EXPECT_TRUE(oracle::InflateIdat(r.run.png, raw)) << s.name;  // zlib accepts the stream
  }
}

INSTANTIATE_TEST_SUITE_P(Images, EveryStrategyAndFilter, ::testing::Combine(::testing::Range(0, 5), ::testing::Range(-1, 6)));

}  // namespace
