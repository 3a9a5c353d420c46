#include <gtest/gtest.h>

#include "engine/ColorAnalysis.h"
#include "tests/engine/ColourTestSupport.h"

using namespace colourtest;

namespace {

// Opaque grey image using levels 0..levels-1, each once, in one row.
Pixels GreyRamp(int levels) {
  std::vector<uint32_t> v;
  for (int i = 0; i < levels; ++i) v.push_back(Grey(i));
  return Pixels::FromList(v, levels);
}

// Distinct opaque colours, count of them, in rows of 16.
std::vector<uint32_t> DistinctColors(int count) {
  std::vector<uint32_t> v;
  for (int i = 0; i < count; ++i) v.push_back(Rgb(i & 0xFF, (i >> 8) + 1, 7));
  return v;
}

struct Analysed {
  bool ok;
  int colortype;
  int flags;
};

Analysed Analyse(StageHarness& h) {
  const bool ok = ScanColors(h.ctx());
  return {ok, h.ctx().colortype, h.ctx().analysisFlags};
}

TEST(ScanColors, GreyImagesChoosePaletteBelow128LevelsElseGrey) {
  StageHarness few(GreyRamp(100));
  EXPECT_EQ(Analyse(few).colortype, 3);
  EXPECT_EQ(few.ctx().colorCount, 100);

  StageHarness many(GreyRamp(200));
  const Analysed a = Analyse(many);
  ASSERT_TRUE(a.ok);
  EXPECT_EQ(a.colortype, 0);
  ASSERT_TRUE(ReduceGrey(many.ctx()));
  EXPECT_EQ(many.ctx().bitdepth, 8);
  EXPECT_EQ(many.ctx().palcount, 256);
  EXPECT_EQ(many.ctx().palette[0x80], 0xFF808080u);
}

TEST(ScanColors, BlackAndWhite) {
  const Pixels bw = Pixels::FromList({Grey(0), Grey(255), Grey(255), Grey(0)}, 2);
  StageHarness automatic(bw);
  EXPECT_EQ(Analyse(automatic).colortype, 3);
  EXPECT_EQ(automatic.ctx().colorCount, 2);

  StageHarness forced(bw);
  forced.job().colortype = 0;
  forced.SyncWorkingCopies();
  ASSERT_TRUE(Analyse(forced).ok);
  ASSERT_TRUE(ReduceGrey(forced.ctx()));
  EXPECT_EQ(forced.ctx().bitdepth, 1);
  EXPECT_EQ(forced.ctx().palcount, 2);
  EXPECT_EQ(forced.ctx().palette[0], 0xFF000000u);
  EXPECT_EQ(forced.ctx().palette[1], 0xFFFFFFFFu);
}

TEST(ReduceGrey, DepthFollowsTheLevelsUsed) {
  struct Case {
    std::vector<int> extra;
    int depth;
  };
  const Case cases[] = {{{}, 2}, {{0x77}, 4}, {{0x11, 0xEE}, 4}, {{0x78}, 8}, {{0x77, 0x01}, 8}};
  for (const Case& c : cases) {
    std::vector<uint32_t> v = {Grey(0), Grey(85), Grey(170), Grey(255)};
    for (int level : c.extra) v.push_back(Grey(level));
    StageHarness h(Pixels::FromList(v, int(v.size())));
    h.job().colortype = 0;
    h.SyncWorkingCopies();
    ASSERT_TRUE(ScanColors(h.ctx()));
    ASSERT_TRUE(ReduceGrey(h.ctx()));
    EXPECT_EQ(h.ctx().bitdepth, c.depth) << "extra levels " << c.extra.size();
    EXPECT_EQ(h.ctx().palcount, 1 << c.depth);
    // Every level of the image is on the ramp.
    for (uint32_t px : v) {
      bool found = false;
      for (int i = 0; i < h.ctx().palcount; ++i) found |= h.ctx().palette[i] == px;
      EXPECT_TRUE(found) << std::hex << px;
    }
  }
}

TEST(ReduceGrey, RequestedDepthTooSmallFails) {
  StageHarness h(Pixels::FromList({Grey(0), Grey(0x77)}, 2));
  h.job().colortype = 0;
  h.job().bitdepth = 2;
  h.SyncWorkingCopies();
  ASSERT_TRUE(ScanColors(h.ctx()));
  EXPECT_FALSE(ReduceGrey(h.ctx()));
  EXPECT_EQ(h.LastMessage(), "\rImage doesn't fit in selected bitdepth");
}

TEST(ReduceGrey, BackgroundMustBeGreyAndCountsAsALevel) {
  StageHarness grey(Pixels::FromList({Grey(0), Grey(255)}, 2));
  grey.job().colortype = 0;
  grey.job().bkgd = 0xFF555555;
  grey.SyncWorkingCopies();
  ASSERT_TRUE(ScanColors(grey.ctx()));
  ASSERT_TRUE(ReduceGrey(grey.ctx()));
  EXPECT_EQ(grey.ctx().bitdepth, 2);  // level 85 of the background needs two bits

  StageHarness off(Pixels::FromList({Grey(0), Grey(255)}, 2));
  off.job().colortype = 0;
  off.job().bkgd = 0xFF555556;  // blue one above green
  off.SyncWorkingCopies();
  // The analysis already finds the background not grey; the reduction
  // refuses it on its own too.
  EXPECT_FALSE(ScanColors(off.ctx()));
  EXPECT_FALSE(ReduceGrey(off.ctx()));
  EXPECT_EQ(off.LastMessage(), "\rbKGD must be grayscale in color type 0.");
}

// 150 opaque grey levels (none of them 64) and transparent pixels of level
// 64, optionally with one opaque pixel of level 64 as well.
Pixels GreyWithTransparentKey(bool opaqueKeyLevel) {
  std::vector<uint32_t> v;
  for (int i = 0; i < 151; ++i) {
    if (i != 64) v.push_back(Grey(i));
  }
  for (int i = 0; i < 9; ++i) v.push_back(Grey(64, 0));
  if (opaqueKeyLevel) v.push_back(Grey(64));
  while (v.size() % 16) v.push_back(Grey(3));
  return Pixels::FromList(v, 16);
}

TEST(ScanColors, TransparentGreyKey) {
  StageHarness h(GreyWithTransparentKey(false));
  const Analysed a = Analyse(h);
  ASSERT_TRUE(a.ok);
  EXPECT_EQ(a.flags, 0);
  EXPECT_EQ(a.colortype, 0);
  EXPECT_EQ(h.ctx().key, 0x00404040u);
  ASSERT_TRUE(ReduceGrey(h.ctx()));
  EXPECT_EQ(h.ctx().bitdepth, 8);
  EXPECT_EQ(h.ctx().palette[64], 0x00404040u);  // the key takes its level's place
  EXPECT_EQ(h.ctx().palette[63], 0xFF3F3F3Fu);

  StageHarness shared(GreyWithTransparentKey(true));
  const Analysed b = Analyse(shared);
  EXPECT_EQ(b.flags, kNeedsAlpha);
  EXPECT_EQ(b.colortype, 3);
}

TEST(ReduceGrey, KeyTakesItsPlaceOnCoarseRamps) {
  // Transparent white on a black-and-white image: index 1 of the 1-bit ramp.
  StageHarness h(Pixels::FromList({Grey(0), Grey(255, 0), Grey(0), Grey(0)}, 2));
  h.job().colortype = 0;
  h.SyncWorkingCopies();
  ASSERT_TRUE(ScanColors(h.ctx()));
  EXPECT_EQ(h.ctx().key, 0x00FFFFFFu);
  ASSERT_TRUE(ReduceGrey(h.ctx()));
  EXPECT_EQ(h.ctx().bitdepth, 1);
  EXPECT_EQ(h.ctx().palette[0], 0xFF000000u);
  EXPECT_EQ(h.ctx().palette[1], 0x00FFFFFFu);
}

TEST(ScanColors, TransparencyCases) {
  struct Case {
    const char* name;
    std::vector<uint32_t> px;
    int flags;
    uint32_t key;
  };
  const Case cases[] = {
      {"opaque only", {Grey(1), Grey(2)}, 0, 0xFFFFFFFF},
      {"transparent red in grey", {Grey(1), Rgb(255, 0, 0, 0)}, kNotGrey, 0x00FF0000},
      {"only transparent", {Grey(7, 0), Grey(7, 0)}, 0, 0x00070707},
      {"semi-transparent", {Grey(1), Grey(2, 128)}, kNeedsAlpha, 0xFFFFFFFF},
      {"two transparent colours", {Grey(1, 0), Grey(2, 0), Grey(9)}, kNeedsAlpha, 0xFFFFFFFF},
      {"key colour also half opaque", {Grey(1, 0), Grey(1, 200)}, kNeedsAlpha, 0xFFFFFFFF},
      {"key colour also opaque", {Grey(9), Grey(1, 0), Grey(1)}, kNeedsAlpha, 0xFFFFFFFF},
      {"key plus a semi-transparent", {Grey(1, 0), Grey(2), Grey(3, 254)}, kNeedsAlpha, 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    StageHarness h(Pixels::FromList(c.px, int(c.px.size())));
    const Analysed a = Analyse(h);
    EXPECT_TRUE(a.ok) << c.name;
    EXPECT_EQ(a.flags, c.flags) << c.name;
    // A key stands only where it can replace the alpha channel.
    EXPECT_EQ(h.ctx().key, c.key) << c.name;
  }
}

TEST(ScanColors, FullPaletteAndForeignBackground) {
  const std::vector<uint32_t> colors = DistinctColors(256);
  StageHarness foreign(Pixels::FromList(colors, 16));
  foreign.job().bkgd = 0xFF123456;
  const Analysed a = Analyse(foreign);
  EXPECT_EQ(a.flags, kNotGrey | kTooManyColors);
  EXPECT_EQ(a.colortype, 2);

  StageHarness own(Pixels::FromList(colors, 16));
  own.job().bkgd = 0xFF000000 | (colors[200] & 0xFFFFFF);
  const Analysed b = Analyse(own);
  EXPECT_EQ(b.flags, kNotGrey);
  EXPECT_EQ(b.colortype, 3);

  StageHarness fewer(Pixels::FromList(DistinctColors(255), 15));
  fewer.job().bkgd = 0xFF123456;
  EXPECT_EQ(Analyse(fewer).flags, kNotGrey);

  StageHarness more(Pixels::FromList(DistinctColors(257), 257));
  EXPECT_EQ(Analyse(more).flags, kNotGrey | kTooManyColors);
  EXPECT_EQ(more.ctx().colorCount, 256);
}

TEST(ScanColors, AutomaticChoiceTable) {
  std::vector<uint32_t> greyAlpha;
  for (int i = 0; i < 300; ++i) greyAlpha.push_back(Grey(i % 256, i < 256 ? 255 : 100));
  std::vector<uint32_t> rgbAlpha = DistinctColors(300);
  rgbAlpha[5] = Rgb(1, 2, 3, 77);
  struct Case {
    const char* name;
    std::vector<uint32_t> px;
    int flags;
    int colortype;
  };
  const Case cases[] = {
      {"grey+alpha, many", greyAlpha, kNeedsAlpha | kTooManyColors, 4},
      {"rgb, many", DistinctColors(300), kNotGrey | kTooManyColors, 2},
      {"rgb+alpha, many", rgbAlpha, kNeedsAlpha | kNotGrey | kTooManyColors, 6},
      {"grey+alpha, few", {Grey(1), Grey(2, 3)}, kNeedsAlpha, 3},
      {"rgb+alpha, few", {Rgb(1, 2, 3), Grey(2, 3)}, kNeedsAlpha | kNotGrey, 3},
  };
  for (const Case& c : cases) {
    StageHarness h(Pixels::FromList(c.px, int(c.px.size())));
    const Analysed a = Analyse(h);
    EXPECT_TRUE(a.ok) << c.name;
    EXPECT_EQ(a.flags, c.flags) << c.name;
    EXPECT_EQ(a.colortype, c.colortype) << c.name;
  }
}

TEST(ScanColors, ForcedTypesThatDoNotFitPrintTheirReasons) {
  std::vector<uint32_t> forty = DistinctColors(40);
  std::vector<uint32_t> wide = DistinctColors(300);
  wide[17] = Rgb(9, 9, 200, 128);
  std::vector<uint32_t> alpha = {Grey(1), Grey(2, 100)};
  std::vector<uint32_t> greyMany;
  for (int i = 0; i < 300; ++i) greyMany.push_back(Grey(i & 0xFF, i < 200 ? 255 : i - 100));
  struct Case {
    const char* name;
    std::vector<uint32_t> px;
    int colortype;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"grey on 40 colours", forty, 0, {"\rImage ", "is not grayscale; ", "try /c3 (Pal) instead"}},
      {"grey on 300 colours with alpha",
       wide,
       0,
       {"\rImage ", "requires full alpha; ", "is not grayscale; ", "doesn't fit into 256 color entries; ",
        "try /c6 (RGB+Alpha) instead"}},
      {"grey on alpha", alpha, 0, {"\rImage ", "requires full alpha; ", "try /c3 (Pal) instead"}},
      {"rgb on alpha", alpha, 2, {"\rImage requires full alpha; try /c3 (Pal) instead"}},
      {"palette on 300 colours", DistinctColors(300), 3,
       {"\rImage doesn't fit into 256 color entries; try /c2 (RGB) instead"}},
      {"palette on many greys with alpha", greyMany, 3,
       {"\rImage doesn't fit into 256 color entries; try /c4 (Gray+Alpha) instead"}},
      {"grey+alpha on colour", forty, 4, {"\rImage is not grayscale; try /c3 (Pal) instead"}},
  };
  for (const Case& c : cases) {
    StageHarness h(Pixels::FromList(c.px, int(c.px.size())));
    h.job().colortype = c.colortype;
    h.SyncWorkingCopies();
    EXPECT_FALSE(ScanColors(h.ctx())) << c.name;
    EXPECT_EQ(h.pieces(), c.pieces) << c.name;
    EXPECT_EQ(h.ctx().colortype, c.colortype) << c.name;
  }
}

TEST(ScanColors, ForcedTypesThatFitPassSilently) {
  const std::vector<uint32_t> forty = DistinctColors(40);
  for (int colortype : {2, 3, 6}) {
    StageHarness h(Pixels::FromList(forty, 8));
    h.job().colortype = colortype;
    h.SyncWorkingCopies();
    EXPECT_TRUE(ScanColors(h.ctx())) << colortype;
    EXPECT_TRUE(h.pieces().empty()) << colortype;
  }
  // Grey+alpha holds a grey image of any count and alpha.
  StageHarness g(Pixels::FromList({Grey(1, 3), Grey(7)}, 2));
  g.job().colortype = 4;
  g.SyncWorkingCopies();
  EXPECT_TRUE(ScanColors(g.ctx()));
}

TEST(ScanColors, PollsOncePerRowOfEachScanAndStopsSilently) {
  // A transparent key needs the second scan: two polls per row.
  std::vector<uint32_t> v(12, Grey(50));
  v[7] = Grey(3, 0);
  StageHarness keyed(Pixels::FromList(v, 3));
  ASSERT_TRUE(ScanColors(keyed.ctx()));
  EXPECT_EQ(keyed.polls(), 8);

  StageHarness opaque(Pixels::FromList(std::vector<uint32_t>(12, Grey(50)), 3));
  ASSERT_TRUE(ScanColors(opaque.ctx()));
  EXPECT_EQ(opaque.polls(), 4);

  for (int stopAt : {0, 3, 4, 7}) {
    StageHarness h(Pixels::FromList(v, 3));
    h.StopAtPoll(stopAt);
    EXPECT_FALSE(ScanColors(h.ctx())) << stopAt;
    EXPECT_TRUE(h.pieces().empty()) << stopAt;
  }
}

TEST(ScanColors, SecondScanEndsAtTheFirstOffendingPixel) {
  std::vector<uint32_t> v(12, Grey(50));
  v[0] = Grey(3, 0);
  v[4] = Grey(3, 9);  // row 1
  StageHarness h(Pixels::FromList(v, 3));
  ASSERT_TRUE(ScanColors(h.ctx()));
  EXPECT_EQ(h.ctx().analysisFlags, kNeedsAlpha);
  EXPECT_EQ(h.polls(), 4 + 2);
}

TEST(ScanColors, RowsFollowTheStride) {
  // Two rows of two pixels with padding words that must never be read.
  std::vector<uint32_t> padded = {Grey(1), Grey(2), Rgb(1, 2, 3, 9), Grey(3), Grey(4), Rgb(4, 5, 6, 9)};
  StageHarness h(Pixels::FromList(padded, 3));
  h.job().width = 2;
  h.job().stride = 12;
  ASSERT_TRUE(ScanColors(h.ctx()));
  EXPECT_EQ(h.ctx().analysisFlags, 0);
  EXPECT_EQ(h.ctx().colorCount, 4);
}

TEST(ReduceTrueColor, DepthIsEightOrFails) {
  for (int requested : {0, 3, 8, 16, -1}) {
    StageHarness h(Pixels::FromList({Rgb(1, 2, 3)}, 1));
    h.ctx().bitdepth = requested;
    EXPECT_TRUE(ReduceTrueColor(h.ctx())) << requested;
    EXPECT_EQ(h.ctx().bitdepth, 8);
  }
  for (int requested : {1, 2, 4}) {
    StageHarness h(Pixels::FromList({Rgb(1, 2, 3)}, 1));
    h.ctx().bitdepth = requested;
    EXPECT_FALSE(ReduceTrueColor(h.ctx())) << requested;
    EXPECT_EQ(h.LastMessage(), "\rImage doesn't fit in selected bitdepth");
  }
}

}  // namespace
