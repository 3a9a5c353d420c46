// The colour stages one at a time: analysis, grey ramp, palette sort and the
// reorder between passes.  The automatic choice of colour type and depth,
// and given and kept palettes, are RoundTripTest's, worked out there
// independently from the pixels and read back by libpng.
#include "EngineRunSupport.h"
#include "engine/ColorAnalysis.h"
#include "engine/Palette.h"

namespace {

using namespace enginetest;
using Pixels = std::vector<uint32_t>;

Pixels Make(int count, const std::function<uint32_t(int)>& pixel) { return MakeImage(count, 1, [&](int x, int) { return pixel(x); }).pixels; }
Pixels GreyRamp(int levels, int alpha = 255) { return Make(levels, [=](int i) { return Grey(i % 256, alpha); }); }
Pixels DistinctColors(int count) { return Make(count, [](int i) { return Rgb(i & 0xFF, (i >> 8) + 1, 7); }); }
Pixels operator+(Pixels a, const Pixels& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// 150 opaque grey levels (none of them 64) and transparent pixels of level
// 64, optionally with one opaque pixel of level 64 as well.
Pixels GreyWithTransparentKey(bool opaqueKeyLevel) {
  return Make(150, [](int i) { return Grey(i < 64 ? i : i + 1); }) + Pixels(9, Grey(64, 0)) + Pixels(opaqueKeyLevel, Grey(64));
}

TEST(ScanColors, ForcedTypesFitSilentlyOrPrintTheirReasons) {
  const Pixels forty = DistinctColors(40), alpha = {Grey(1), Grey(2, 100)};
  Pixels wide = DistinctColors(300);
  wide[17] = Rgb(9, 9, 200, 128);
  const Pixels greyMany = GreyRamp(200) + GreyRamp(100, 150);
  const struct { const char* name; Pixels px; int colortype; std::vector<std::string> pieces; } cases[] = {
      {"grey on 40 colours", forty, 0, {"\rImage ", "is not grayscale; ", "try /c3 (Pal) instead"}},
      {"grey on 300 colours with alpha", wide, 0,
       {"\rImage ", "requires full alpha; ", "is not grayscale; ", "doesn't fit into 256 color entries; ",
        "try /c6 (RGB+Alpha) instead"}},
      {"grey on alpha", alpha, 0, {"\rImage ", "requires full alpha; ", "try /c3 (Pal) instead"}},
      {"rgb on alpha", alpha, 2, {"\rImage requires full alpha; try /c3 (Pal) instead"}},
      {"palette on 300 colours", DistinctColors(300), 3,
       {"\rImage doesn't fit into 256 color entries; try /c2 (RGB) instead"}},
      {"palette on many greys with alpha", greyMany, 3,
       {"\rImage doesn't fit into 256 color entries; try /c4 (Gray+Alpha) instead"}},
      {"grey+alpha on colour", forty, 4, {"\rImage is not grayscale; try /c3 (Pal) instead"}},
      {"rgb on 40 colours", forty, 2, {}}, {"palette on 40 colours", forty, 3, {}},  // no pieces: the type fits
      {"rgb+alpha on 40 colours", forty, 6, {}}, {"grey+alpha on grey with alpha", {Grey(1, 3), Grey(7)}, 4, {}},
  };
  for (const auto& c : cases) {
    StageHarness h(c.px, 1, c.colortype);
    EXPECT_EQ(ScanColors(h.ctx()), c.pieces.empty()) << c.name;
    EXPECT_TRUE(Rec().pieces == c.pieces && h.ctx().colortype == c.colortype) << c.name << ": " << Rec().Text();
  }
}

TEST(ScanColors, PollsOncePerRowOfEachScanAndStopsSilently) {
  // A transparent key needs the second scan, which ends at the first pixel
  // that rules the key out.
  Pixels keyed(12, Grey(50)), offending(12, Grey(50));
  keyed[7] = offending[0] = Grey(3, 0);
  offending[4] = Grey(3, 9);  // row 1
  const std::pair<Pixels, int> cases[] = {{Pixels(12, Grey(50)), 4}, {keyed, 8}, {offending, 6}};
  for (const auto& [px, polls] : cases) {
    StageHarness h(px, 3);
    EXPECT_TRUE(ScanColors(h.ctx()) && h.polls() == polls) << polls;
  }
  for (int stopAt : {0, 3, 4, 7}) {
    StageHarness h(keyed, 3);
    h.StopAtPoll(stopAt);
    EXPECT_TRUE(!ScanColors(h.ctx()) && Rec().pieces.empty()) << stopAt;
  }
}

TEST(ScanColors, RowsFollowTheStride) {
  // Two rows of two pixels with padding words that must never be read.
  StageHarness h({Grey(1), Grey(2), Rgb(1, 2, 3, 9), Grey(3), Grey(4), Rgb(4, 5, 6, 9)}, 3);
  h.job().width = 2, h.job().stride = 12;
  ASSERT_TRUE(ScanColors(h.ctx()));
  EXPECT_TRUE(h.ctx().analysisFlags == 0 && h.ctx().colorCount == 4) << h.ctx().colorCount;
}

TEST(ReduceGrey, RampDepthKeyAndBackground) {
  const Pixels levels4 = {Grey(0), Grey(85), Grey(170), Grey(255)};
  const struct {  // depth 0: refused with the message; entries: ramp entries to check
    const char* name; Pixels px; int bitdepth; uint32_t bkgd; int depth; std::string message;
    std::vector<std::pair<int, uint32_t>> entries;
  } cases[] = {
      {"black and white", {Grey(0), Grey(255)}, 0, 0, 1, "", {{0, 0xFF000000u}, {1, 0xFFFFFFFFu}}},
      {"0, 85, 170, 255", levels4, 0, 0, 2, "", {}}, {"and 0x77", levels4 + Pixels{Grey(0x77)}, 0, 0, 4, "", {}},
      {"and 0x78", levels4 + Pixels{Grey(0x78)}, 0, 0, 8, "", {}},
      {"key takes its level's place", GreyWithTransparentKey(false), 0, 0, 8, "",
       {{64, 0x00404040u}, {63, 0xFF3F3F3Fu}}},
      {"transparent white on a 1-bit ramp", {Grey(0), Grey(255, 0)}, 0, 0, 1, "", {{0, 0xFF000000u}, {1, 0x00FFFFFFu}}},
      {"grey background counts as a level", {Grey(0), Grey(255)}, 0, 0xFF555555, 2, "", {}},
      {"background not grey", {Grey(0), Grey(255)}, 0, 0xFF555556, 0, "\rbKGD must be grayscale in color type 0.", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StageHarness h(c.px, int(c.px.size()), 0);
    h.job().bitdepth = c.bitdepth, h.job().bkgd = c.bkgd;
    h.Sync();
    EXPECT_EQ(ScanColors(h.ctx()), c.bkgd != 0xFF555556);  // the reduction refuses a foreign background on its own too
    ASSERT_TRUE(ReduceGrey(h.ctx()) == (c.depth != 0) && Rec().Last() == c.message) << Rec().Last();
    if (c.depth == 0) continue;
    EXPECT_EQ(h.ctx().bitdepth * 1000 + h.ctx().palcount, c.depth * 1000 + (1 << c.depth));
    for (const auto& [index, entry] : c.entries) EXPECT_EQ(h.ctx().palette[index], entry) << index;
    for (uint32_t px : c.px)  // every level of the image is on the ramp
      EXPECT_NE(std::find(h.ctx().palette, h.ctx().palette + h.ctx().palcount, px), h.ctx().palette + h.ctx().palcount);
  }
}

Pixels PaletteOf(StageHarness& h) { return Pixels(h.ctx().palette, h.ctx().palette + h.ctx().palcount); }

// Each colour repeated as often as asked, interleaved so that first
// appearance follows the list order.
Pixels Repeated(const std::vector<std::pair<uint32_t, int>>& colorsAndCounts) {
  Pixels v;
  for (int round = 0, left = 1; left > 0; ++round) {
    left = 0;
    for (const auto& [color, count] : colorsAndCounts) {
      if (round < count) v.push_back(color);
      left += round + 1 < count;
    }
  }
  return v;
}

const uint32_t P = Rgb(200, 10, 10), Q = Rgb(10, 200, 10), R = Rgb(10, 10, 200);
const uint32_t O1 = Rgb(1, 2, 3), O2 = Rgb(4, 5, 6), T1 = Rgb(7, 8, 9, 0), T2 = Rgb(7, 8, 9, 100);

TEST(BuildPalette, GeneratedPaletteIsSortedByUseThenAlphaFirst) {
  std::vector<std::pair<uint32_t, int>> nine;  // all used twice but the seventh, five times
  for (int i = 0; i < 9; ++i) nine.push_back({Rgb(i, 0, 1), i == 6 ? 5 : 2});
  Pixels nineSorted;  // the gap sweeps (4, 2, 1) pass equal uses without disturbing them
  for (int i : {6, 1, 0, 3, 4, 5, 2, 7, 8}) nineSorted.push_back(Rgb(i, 0, 1));
  const struct { const char* name; std::vector<std::pair<uint32_t, int>> colours; Pixels expected, usage; } cases[] = {
      {"P Q R", {{P, 10}, {Q, 30}, {R, 20}}, {Q, R, P}, {30, 20, 10}},
      {"equal uses", nine, nineSorted, {5, 2, 2}},
      {"translucent first", {{O1, 30}, {O2, 20}, {Rgb(7, 8, 9, 128), 10}}, {Rgb(7, 8, 9, 128), O2, O1}, {10, 20, 30}},
      {"translucent keep their order", {{O1, 40}, {T1, 30}, {O2, 20}, {T2, 10}}, {T1, T2}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StageHarness h(Repeated(c.colours), 1);
    ASSERT_TRUE(ScanColors(h.ctx()) && BuildPalette(h.ctx()));
    const Pixels pal = PaletteOf(h);
    ASSERT_EQ(pal.size(), c.colours.size());
    EXPECT_EQ(Pixels(pal.begin(), pal.begin() + long(c.expected.size())), c.expected);
    for (size_t i = 0; i < c.usage.size(); ++i) EXPECT_EQ(h.ctx().usage[i], c.usage[i]) << i;  // usage travels along
  }
}

// Reorder between passes: opaque entries i = (i, i, 100) (entry 3 half
// transparent when asked) and two blocks whose literal lengths are given.
struct ReorderSetup {
  StageHarness h{{Grey(0)}, 1};
  explicit ReorderSetup(const std::vector<int32_t>& lengths, bool translucentEntry3 = false) {
    EngineContext& ctx = h.ctx();
    ctx.colortype = 3, ctx.filter = 0, ctx.bitdepth = 8, ctx.palcount = int(lengths.size()), h.job().pass = 1;
    for (int i = 0; i < ctx.palcount; ++i) ctx.palette[i] = Rgb(i, i, 100, translucentEntry3 && i == 3 ? 9 : 255);
    ctx.deflate.numBlocks = 2;
    for (int b = 0; b < 2; ++b)
      for (int s = 0; s < deflate::kSymbols; ++s) ctx.deflate.blocks[b].lengths[s] = s < ctx.palcount ? lengths[s] + 10 * b : 11;
  }
  std::vector<int32_t> Lengths(int b) { return {h.ctx().deflate.blocks[b].lengths, h.ctx().deflate.blocks[b].lengths + 4}; }
};

TEST(ReorderPalette, ShorterCodesMoveToLowerIndicesButNeverIndexZeroNorAcrossAlphas) {
  ReorderSetup s({5, 9, 7, 3});
  ASSERT_TRUE(ReorderPalette(s.h.ctx()));
  EXPECT_EQ(PaletteOf(s.h), (Pixels{Rgb(0, 0, 100), Rgb(3, 3, 100), Rgb(2, 2, 100), Rgb(1, 1, 100)}));
  EXPECT_EQ(s.Lengths(0), (std::vector<int32_t>{5, 3, 7, 9}));
  EXPECT_EQ(s.Lengths(1), (std::vector<int32_t>{15, 13, 17, 19}));  // every block swaps alike

  ReorderSetup alpha({5, 9, 7, 3}, true);
  ASSERT_TRUE(ReorderPalette(alpha.h.ctx()));
  EXPECT_EQ(PaletteOf(alpha.h)[3], Rgb(3, 3, 100, 9));
  EXPECT_EQ(alpha.Lengths(0), (std::vector<int32_t>{5, 7, 9, 3}));
}

TEST(ReorderPalette, RunsOnlyUnderItsConditions) {
  const struct { const char* name; void (*change)(StageHarness&); } cases[] = {
      {"Paeth", [](StageHarness& h) { h.ctx().filter = 4; }}, {"adaptive", [](StageHarness& h) { h.ctx().filter = 5; }},
      {"Sub", [](StageHarness& h) { h.ctx().filter = 1; }}, {"depth 4", [](StageHarness& h) { h.ctx().bitdepth = 4; }},
      {"depth 1", [](StageHarness& h) { h.ctx().bitdepth = 1; }}, {"first pass", [](StageHarness& h) { h.job().pass = 0; }},
      {"final pass", [](StageHarness& h) { h.ctx().finalPass = true; }},
      {"keep palette", [](StageHarness& h) { h.job().keeppal = 1; }}};
  for (const auto& c : cases) {
    ReorderSetup s({5, 9, 7, 3});
    c.change(s.h);
    EXPECT_FALSE(ReorderPalette(s.h.ctx())) << c.name;
    EXPECT_TRUE(s.Lengths(0) == (std::vector<int32_t>{5, 9, 7, 3}) && PaletteOf(s.h)[1] == Rgb(1, 1, 100)) << c.name;
  }
}

}  // namespace
