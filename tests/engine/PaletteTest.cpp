#include <gtest/gtest.h>

#include <algorithm>

#include "engine/ColorAnalysis.h"
#include "engine/Palette.h"
#include "tests/engine/ColourTestSupport.h"

using namespace colourtest;

namespace {

// The driver's stages up to the palette: analysis, input palette copied in,
// palette built.
bool RunToPalette(StageHarness& h) {
  h.SyncWorkingCopies();
  if (!ScanColors(h.ctx())) return false;
  h.CopyInputPalette();
  return BuildPalette(h.ctx());
}

std::vector<uint32_t> PaletteOf(StageHarness& h) {
  return std::vector<uint32_t>(h.ctx().palette, h.ctx().palette + h.ctx().palcount);
}

// Pixels of each colour repeated as often as asked, colours interleaved so
// that first appearance follows the list order.
Pixels Repeated(const std::vector<std::pair<uint32_t, int>>& colorsAndCounts) {
  std::vector<uint32_t> v;
  int left = 1;
  for (int round = 0; left > 0; ++round) {
    left = 0;
    for (const auto& [color, count] : colorsAndCounts) {
      if (round < count) v.push_back(color);
      if (round + 1 < count) ++left;
    }
  }
  return Pixels::FromList(v, int(v.size()));
}

const uint32_t P = Rgb(200, 10, 10), Q = Rgb(10, 200, 10), R = Rgb(10, 10, 200);

TEST(BuildPalette, GeneratedPaletteIsSortedByUseMostFirst) {
  StageHarness h(Repeated({{P, 10}, {Q, 30}, {R, 20}}));
  ASSERT_TRUE(RunToPalette(h));
  EXPECT_EQ(PaletteOf(h), (std::vector<uint32_t>{Q, R, P}));
  EXPECT_EQ(h.ctx().usage[0], 30u);
  EXPECT_EQ(h.ctx().usage[1], 20u);
  EXPECT_EQ(h.ctx().usage[2], 10u);
  EXPECT_EQ(h.ctx().bitdepth, 2);
  EXPECT_EQ(h.ctx().entriesNeeded, 3);
}

TEST(BuildPalette, GapSortNeverSwapsEqualUses) {
  // Nine colours used twice each but the seventh, used five times.  The gap
  // sweeps (4, 2, 1) move it forward in two exchanges, each passing over
  // entries of equal use without disturbing them.
  std::vector<std::pair<uint32_t, int>> colours;
  for (int i = 0; i < 9; ++i) colours.push_back({Rgb(i, 0, 1), i == 6 ? 5 : 2});
  StageHarness h(Repeated(colours));
  ASSERT_TRUE(RunToPalette(h));
  std::vector<uint32_t> expected;
  for (int i : {6, 1, 0, 3, 4, 5, 2, 7, 8}) expected.push_back(Rgb(i, 0, 1));
  EXPECT_EQ(PaletteOf(h), expected);
}

TEST(BuildPalette, NonOpaqueEntriesComeFirst) {
  const uint32_t o1 = Rgb(1, 2, 3), o2 = Rgb(4, 5, 6), t = Rgb(7, 8, 9, 128);
  StageHarness h(Repeated({{o1, 30}, {o2, 20}, {t, 10}}));
  ASSERT_TRUE(RunToPalette(h));
  EXPECT_EQ(PaletteOf(h), (std::vector<uint32_t>{t, o2, o1}));
  EXPECT_EQ(h.ctx().usage[0], 10u);  // usage travels with its entry
}

TEST(BuildPalette, NonOpaqueEntriesKeepTheirRelativeOrder) {
  const uint32_t o1 = Rgb(1, 2, 3), t1 = Rgb(7, 8, 9, 0), o2 = Rgb(4, 5, 6), t2 = Rgb(7, 8, 9, 100);
  StageHarness h(Repeated({{o1, 40}, {t1, 30}, {o2, 20}, {t2, 10}}));
  ASSERT_TRUE(RunToPalette(h));
  const std::vector<uint32_t> pal = PaletteOf(h);
  ASSERT_EQ(pal.size(), 4u);
  EXPECT_EQ(pal[0], t1);
  EXPECT_EQ(pal[1], t2);
  EXPECT_TRUE((pal[2] == o1 && pal[3] == o2) || (pal[2] == o2 && pal[3] == o1));
}

TEST(BuildPalette, BackgroundEntryCountsTowardsTheDepth) {
  struct Case {
    int colors;
    uint32_t bkgd;
    int needed;
    int depth;
  };
  const Case cases[] = {
      {16, 0xFF123456, 17, 8}, {15, 0xFF123456, 16, 4}, {16, 0, 16, 4},
      {2, 0xFF000000, 3, 2},   {2, 0, 2, 1},            {16, 0xFF000000 | Rgb(5, 0, 1), 16, 4},
  };
  for (const Case& c : cases) {
    std::vector<uint32_t> v;
    for (int i = 0; i < c.colors; ++i) v.push_back(Rgb(i, 0, 1));
    StageHarness h(Pixels::FromList(v, c.colors));
    h.job().bkgd = c.bkgd;
    ASSERT_TRUE(RunToPalette(h));
    EXPECT_EQ(h.ctx().entriesNeeded, c.needed) << c.colors << " " << std::hex << c.bkgd;
    EXPECT_EQ(h.ctx().bitdepth, c.depth) << c.colors << " " << std::hex << c.bkgd;
    EXPECT_EQ(h.ctx().palcount, c.colors);
  }
}

TEST(BuildPalette, RequestedDepthTooSmallFails) {
  StageHarness h(Repeated({{P, 1}, {Q, 1}, {R, 1}}));
  h.job().bitdepth = 1;
  EXPECT_FALSE(RunToPalette(h));
  EXPECT_EQ(h.LastMessage(), "\rImage doesn't fit in selected bitdepth");

  StageHarness larger(Repeated({{P, 1}, {Q, 1}, {R, 1}}));
  larger.job().bitdepth = 4;
  ASSERT_TRUE(RunToPalette(larger));
  EXPECT_EQ(larger.ctx().bitdepth, 4);
}

// A given palette of 256 entries; the image uses every sixth entry, 40 in
// all, in a scrambled order; entries 30 and 90 are transparent.
struct GivenPalette {
  std::vector<uint32_t> entries;
  std::vector<uint32_t> used;  // the used entries in palette order
  Pixels image;
};

GivenPalette MakeGivenPalette() {
  GivenPalette g;
  for (int i = 0; i < 256; ++i) g.entries.push_back(Rgb(i, 255 - i, 3, (i == 30 || i == 90) ? 0 : 255));
  std::vector<uint32_t> px;
  for (int k = 0; k < 40; ++k) g.used.push_back(g.entries[k * 6]);
  for (int k = 0; k < 40; ++k) px.push_back(g.used[(k * 7) % 40]);
  px.push_back(g.used[3]);
  px.push_back(g.used[3]);
  g.image = Pixels::FromList(px, 6);
  return g;
}

TEST(BuildPalette, GivenPaletteIsCompactedInItsOrderThenAlphaFirst) {
  GivenPalette g = MakeGivenPalette();
  StageHarness h(g.image);
  h.job().pal = g.entries.data();
  h.job().palcount = 256;
  ASSERT_TRUE(RunToPalette(h));
  ASSERT_EQ(h.ctx().palcount, 40);
  EXPECT_EQ(h.ctx().bitdepth, 8);
  // Entries 30 and 90 (used entries 5 and 15) move to the front; the opaque
  // ones follow, all present.
  const std::vector<uint32_t> pal = PaletteOf(h);
  EXPECT_EQ(pal[0], g.entries[30]);
  EXPECT_EQ(pal[1], g.entries[90]);
  std::vector<uint32_t> a = pal, b = g.used;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a, b);
}

TEST(BuildPalette, GivenOpaquePaletteKeepsItsOrder) {
  GivenPalette g = MakeGivenPalette();
  for (uint32_t& e : g.entries) e |= 0xFF000000;
  for (uint32_t& e : g.used) e |= 0xFF000000;
  for (uint32_t& e : g.image.px) e |= 0xFF000000;
  StageHarness h(g.image);
  h.job().pal = g.entries.data();
  h.job().palcount = 256;
  ASSERT_TRUE(RunToPalette(h));
  EXPECT_EQ(PaletteOf(h), g.used);
  EXPECT_EQ(h.ctx().usage[3], 3u);
}

TEST(BuildPalette, KeptPaletteIsWrittenEntryForEntry) {
  GivenPalette g = MakeGivenPalette();
  StageHarness h(g.image);
  h.job().pal = g.entries.data();
  h.job().palcount = 256;
  h.job().keeppal = 1;
  ASSERT_TRUE(RunToPalette(h));
  EXPECT_EQ(PaletteOf(h), g.entries);  // no compaction, no alpha-first order
  EXPECT_TRUE(h.pieces().empty());
}

TEST(BuildPalette, DuplicateGivenEntriesResolveToTheLowerIndex) {
  const std::vector<uint32_t> entries = {P, Q, P, R};
  StageHarness h(Pixels::FromList({P, Q, R}, 3));
  h.job().pal = const_cast<uint32_t*>(entries.data());
  h.job().palcount = 4;
  ASSERT_TRUE(RunToPalette(h));
  EXPECT_EQ(PaletteOf(h), (std::vector<uint32_t>{P, Q, R}));  // the second P is unused
}

TEST(BuildPalette, GivenPaletteMissingAPixelColourIsRefused) {
  const std::vector<uint32_t> entries = {P, Q};
  for (int keeppal : {0, 1}) {
    StageHarness h(Pixels::FromList({P, Q, R, P}, 2));
    h.job().pal = const_cast<uint32_t*>(entries.data());
    h.job().palcount = 2;
    h.job().keeppal = keeppal;
    EXPECT_FALSE(RunToPalette(h)) << keeppal;
    EXPECT_EQ(h.LastMessage(), "\rImage has colors not in the given palette; try /c2 or /c6 instead") << keeppal;
  }
}

TEST(BuildPalette, KeepPaletteWithoutPaletteGeneratesAndSaysSo) {
  const uint32_t o = Rgb(1, 2, 3), t = Rgb(4, 5, 6, 9);
  StageHarness h(Repeated({{o, 5}, {t, 2}}));
  h.job().keeppal = 1;
  ASSERT_TRUE(RunToPalette(h));
  EXPECT_EQ(h.pieces(), (std::vector<std::string>{"\nIgnoring /kp (palette not found)"}));
  EXPECT_EQ(PaletteOf(h), (std::vector<uint32_t>{o, t}));  // keeppal still skips alpha-first
}

TEST(BuildPalette, StopRequestFailsSilently) {
  for (bool given : {false, true}) {
    const std::vector<uint32_t> entries = {P, Q, R};
    StageHarness h(Pixels::FromList({P, Q, R, R}, 2));
    if (given) {
      h.job().pal = const_cast<uint32_t*>(entries.data());
      h.job().palcount = 3;
    }
    h.SyncWorkingCopies();
    ASSERT_TRUE(ScanColors(h.ctx()));
    h.CopyInputPalette();
    h.StopAtPoll(h.polls() + 1);  // the second row of the palette scan
    EXPECT_FALSE(BuildPalette(h.ctx())) << given;
    EXPECT_TRUE(h.pieces().empty()) << given;
  }
}

// Reorder between passes: a palette of n opaque entries (entry 3 half
// transparent when asked) and two blocks whose literal lengths are given.
struct ReorderSetup {
  std::unique_ptr<StageHarness> h;

  explicit ReorderSetup(const std::vector<int32_t>& lengths, bool translucentEntry3 = false) {
    h = std::make_unique<StageHarness>(Pixels::FromList({Grey(0)}, 1));
    EngineContext& ctx = h->ctx();
    ctx.colortype = 3;
    ctx.filter = 0;
    ctx.bitdepth = 8;
    ctx.palcount = int(lengths.size());
    h->job().pass = 1;
    for (int i = 0; i < ctx.palcount; ++i) ctx.palette[i] = Rgb(i, i, 100, translucentEntry3 && i == 3 ? 9 : 255);
    ctx.deflate.numBlocks = 2;
    for (int b = 0; b < 2; ++b) {
      for (int s = 0; s < deflate::kSymbols; ++s) ctx.deflate.blocks[b].lengths[s] = 11;
      for (int i = 0; i < ctx.palcount; ++i) ctx.deflate.blocks[b].lengths[i] = lengths[i] + 10 * b;
    }
  }
  std::vector<uint32_t> Palette() { return PaletteOf(*h); }
  std::vector<int32_t> Lengths(int block) {
    const int32_t* l = h->ctx().deflate.blocks[block].lengths;
    return std::vector<int32_t>(l, l + h->ctx().palcount);
  }
};

TEST(ReorderPalette, ShorterCodesMoveToLowerIndicesButNeverIndexZero) {
  ReorderSetup s({5, 9, 7, 3});
  ASSERT_TRUE(ReorderPalette(s.h->ctx()));
  // Index 0 stays; 1..3 end sorted by their block-0 lengths.
  EXPECT_EQ(s.Palette(), (std::vector<uint32_t>{Rgb(0, 0, 100), Rgb(3, 3, 100), Rgb(2, 2, 100), Rgb(1, 1, 100)}));
  EXPECT_EQ(s.Lengths(0), (std::vector<int32_t>{5, 3, 7, 9}));
  EXPECT_EQ(s.Lengths(1), (std::vector<int32_t>{15, 13, 17, 19}));  // every block swaps alike
  EXPECT_EQ(s.h->ctx().deflate.blocks[0].lengths[256], 11);
}

TEST(ReorderPalette, EntriesTradePlacesOnlyWithinOneAlpha) {
  ReorderSetup s({5, 9, 7, 3}, true);
  ASSERT_TRUE(ReorderPalette(s.h->ctx()));
  EXPECT_EQ(s.Palette()[3], Rgb(3, 3, 100, 9));
  EXPECT_EQ(s.Lengths(0), (std::vector<int32_t>{5, 7, 9, 3}));
}

TEST(ReorderPalette, RunsOnlyUnderItsConditions) {
  struct Case {
    const char* name;
    void (*change)(StageHarness&);
  };
  const Case cases[] = {
      {"Paeth", [](StageHarness& h) { h.ctx().filter = 4; }},
      {"adaptive", [](StageHarness& h) { h.ctx().filter = 5; }},
      {"Sub", [](StageHarness& h) { h.ctx().filter = 1; }},
      {"depth 4", [](StageHarness& h) { h.ctx().bitdepth = 4; }},
      {"depth 1", [](StageHarness& h) { h.ctx().bitdepth = 1; }},
      {"first pass", [](StageHarness& h) { h.job().pass = 0; }},
      {"final pass", [](StageHarness& h) { h.ctx().finalPass = true; }},
      {"keep palette", [](StageHarness& h) { h.job().keeppal = 1; }},
  };
  for (const Case& c : cases) {
    ReorderSetup s({5, 9, 7, 3});
    c.change(*s.h);
    EXPECT_FALSE(ReorderPalette(s.h->ctx())) << c.name;
    EXPECT_EQ(s.Lengths(0), (std::vector<int32_t>{5, 9, 7, 3})) << c.name;
    EXPECT_EQ(s.Palette()[1], Rgb(1, 1, 100)) << c.name;
  }
}

}  // namespace
