// JPEG decoding checked against libjpeg-turbo: libjpeg writes the test files
// (baseline and progressive, every chroma subsampling, grey, restart
// intervals, RGB, Adobe CMYK and YCCK) and decodes them through Pillow, and
// our pixels must stay within 2 of its pixels in every channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "decode/DecodeFrame.h"
#include "support/LibjpegWriter.h"
#include "support/Oracles.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kUntouched = 0x12345678u;

struct Decoded {
  int status = -1;
  std::vector<uint32_t> pixels;
};

Decoded Render(const Bytes& file, int width, int height, int x = 0, int y = 0) {
  Decoded d{-1, std::vector<uint32_t>(static_cast<size_t>(width) * height, kUntouched)};
  d.status = RenderJpeg(file.data(), file.size(), DecodeFrame{d.pixels.data(), width * 4, width, height, x, y});
  return d;
}

// Gradients, a checker of hard edges and fixed-seed noise, so that every
// coefficient band and the chroma filter have something to do.
Bytes TestPicture(int width, int height) {
  Bytes rgb(static_cast<size_t>(width) * height * 3);
  uint32_t seed = 12345;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = static_cast<int>((seed >> 16) % 41) - 20;
      uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = static_cast<uint8_t>(std::clamp(x * 255 / std::max(1, width - 1) + noise, 0, 255));
      p[1] = static_cast<uint8_t>(std::clamp(y * 255 / std::max(1, height - 1) - noise, 0, 255));
      p[2] = ((x / 6) + (y / 5)) % 2 ? 240 : 20;
    }
  return rgb;
}

Bytes Write(int width, int height, const oracle::JpegWriteOptions& options) {
  return oracle::WriteJpegWithLibjpeg(TestPicture(width, height), width, height, options);
}

// libjpeg's own decode (through Pillow), 3 bytes a pixel.
Bytes DecodeWithPillow(const Bytes& jpeg) {
  oracle::TempDir dir;
  oracle::WriteFile(dir.path() / "in.jpg", jpeg);
  const std::string script = "from PIL import Image\nopen(r'" + (dir.path() / "out.rgb").string() +
                             "', 'wb').write(Image.open(r'" + (dir.path() / "in.jpg").string() +
                             "').convert('RGB').tobytes())\n";
  return oracle::RunPython(script) == 0 ? oracle::ReadFile(dir.path() / "out.rgb") : Bytes{};
}

// Position of the first marker `code` at or after `from`, or npos.
size_t FindMarker(const Bytes& jpeg, uint8_t code, size_t from = 0) {
  for (size_t i = from; i + 1 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return i;
  return std::string::npos;
}

struct Case {
  const char* name;
  int width, height;
  oracle::JpegWriteOptions options;
};

// Fields in order: quality, components, rgbColourSpace, ycck, h, v, progressive, restartInterval, optimizeHuffman.
const Case kCases[] = {
    {"baseline444", 67, 45, {}},
    {"baseline422", 67, 45, {.h = {2, 1, 1, 1}}},
    {"baseline420", 67, 45, {.h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}}},
    {"baseline420Coarse", 80, 64, {.quality = 8, .h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}}},
    {"baseline420Fine", 33, 17, {.quality = 100, .h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}}},
    {"progressive444", 67, 45, {.quality = 85, .progressive = true}},
    {"progressive422", 67, 45, {.quality = 85, .h = {2, 1, 1, 1}, .progressive = true}},
    {"progressive420", 129, 71, {.quality = 75, .h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}, .progressive = true}},
    {"optimizedHuffman", 50, 50, {.quality = 80, .optimizeHuffman = true}},
    {"grey", 61, 39, {.components = 1}},
    {"greyProgressive", 61, 39, {.components = 1, .progressive = true}},
    {"onePixel", 1, 1, {.h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}}},
    {"narrow420", 2, 9, {.h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}}},
    {"wide422", 300, 3, {.quality = 70, .h = {2, 1, 1, 1}}},
    {"restartEveryMcu420", 70, 50, {.h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}, .restartInterval = 1}},
    {"restartEvery3Mcus444", 70, 50, {.restartInterval = 3}},
    {"restartProgressive420", 70, 50, {.h = {2, 1, 1, 1}, .v = {2, 1, 1, 1}, .progressive = true, .restartInterval = 2}},
    {"restartGrey", 45, 40, {.components = 1, .restartInterval = 5}},
    {"restartGreyProgressive", 45, 40, {.components = 1, .progressive = true, .restartInterval = 4}},
    {"sampling440", 53, 37, {.v = {2, 1, 1, 1}}},
    {"sampling411", 53, 37, {.h = {4, 1, 1, 1}}},
    {"sampling310", 53, 37, {.h = {3, 1, 1, 1}}},
    {"sampling42", 53, 37, {.h = {4, 1, 1, 1}, .v = {2, 1, 1, 1}}},
    {"sampling41Progressive", 53, 37, {.h = {4, 1, 1, 1}, .progressive = true}},
    {"chromaAboveLuma", 53, 37, {.h = {1, 2, 2, 1}, .v = {1, 2, 2, 1}}},
    {"rgbColourSpace", 40, 24, {.rgbColourSpace = true}},
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
  const Decoded d = Render(jpeg, c.width, c.height);
  ASSERT_EQ(d.status, 0);
  int largest = 0;
  for (size_t i = 0; i < d.pixels.size(); ++i) {
    ASSERT_EQ(d.pixels[i] >> 24, 0xFFu) << "pixel " << i;
    for (int k = 0; k < 3; ++k)
      largest = std::max(largest, std::abs(static_cast<int>((d.pixels[i] >> (16 - 8 * k)) & 0xFF) - rgb[3 * i + k]));
  }
  RecordProperty("largest_difference", largest);
  std::printf("[ %s ] largest difference from libjpeg: %d\n", c.name, largest);
  EXPECT_LE(largest, 2);
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
    ASSERT_EQ(Render(baseline, kWidth, kHeight).status, 0);
  }
  Bytes baseline, progressive;
};

TEST_F(JpegBehaviour, PlacesThePictureAndClipsItToTheFrame) {
  const Decoded whole = Render(baseline, kWidth, kHeight);
  for (const auto [width, height, x, y] : {std::array{80, 60, 5, 9}, {30, 20, -10, -7}, {40, 50, 50, 10}}) {
    const Decoded placed = Render(baseline, width, height, x, y);
    ASSERT_EQ(placed.status, 0);
    for (int fy = 0; fy < height; ++fy)
      for (int fx = 0; fx < width; ++fx) {
        const int col = fx - x, row = fy - y;
        const bool covered = col >= 0 && row >= 0 && col < kWidth && row < kHeight;
        ASSERT_EQ(placed.pixels[fy * width + fx], covered ? whole.pixels[row * kWidth + col] : kUntouched) << fx << "," << fy;
      }
  }
  // A missing end marker still draws the whole picture.
  EXPECT_EQ(Render(Bytes(baseline.begin(), baseline.end() - 2), kWidth, kHeight).pixels, whole.pixels);
}

TEST_F(JpegBehaviour, DataEndingInsideAScanIsRejected) {
  const size_t sos = FindMarker(baseline, 0xDA);
  ASSERT_NE(sos, std::string::npos);
  const size_t dataStart = sos + 2 + ((baseline[sos + 2] << 8) | baseline[sos + 3]);
  for (size_t end : {dataStart, dataStart + 1, dataStart + 100, (dataStart + baseline.size()) / 2, baseline.size() - 3})
    EXPECT_EQ(Render(Bytes(baseline.begin(), baseline.begin() + end), kWidth, kHeight).status, -1) << "cut at " << end;
  // Random damage anywhere: the answer is 0 or -1 (the sanitizer build checks the reads).
  uint32_t seed = 2024;
  auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
  for (const Bytes* file : {&baseline, &progressive})
    for (int round = 0; round < 300; ++round) {
      Bytes damaged = *file;
      for (uint32_t e = 0, edits = 1 + next() % 4; e < edits; ++e) damaged[next() % damaged.size()] = static_cast<uint8_t>(next());
      if (round % 3 == 0) damaged.resize(next() % damaged.size());
      const int status = Render(damaged, kWidth, kHeight).status;
      EXPECT_TRUE(status == 0 || status == -1);
    }
}

TEST_F(JpegBehaviour, ProgressiveDataEndingBetweenScansDrawsTheCoarserPicture) {
  const Decoded whole = Render(progressive, kWidth, kHeight);
  // Keep the first three scans: DC and the first AC bands, no refinements.
  size_t at = FindMarker(progressive, 0xDA);
  for (int scan = 0; scan < 3 && at != std::string::npos; ++scan) at = FindMarker(progressive, 0xDA, at + 2);
  ASSERT_NE(at, std::string::npos);
  const Decoded coarse = Render(Bytes(progressive.begin(), progressive.begin() + at), kWidth, kHeight);
  ASSERT_EQ(coarse.status, 0);
  long long total = 0;
  for (size_t i = 0; i < whole.pixels.size(); ++i)
    for (int shift = 0; shift < 24; shift += 8)
      total += std::abs(static_cast<int>((whole.pixels[i] >> shift) & 0xFF) - static_cast<int>((coarse.pixels[i] >> shift) & 0xFF));
  const double mean = static_cast<double>(total) / (whole.pixels.size() * 3.0);
  EXPECT_GT(mean, 0.0);   // some detail is still missing
  EXPECT_LT(mean, 40.0);  // but it is the same picture
}

void SetBe16(Bytes& f, size_t at, int v) {
  f[at] = static_cast<uint8_t>(v >> 8);
  f[at + 1] = static_cast<uint8_t>(v);
}

// Edits of a valid file's headers that must be refused without drawing.
TEST_F(JpegBehaviour, RefusesBrokenHeadersWithoutDrawing) {
  const size_t sof = FindMarker(baseline, 0xC0), sos = FindMarker(baseline, 0xDA);
  const size_t dqt = FindMarker(baseline, 0xDB), dht = FindMarker(baseline, 0xC4);
  ASSERT_NE(sof, std::string::npos);
  const struct {
    const char* name;
    size_t at;
    int bytes;  // 1 or 2 (big-endian); 3: two 2-byte values, height then width
    int value;
  } edits[] = {
      {"not start of image", 1, 1, 0xD9},      {"lossless frame", sof + 1, 1, 0xC3},
      {"arithmetic frame", sof + 1, 1, 0xC9},  {"12-bit samples", sof + 4, 1, 12},
      {"height from DNL", sof + 5, 2, 0},      {"zero width", sof + 7, 2, 0},
      {"too many pixels", sof + 5, 3, 65535},  {"more blocks than data could code", sof + 5, 3, 16000},
      {"sampling factor 0", sof + 11, 1, 0x20}, {"sampling factor 5", sof + 11, 1, 0x52},
      {"quant slot 4", sof + 12, 1, 4},        {"undefined quant table", sof + 12, 1, 3},
      {"undefined Huffman table", sos + 6, 1, 0x33}, {"scan names an unknown component", sos + 5, 1, 9},
      {"scan before frame", sof + 1, 1, 0xFE},  // the frame becomes a comment
      {"segment length past the end", dqt + 2, 2, 65535},
      {"oversubscribed Huffman counts", dht + 5, 1, 3},
  };
  for (const auto& e : edits) {
    SCOPED_TRACE(e.name);
    Bytes file = baseline;
    if (e.bytes == 1) file[e.at] = static_cast<uint8_t>(e.value);
    if (e.bytes >= 2) SetBe16(file, e.at, e.value);
    if (e.bytes == 3) SetBe16(file, e.at + 2, e.value);
    const Decoded d = Render(file, kWidth, kHeight);
    EXPECT_EQ(d.status, -1);
    EXPECT_EQ(d.pixels, std::vector<uint32_t>(d.pixels.size(), kUntouched));
  }
  // A restart marker out of sequence.
  Bytes restarts = Write(40, 40, {.restartInterval = 2});
  ASSERT_EQ(Render(restarts, 40, 40).status, 0);
  const size_t rst = FindMarker(restarts, 0xD1);
  ASSERT_NE(rst, std::string::npos);
  restarts[rst + 1] = 0xD3;
  EXPECT_EQ(Render(restarts, 40, 40).status, -1);
}

}  // namespace
