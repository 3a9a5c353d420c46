#include "common/VELKORPSUI/AnalyzeColors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/VELKORPSUI/OptionsRules.h"
#include "engine/EncodeJob.h"

namespace {

class FakeHost final : public AnalysisHost {
 public:
  bool AbortRequested() override { return ++m_polls > m_abortAfter; }
  bool HasResult() const override { return m_hasResult; }
  int16_t Result() const override { return m_result; }
  void SetResult(int16_t code) override { m_result = code; }
  bool HasErrorString() const override { return m_hasErrorString; }
  void SetErrorString(std::string_view text) override { m_errorString = text; }

  int m_abortAfter = 1 << 30;
  int m_polls = 0;
  bool m_hasResult = true;
  int16_t m_result = 0;
  bool m_hasErrorString = true;
  std::string m_errorString;
};

struct Image {
  int width, height;
  std::vector<uint32_t> pixels;
  EncodeJob Job() {
    EncodeJob job{};
    job.pixels = pixels.data();
    job.width = width;
    job.height = height;
    job.stride = width * 4;
    return job;
  }
};

// A 16 x 16 image: every pixel `fill`, with `special` at the given cells.
Image Filled(uint32_t fill, std::vector<std::pair<int, uint32_t>> special = {}) {
  Image image{16, 16, std::vector<uint32_t>(256, fill)};
  for (auto [cell, value] : special) image.pixels[cell] = value;
  for (int i = 0; i < 16; ++i) image.pixels[100 + i] = (fill & 0xFF000000u) | (i * 0x111111u);  // more greys
  return image;
}

}  // namespace

TEST(NeedsAlpha, Table) {
  struct Case { const char* name; std::vector<uint32_t> pixels; bool needs; };
  for (const Case& c : std::vector<Case>{
           {"opaque", {0xFF000000, 0xFFFFFFFF}, false},
           {"one transparent key", {0x00123456, 0xFF000000, 0x00123456}, false},
           {"key colour also opaque", {0x00123456, 0xFF123456}, true},
           {"two transparent colours", {0x00123456, 0x00000001}, true},
           {"key and partial alpha", {0x00123456, 0x80FFFFFF}, true},
           {"partial only", {0xFE000000, 0xFFFFFFFF}, true},
       }) {
    EXPECT_EQ(NeedsAlpha(c.pixels.data(), static_cast<int>(c.pixels.size()) * 4, static_cast<int>(c.pixels.size()), 1),
              c.needs)
        << c.name;
  }
}

TEST(NeedsAlpha, ReadsRowsThroughTheStride) {
  // Two rows of one pixel, 8 bytes apart; the word between them is padding.
  const std::vector<uint32_t> pixels = {0xFF000000, 0x00000000, 0xFF000000};
  EXPECT_FALSE(NeedsAlpha(pixels.data(), 8, 1, 2));
}

TEST(AnalyzeColors, GreyImagesAreOfferedAsGrey) {
  struct Case { const char* name; Image image; int colorType; };
  for (Case& c : std::vector<Case>{
           {"grey, one transparent grey", Filled(0xFF404040, {{5, 0x00202020}}), 0},
           {"grey, partial alpha", Filled(0xFF404040, {{5, 0x80202020}}), 4},
           {"opaque grey", Filled(0xFF404040), 0},
       }) {
    FakeHost host;
    EncodeJob job = c.image.Job();
    ASSERT_TRUE(AnalyzeColors(job, host)) << c.name;
    EXPECT_EQ(job.outcolortype, c.colorType) << c.name;
    EXPECT_GT(job.outbitdepth, 0) << c.name;
    EXPECT_EQ(host.m_result, 0);
    EXPECT_EQ(job.kbuf, nullptr);
  }
}

TEST(AnalyzeColors, ColourWithPartialAlphaLeavesOnlyRgbAlpha) {
  // More colours than a palette holds, half of them half transparent.
  Image image{32, 32, std::vector<uint32_t>(1024)};
  for (uint32_t i = 0; i < 1024; ++i) image.pixels[i] = (i % 2 ? 0x80000000u : 0xFF000000u) | (i * 0x010307u);
  FakeHost host;
  EncodeJob job = image.Job();
  ASSERT_TRUE(AnalyzeColors(job, host));
  EXPECT_EQ(job.outcolortype, 6);
  for (const AnalysisEnabling& e : EnablingForAnalysis(job.outcolortype, job.outbitdepth)) {
    if (e.id >= kIdColorTypeFirst && e.id <= kIdColorTypeLast) {
      EXPECT_EQ(e.enabling, Enabling::Disable) << e.id;
    }
  }
}

TEST(AnalyzeColors, AnAbortEndsWithUserCancelled) {
  FakeHost host;
  host.m_abortAfter = 0;
  Image image = Filled(0xFF404040);
  EncodeJob job = image.Job();
  EXPECT_FALSE(AnalyzeColors(job, host));
  EXPECT_EQ(host.m_result, kUserCanceledResult);
  EXPECT_EQ(host.m_errorString, "");
  EXPECT_EQ(job.outcolortype, 0);
}

TEST(AnalyzeColors, AFailedRunIsReportedOnceThroughTheHost) {
  struct Case { bool hasErrorString; int16_t before; int16_t after; const char* text; };
  for (const Case& c : std::vector<Case>{{true, 0, kErrorStringResult, kAnalysisFailedText},
                                         {false, 0, kCannotReadResult, ""},
                                         {true, -108, -108, ""}}) {
    FakeHost host;
    host.m_hasErrorString = c.hasErrorString;
    host.m_result = c.before;
    Image empty{0, 0, {}};
    EncodeJob job = empty.Job();
    EXPECT_FALSE(AnalyzeColors(job, host));
    EXPECT_EQ(host.m_result, c.after);
    EXPECT_EQ(host.m_errorString, c.text);
  }
}
