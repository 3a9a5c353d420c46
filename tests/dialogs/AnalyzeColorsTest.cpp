#include "common/VELKORPSUI/AnalyzeColors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/VELKORPSUI/OptionsRules.h"
#include "dialogs/DialogFixture.h"

using dialogtest::JobFor;
using dialogtest::TestAnalysisHost;

namespace {

// A 16 x 16 image: every pixel `fill`, with `special` at the given cells.
std::vector<uint32_t> Filled(uint32_t fill, std::vector<std::pair<int, uint32_t>> special = {}) {
  std::vector<uint32_t> pixels(256, fill);
  for (auto [cell, value] : special) pixels[cell] = value;
  for (int i = 0; i < 16; ++i) pixels[100 + i] = (fill & 0xFF000000u) | (i * 0x111111u);  // more greys
  return pixels;
}

}  // namespace

TEST(NeedsAlpha, Table) {
  struct Case { const char* name; std::vector<uint32_t> pixels; bool needs; int stride = 0, height = 1; };
  for (const Case& c : std::vector<Case>{
           {"opaque", {0xFF000000, 0xFFFFFFFF}, false},
           {"one transparent key", {0x00123456, 0xFF000000, 0x00123456}, false},
           {"key colour also opaque", {0x00123456, 0xFF123456}, true},
           {"two transparent colours", {0x00123456, 0x00000001}, true},
           {"key and partial alpha", {0x00123456, 0x80FFFFFF}, true},
           {"partial only", {0xFE000000, 0xFFFFFFFF}, true},
           // Two rows of one pixel, 8 bytes apart; the word between them is padding.
           {"rows through the stride", {0xFF000000, 0x00000000, 0xFF000000}, false, 8, 2},
       }) {
    const int width = c.stride ? 1 : static_cast<int>(c.pixels.size());
    EXPECT_EQ(NeedsAlpha(c.pixels.data(), c.stride ? c.stride : width * 4, width, c.height), c.needs) << c.name;
  }
}

// Colour images are the Advanced dialog's tests.
TEST(AnalyzeColors, GreyImagesAreOfferedAsGrey) {
  struct Case { const char* name; std::vector<uint32_t> pixels; int colorType; };
  for (Case& c : std::vector<Case>{
           {"grey, one transparent grey", Filled(0xFF404040, {{5, 0x00202020}}), 0},
           {"grey, partial alpha", Filled(0xFF404040, {{5, 0x80202020}}), 4},
           {"opaque grey", Filled(0xFF404040), 0},
       }) {
    TestAnalysisHost host;
    EncodeJob job = JobFor(c.pixels, 16, 16);
    ASSERT_TRUE(AnalyzeColors(job, host)) << c.name;
    EXPECT_EQ(job.outcolortype, c.colorType) << c.name;
    EXPECT_GT(job.outbitdepth, 0) << c.name;
    EXPECT_EQ(host.result, 0);
    EXPECT_EQ(job.kbuf, nullptr);
  }
}

TEST(AnalyzeColors, AnAbortEndsWithUserCancelled) {
  TestAnalysisHost host;
  host.abort = true;
  std::vector<uint32_t> pixels = Filled(0xFF404040);
  EncodeJob job = JobFor(pixels, 16, 16);
  EXPECT_FALSE(AnalyzeColors(job, host));
  EXPECT_EQ(host.result, kUserCanceledResult);
  EXPECT_EQ(host.errorString, "");
  EXPECT_EQ(job.outcolortype, 0);
}

TEST(AnalyzeColors, AFailedRunIsReportedOnceThroughTheHost) {
  struct Case { bool hasErrorString; int16_t before; int16_t after; const char* text; };
  for (const Case& c : std::vector<Case>{{true, 0, kErrorStringResult, kAnalysisFailedText},
                                         {false, 0, kCannotReadResult, ""},
                                         {true, -108, -108, ""}}) {
    TestAnalysisHost host;
    host.hasErrorString = c.hasErrorString;
    host.result = c.before;
    std::vector<uint32_t> none;
    EncodeJob job = JobFor(none, 0, 0);
    EXPECT_FALSE(AnalyzeColors(job, host));
    EXPECT_EQ(host.result, c.after);
    EXPECT_EQ(host.errorString, c.text);
  }
}
