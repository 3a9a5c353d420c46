// JPEG decoding against libjpeg-turbo: libjpeg writes the files (baseline and progressive, every chroma
// subsampling, grey, restart intervals, RGB, Adobe CMYK and YCCK) and decodes them through Pillow; our
// pixels stay within 2 of its pixels in every channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "FormatTestSupport.h"
#include "support/LibjpegWriter.h"

using namespace formats_test;

namespace {

Rendered Render(const Bytes& file, int width, int height) { return formats_test::Render(RenderJpeg, file, width, height); }

// Gradients, a checker of hard edges and fixed-seed noise, so that every
// coefficient band and the chroma filter have something to do.
Bytes TestPicture(int width, int height) {
  Bytes rgb;
  uint32_t seed = 12345;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = static_cast<int>((seed >> 16) % 41) - 20;
      rgb.insert(rgb.end(), {uint8_t(std::clamp(x * 255 / std::max(1, width - 1) + noise, 0, 255)),
                             uint8_t(std::clamp(y * 255 / std::max(1, height - 1) - noise, 0, 255)), uint8_t((x / 6 + y / 5) % 2 ? 240 : 20)});
    }
  return rgb;
}

Bytes Write(int w, int h, const oracle::JpegWriteOptions& options) { return oracle::WriteJpegWithLibjpeg(TestPicture(w, h), w, h, options); }

// libjpeg's own decode (through Pillow), 3 bytes a pixel.
Bytes DecodeWithPillow(const Bytes& jpeg) {
  oracle::TempDir dir;
  oracle::WriteFile(dir.path() / "in.jpg", jpeg);
  const std::string script = "import os\nfrom PIL import Image\nos.chdir(r'" + dir.path().string() +
                             "')\nopen('out.rgb', 'wb').write(Image.open('in.jpg').convert('RGB').tobytes())\n";
  return oracle::RunPython(script) == 0 ? oracle::ReadFile(dir.path() / "out.rgb") : Bytes{};
}

// Position of the first marker `code` at or after `from`, or npos.
size_t FindMarker(const Bytes& jpeg, uint8_t code, size_t from = 0) {
  for (size_t i = from; i + 1 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return i;
  return std::string::npos;
}

struct Case { const char* name; int width, height; oracle::JpegWriteOptions options; };
// Fields in order: quality, components, rgbColourSpace, ycck, h, v, progressive, restartInterval, optimizeHuffman.
const Case kCases[] = {
    {"baseline444", 67, 45, {}}, {"baseline422", 67, 45, {.h = {2, 1, 1, 1}}}, {"baseline420", 67, 45, {.h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}}},
    {"baseline420Coarse", 80, 64, {.quality = 8, .h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}}}, {"progressive444", 67, 45, {.quality = 85, .progressive = true}},
    {"progressive420", 129, 71, {.quality = 75, .h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}, .progressive = true}},
    {"optimizedHuffman", 50, 50, {.quality = 80, .optimizeHuffman = true}}, {"grey", 61, 39, {.components = 1}},
    {"onePixel", 1, 1, {.h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}}}, {"narrow420", 2, 9, {.h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}}},
    {"wide422", 300, 3, {.quality = 70, .h = {2, 1, 1, 1}}}, {"restartEveryMcu420", 70, 50, {.h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}, .restartInterval = 1}},
    {"restartProgressive420", 70, 50, {.h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}, .progressive = true, .restartInterval = 2}},
    {"restartGreyProgressive", 45, 40, {.components = 1, .progressive = true, .restartInterval = 4}}, {"sampling440", 53, 37, {.v = {2, 1, 1, 1}}},
    {"sampling310", 53, 37, {.h = {3, 1, 1, 1}}}, {"sampling42", 53, 37, {.h = {4, 1, 1, 1}, .v = {2, 1, 1, 1}}},
    {"chromaAboveLuma", 53, 37, {.h = {1, 2, 2, 1}, .v = {1, 2, 2, 1}}}, {"rgbColourSpace", 40, 24, {.rgbColourSpace = true}},
    {"adobeCmyk", 40, 24, {.components = 4, .h = {2, 1, 1, 2}, .v = {2, 1, 1, 2}}},
    {"adobeYcck", 40, 24, {.components = 4, .ycck = true, .h = {2, 1, 1, 2}, .v = {2, 1, 1, 2}}},
};

class LibjpegFile : public ::testing::TestWithParam<Case> {};

TEST_P(LibjpegFile, MatchesLibjpegWithinTwo) {
  const Case& c = GetParam();
  if (!oracle::LibjpegAvailable()) GTEST_SKIP() << "libjpeg.so.62 not installed";
  const Bytes jpeg = Write(c.width, c.height, c.options);
  ASSERT_TRUE(c.options.restartInterval == 0 || FindMarker(jpeg, 0xD1) != std::string::npos) << "no second interval";
  const Bytes rgb = DecodeWithPillow(jpeg);
  ASSERT_EQ(rgb.size(), static_cast<size_t>(c.width) * c.height * 3);
  const Rendered d = Render(jpeg, c.width, c.height);
  ASSERT_EQ(d.result, 0);
  int largest = 0;
  for (size_t i = 0; i < d.frame.pixels.size(); ++i) {
    ASSERT_EQ(d.frame.pixels[i] >> 24, 0xFFu) << "pixel " << i;
    for (int k = 0; k < 3; ++k)
      largest = std::max(largest, std::abs(static_cast<int>((d.frame.pixels[i] >> (16 - 8 * k)) & 0xFF) - rgb[3 * i + k]));
  }
  RecordProperty("largest_difference", largest);
  EXPECT_LE(largest, 2) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Files, LibjpegFile, ::testing::ValuesIn(kCases), [](const auto& info) { return std::string(info.param.name); });

// One baseline 4:2:0 file and one progressive file shared by the cases below.
class JpegBehaviour : public ::testing::Test {
 protected:
  static constexpr int kWidth = 67, kHeight = 45;
  void SetUp() override {
    if (!oracle::LibjpegAvailable()) GTEST_SKIP() << "libjpeg.so.62 not installed";
    baseline = Write(kWidth, kHeight, {.h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}});
    progressive = Write(kWidth, kHeight, {.h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}, .progressive = true});
  }
  Bytes baseline, progressive;
};

TEST_F(JpegBehaviour, PlacesThePictureAndClipsItToTheFrame) {
  const oracle::Image whole = Render(baseline, kWidth, kHeight).frame;
  ExpectMatchesReference(RenderJpeg, {"baseline", baseline, whole});
  // A missing end marker still draws the whole picture.
  EXPECT_TRUE(Render(Cut(baseline, baseline.size() - 2), kWidth, kHeight).frame == whole);
}

// Data ending inside a scan is refused; progressive data ending between
// scans (here after DC and the first AC bands) draws the coarser picture.
TEST_F(JpegBehaviour, CutFiles) {
  const size_t sos = FindMarker(baseline, 0xDA);
  ASSERT_NE(sos, std::string::npos);
  const size_t dataStart = sos + 2 + ((baseline[sos + 2] << 8) | baseline[sos + 3]);
  for (size_t end : {dataStart, dataStart + 1, dataStart + 100, (dataStart + baseline.size()) / 2, baseline.size() - 3})
    EXPECT_EQ(Render(Cut(baseline, end), kWidth, kHeight).result, -1) << "cut at " << end;
  size_t at = FindMarker(progressive, 0xDA);
  for (int scan = 0; scan < 3 && at != std::string::npos; ++scan) at = FindMarker(progressive, 0xDA, at + 2);
  ASSERT_NE(at, std::string::npos);
  const Rendered whole = Render(progressive, kWidth, kHeight), coarse = Render(Cut(progressive, at), kWidth, kHeight);
  ASSERT_EQ(coarse.result, 0);
  double total = 0;
  for (size_t i = 0; i < whole.frame.pixels.size(); ++i)
    for (int shift = 0; shift < 24; shift += 8)
      total += std::abs(static_cast<int>((whole.frame.pixels[i] >> shift) & 0xFF) - static_cast<int>((coarse.frame.pixels[i] >> shift) & 0xFF));
  EXPECT_GT(total, 0.0);                                // some detail is still missing
  EXPECT_LT(total / (whole.frame.pixels.size() * 3.0), 40.0);  // but it is the same picture
}

Field Be16(size_t at, uint32_t v) { return {at, 2, (v & 0xFF) << 8 | (v >> 8 & 0xFF)}; }

// Edits of a valid file's headers that must be refused without drawing.
TEST_F(JpegBehaviour, RefusesBrokenHeadersWithoutDrawing) {
  const size_t sof = FindMarker(baseline, 0xC0), sos = FindMarker(baseline, 0xDA);
  const size_t dqt = FindMarker(baseline, 0xDB), dht = FindMarker(baseline, 0xC4);
  ASSERT_NE(sof, std::string::npos);
  auto edit = [&](const char* name, std::initializer_list<Field> f) { return ValueCase{name, Edit(baseline, f), kWidth, kHeight}; };
  ExpectRenders(RenderJpeg, {
      edit("not start of image", {{1, 1, 0xD9}}), edit("lossless frame", {{sof + 1, 1, 0xC3}}),
      edit("arithmetic frame", {{sof + 1, 1, 0xC9}}), edit("12-bit samples", {{sof + 4, 1, 12}}),
      edit("height from DNL", {Be16(sof + 5, 0)}), edit("zero width", {Be16(sof + 7, 0)}),
      edit("too many pixels", {Be16(sof + 5, 65535), Be16(sof + 7, 65535)}),
      edit("more blocks than data could code", {Be16(sof + 5, 16000), Be16(sof + 7, 16000)}),
      edit("sampling factor 0", {{sof + 11, 1, 0x20}}), edit("sampling factor 5", {{sof + 11, 1, 0x52}}),
      edit("quant slot 4", {{sof + 12, 1, 4}}), edit("undefined quant table", {{sof + 12, 1, 3}}),
      edit("undefined Huffman table", {{sos + 6, 1, 0x33}}), edit("scan names an unknown component", {{sos + 5, 1, 9}}),
      edit("scan before frame", {{sof + 1, 1, 0xFE}}),  // the frame becomes a comment
      edit("segment length past the end", {Be16(dqt + 2, 65535)}), edit("oversubscribed Huffman counts", {{dht + 5, 1, 3}}),
  });
  // A restart marker out of sequence.
  Bytes restarts = Write(40, 40, {.restartInterval = 2});
  const size_t rst = FindMarker(restarts, 0xD1);
  ASSERT_EQ(Render(restarts, 40, 40).result, 0);
  EXPECT_EQ(Render(Edit(restarts, {{rst + 1, 1, 0xD3}}), 40, 40).result, -1);
}

}  // namespace
