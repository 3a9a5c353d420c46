// JPEG decoding checked against libjpeg-turbo: Pillow writes the test files
// (baseline, progressive, each chroma subsampling, grey) and decodes them,
// and our pixels must stay within 2 of its pixels in every channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "decode/DecodeFrame.h"
#include "support/LibjpegWriter.h"
#include "support/Oracles.h"

namespace {

struct Decoded {
  int status = -1;
  std::vector<uint32_t> pixels;
};

Decoded Render(const std::vector<uint8_t>& file, int width, int height) {
  Decoded d;
  d.pixels.assign(static_cast<size_t>(width) * height, 0x12345678u);
  const DecodeFrame frame{d.pixels.data(), width * 4, width, height, 0, 0};
  d.status = RenderJpeg(file.data(), file.size(), frame);
  return d;
}

// A picture with smooth gradients, hard edges and noise, so that every
// coefficient band and the chroma filter have something to do.
const char* kPictureScript = R"(
import random
from PIL import Image
def picture(w, h, seed):
    rnd = random.Random(seed)
    img = Image.new('RGB', (w, h))
    px = img.load()
    for y in range(h):
        for x in range(w):
            r = (x * 255) // max(1, w - 1)
            g = (y * 255) // max(1, h - 1)
            b = 255 if ((x // 5) + (y // 7)) % 2 else 30
            n = rnd.randint(-20, 20)
            px[x, y] = (max(0, min(255, r + n)), max(0, min(255, g - n)), b)
    return img
)";

struct ReferenceFile {
  std::vector<uint8_t> jpeg;
  std::vector<uint8_t> rgb;  // libjpeg's decode, 3 bytes a pixel
};

// Runs `save` (Python statements that write `path`) after building `img`,
// then has Pillow decode the file to raw RGB.
ReferenceFile MakeReference(const std::string& save, int width, int height) {
  oracle::TempDir dir;
  const std::string jpegPath = (dir.path() / "t.jpg").string();
  const std::string rgbPath = (dir.path() / "t.rgb").string();
  const std::string script = std::string(kPictureScript) + "img = picture(" + std::to_string(width) + ", " +
                             std::to_string(height) + ", 7)\npath = '" + jpegPath + "'\n" + save +
                             "\nopen('" + rgbPath + "', 'wb').write(Image.open(path).convert('RGB').tobytes())\n";
  ReferenceFile ref;
  if (oracle::RunPython(script) != 0) return ref;
  ref.jpeg = oracle::ReadFile(jpegPath);
  ref.rgb = oracle::ReadFile(rgbPath);
  return ref;
}

// The largest channel difference between our decode and libjpeg's.
int LargestDifference(const std::vector<uint32_t>& ours, const std::vector<uint8_t>& rgb) {
  int largest = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    EXPECT_EQ(ours[i] >> 24, 0xFFu) << "pixel " << i;
    for (int c = 0; c < 3; ++c) {
      const int mine = static_cast<int>((ours[i] >> (16 - 8 * c)) & 0xFF);
      largest = std::max(largest, std::abs(mine - rgb[3 * i + c]));
    }
  }
  return largest;
}

struct PillowCase {
  const char* name;
  int width;
  int height;
  const char* save;  // Python that writes img (or a variant of it) to path
};

const PillowCase kPillowCases[] = {
    {"baseline444", 67, 45, "img.save(path, 'JPEG', quality=90, subsampling=0)"},
    {"baseline422", 67, 45, "img.save(path, 'JPEG', quality=90, subsampling=1)"},
    {"baseline420", 67, 45, "img.save(path, 'JPEG', quality=90, subsampling=2)"},
    {"baseline420Coarse", 80, 64, "img.save(path, 'JPEG', quality=8, subsampling=2)"},
    {"baseline420Fine", 33, 17, "img.save(path, 'JPEG', quality=100, subsampling=2)"},
    {"progressive444", 67, 45, "img.save(path, 'JPEG', quality=85, subsampling=0, progressive=True)"},
    {"progressive422", 67, 45, "img.save(path, 'JPEG', quality=85, subsampling=1, progressive=True)"},
    {"progressive420", 129, 71, "img.save(path, 'JPEG', quality=75, subsampling=2, progressive=True)"},
    {"optimizedHuffman", 50, 50, "img.save(path, 'JPEG', quality=80, optimize=True)"},
    {"grey", 61, 39, "img.convert('L').save(path, 'JPEG', quality=90)"},
    {"greyProgressive", 61, 39, "img.convert('L').save(path, 'JPEG', quality=90, progressive=True)"},
    {"onePixel", 1, 1, "img.save(path, 'JPEG', quality=90, subsampling=2)"},
    {"narrow420", 2, 9, "img.save(path, 'JPEG', quality=90, subsampling=2)"},
    {"wide422", 300, 3, "img.save(path, 'JPEG', quality=70, subsampling=1)"},
    {"cmykAdobe", 40, 30, "img.convert('CMYK').save(path, 'JPEG', quality=95)"},
};

class PillowJpeg : public ::testing::TestWithParam<PillowCase> {};

TEST_P(PillowJpeg, MatchesLibjpegWithinTwo) {
  const PillowCase& c = GetParam();
  const ReferenceFile ref = MakeReference(c.save, c.width, c.height);
  ASSERT_FALSE(ref.jpeg.empty());
  ASSERT_EQ(ref.rgb.size(), static_cast<size_t>(c.width) * c.height * 3);
  const Decoded d = Render(ref.jpeg, c.width, c.height);
  ASSERT_EQ(d.status, 0);
  const int largest = LargestDifference(d.pixels, ref.rgb);
  RecordProperty("largest_difference", largest);
  std::printf("[ %s ] largest difference from libjpeg: %d\n", c.name, largest);
  EXPECT_LE(largest, 2);
}

INSTANTIATE_TEST_SUITE_P(Files, PillowJpeg, ::testing::ValuesIn(kPillowCases),
                         [](const auto& info) { return std::string(info.param.name); });

// libjpeg's own decode (through Pillow) of a file made elsewhere.
std::vector<uint8_t> DecodeWithPillow(const std::vector<uint8_t>& jpeg) {
  oracle::TempDir dir;
  const auto jpegPath = dir.path() / "in.jpg";
  const auto rgbPath = dir.path() / "out.rgb";
  oracle::WriteFile(jpegPath, jpeg);
  const std::string script = "from PIL import Image\nopen('" + rgbPath.string() + "', 'wb').write(Image.open('" +
                             jpegPath.string() + "').convert('RGB').tobytes())\n";
  if (oracle::RunPython(script) != 0) return {};
  return oracle::ReadFile(rgbPath);
}

// The same kind of picture as the Pillow cases, made here: gradients,
// a checker of hard edges, and noise from a fixed-seed generator.
std::vector<uint8_t> TestPicture(int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = static_cast<int>((seed >> 16) % 41) - 20;
      uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = static_cast<uint8_t>(std::clamp(x * 255 / std::max(1, width - 1) + noise, 0, 255));
      p[1] = static_cast<uint8_t>(std::clamp(y * 255 / std::max(1, height - 1) - noise, 0, 255));
      p[2] = ((x / 6) + (y / 5)) % 2 ? 240 : 20;
    }
  }
  return rgb;
}

bool HasMarker(const std::vector<uint8_t>& jpeg, uint8_t marker) {
  for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) return true;
  }
  return false;
}

struct LibjpegCase {
  const char* name;
  int width;
  int height;
  oracle::JpegWriteOptions options;
};

oracle::JpegWriteOptions Sampled(int yh, int yv, int ch, int cv) {
  oracle::JpegWriteOptions o;
  o.h[0] = yh;
  o.v[0] = yv;
  o.h[1] = o.h[2] = ch;
  o.v[1] = o.v[2] = cv;
  return o;
}
oracle::JpegWriteOptions WithRestart(oracle::JpegWriteOptions o, unsigned interval, bool progressive = false) {
  o.restartInterval = interval;
  o.progressive = progressive;
  return o;
}
oracle::JpegWriteOptions Grey(oracle::JpegWriteOptions o) {
  o.components = 1;
  return o;
}
oracle::JpegWriteOptions RgbSpace(oracle::JpegWriteOptions o) {
  o.rgbColourSpace = true;
  return o;
}
oracle::JpegWriteOptions Cmyk(bool ycck) {
  oracle::JpegWriteOptions o;
  o.components = 4;
  o.ycck = ycck;
  o.h[0] = o.v[0] = o.h[3] = o.v[3] = 2;  // chroma at half rate, black at full
  return o;
}

const LibjpegCase kLibjpegCases[] = {
    {"restartEveryMcu420", 70, 50, WithRestart(Sampled(2, 2, 1, 1), 1)},
    {"restartEvery3Mcus444", 70, 50, WithRestart(Sampled(1, 1, 1, 1), 3)},
    {"restartProgressive420", 70, 50, WithRestart(Sampled(2, 2, 1, 1), 2, true)},
    {"restartGrey", 45, 40, WithRestart(Grey(Sampled(1, 1, 1, 1)), 5)},
    {"restartGreyProgressive", 45, 40, WithRestart(Grey(Sampled(1, 1, 1, 1)), 4, true)},
    {"sampling440", 53, 37, Sampled(1, 2, 1, 1)},
    {"sampling411", 53, 37, Sampled(4, 1, 1, 1)},
    {"sampling310", 53, 37, Sampled(3, 1, 1, 1)},
    {"sampling42", 53, 37, Sampled(4, 2, 1, 1)},
    {"sampling41Progressive", 53, 37, WithRestart(Sampled(4, 1, 1, 1), 0, true)},
    {"chromaAboveLuma", 53, 37, Sampled(1, 1, 2, 2)},
    {"rgbColourSpace", 40, 24, RgbSpace(Sampled(1, 1, 1, 1))},
    {"adobeCmyk", 40, 24, Cmyk(false)},
    {"adobeYcck", 40, 24, Cmyk(true)},
};

class LibjpegFile : public ::testing::TestWithParam<LibjpegCase> {};

TEST_P(LibjpegFile, MatchesLibjpegWithinTwo) {
  const LibjpegCase& c = GetParam();
  if (!oracle::LibjpegAvailable()) GTEST_SKIP() << "libjpeg.so.62 not installed";
  const std::vector<uint8_t> jpeg = oracle::WriteJpegWithLibjpeg(TestPicture(c.width, c.height), c.width, c.height, c.options);
  ASSERT_FALSE(jpeg.empty());
  if (c.options.restartInterval != 0) {
    ASSERT_TRUE(HasMarker(jpeg, 0xDD)) << "no DRI segment";
    ASSERT_TRUE(HasMarker(jpeg, 0xD1)) << "no second restart interval";
  }
  const std::vector<uint8_t> rgb = DecodeWithPillow(jpeg);
  ASSERT_EQ(rgb.size(), static_cast<size_t>(c.width) * c.height * 3);
  const Decoded d = Render(jpeg, c.width, c.height);
  ASSERT_EQ(d.status, 0);
  const int largest = LargestDifference(d.pixels, rgb);
  RecordProperty("largest_difference", largest);
  std::printf("[ %s ] largest difference from libjpeg: %d\n", c.name, largest);
  EXPECT_LE(largest, 2);
}

INSTANTIATE_TEST_SUITE_P(Files, LibjpegFile, ::testing::ValuesIn(kLibjpegCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// Position of the first marker `code` in a file written by a well-behaved
// encoder (0xFF followed by the code), or npos.
size_t FindMarker(const std::vector<uint8_t>& jpeg, uint8_t code, size_t from = 0) {
  for (size_t i = from; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return i;
  }
  return std::string::npos;
}

// One baseline 4:2:0 and one progressive file shared by the cases below.
class JpegBehaviour : public ::testing::Test {
 protected:
  static constexpr int kWidth = 67;
  static constexpr int kHeight = 45;
  static void SetUpTestSuite() {
    s_baseline = MakeReference("img.save(path, 'JPEG', quality=90, subsampling=2)", kWidth, kHeight);
    s_progressive = MakeReference("img.save(path, 'JPEG', quality=90, progressive=True)", kWidth, kHeight);
  }
  void SetUp() override {
    ASSERT_FALSE(s_baseline.jpeg.empty());
    ASSERT_FALSE(s_progressive.jpeg.empty());
  }
  static ReferenceFile s_baseline;
  static ReferenceFile s_progressive;
};
ReferenceFile JpegBehaviour::s_baseline;
ReferenceFile JpegBehaviour::s_progressive;

TEST_F(JpegBehaviour, PlacesThePictureAndClipsItToTheFrame) {
  const Decoded whole = Render(s_baseline.jpeg, kWidth, kHeight);
  ASSERT_EQ(whole.status, 0);
  struct Placement {
    int frameWidth, frameHeight, x, y;
  };
  for (const Placement& p : {Placement{80, 60, 5, 9}, Placement{30, 20, -10, -7}, Placement{40, 50, 50, 10}}) {
    std::vector<uint32_t> pixels(static_cast<size_t>(p.frameWidth) * p.frameHeight, 0x12345678u);
    const DecodeFrame frame{pixels.data(), p.frameWidth * 4, p.frameWidth, p.frameHeight, p.x, p.y};
    ASSERT_EQ(RenderJpeg(s_baseline.jpeg.data(), s_baseline.jpeg.size(), frame), 0);
    for (int fy = 0; fy < p.frameHeight; ++fy) {
      for (int fx = 0; fx < p.frameWidth; ++fx) {
        const int col = fx - p.x, row = fy - p.y;
        const bool covered = col >= 0 && row >= 0 && col < kWidth && row < kHeight;
        const uint32_t expected = covered ? whole.pixels[row * kWidth + col] : 0x12345678u;
        ASSERT_EQ(pixels[fy * p.frameWidth + fx], expected) << fx << "," << fy;
      }
    }
  }
}

TEST_F(JpegBehaviour, MissingEndMarkerStillDrawsTheWholePicture) {
  const Decoded whole = Render(s_baseline.jpeg, kWidth, kHeight);
  const std::vector<uint8_t> cut(s_baseline.jpeg.begin(), s_baseline.jpeg.end() - 2);
  const Decoded d = Render(cut, kWidth, kHeight);
  ASSERT_EQ(d.status, 0);
  EXPECT_EQ(d.pixels, whole.pixels);
}

TEST_F(JpegBehaviour, DataEndingInsideAScanIsRejected) {
  const std::vector<uint8_t>& file = s_baseline.jpeg;
  const size_t sos = FindMarker(file, 0xDA);
  ASSERT_NE(sos, std::string::npos);
  const size_t dataStart = sos + 2 + ((file[sos + 2] << 8) | file[sos + 3]);
  for (size_t end : {dataStart, dataStart + 1, dataStart + 100, (dataStart + file.size()) / 2, file.size() - 3}) {
    const std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<ptrdiff_t>(end));
    EXPECT_EQ(Render(cut, kWidth, kHeight).status, -1) << "cut at " << end << " of " << file.size();
  }
}

TEST_F(JpegBehaviour, ProgressiveDataEndingBetweenScansDrawsTheCoarserPicture) {
  const std::vector<uint8_t>& file = s_progressive.jpeg;
  const Decoded whole = Render(file, kWidth, kHeight);
  ASSERT_EQ(whole.status, 0);
  // Keep the first three scans: DC and the first AC bands, no refinements.
  size_t at = FindMarker(file, 0xDA);
  for (int scan = 0; scan < 3 && at != std::string::npos; ++scan) at = FindMarker(file, 0xDA, at + 2);
  ASSERT_NE(at, std::string::npos);
  const Decoded coarse = Render(std::vector<uint8_t>(file.begin(), file.begin() + static_cast<ptrdiff_t>(at)), kWidth, kHeight);
  ASSERT_EQ(coarse.status, 0);
  long long total = 0;
  for (size_t i = 0; i < whole.pixels.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      total += std::abs(static_cast<int>((whole.pixels[i] >> shift) & 0xFF) - static_cast<int>((coarse.pixels[i] >> shift) & 0xFF));
    }
  }
  const double mean = static_cast<double>(total) / (whole.pixels.size() * 3.0);
  EXPECT_GT(mean, 0.0);   // some detail is still missing
  EXPECT_LT(mean, 40.0);  // but it is the same picture
}

TEST_F(JpegBehaviour, RestartMarkerOutOfSequenceIsRejected) {
  if (!oracle::LibjpegAvailable()) GTEST_SKIP() << "libjpeg.so.62 not installed";
  oracle::JpegWriteOptions options;
  options.restartInterval = 2;
  std::vector<uint8_t> file = oracle::WriteJpegWithLibjpeg(TestPicture(40, 40), 40, 40, options);
  ASSERT_EQ(Render(file, 40, 40).status, 0);
  const size_t rst = FindMarker(file, 0xD1);
  ASSERT_NE(rst, std::string::npos);
  file[rst + 1] = 0xD3;
  EXPECT_EQ(Render(file, 40, 40).status, -1);
}

// Edits of a valid file's headers that must be refused without drawing.
struct HeaderEdit {
  const char* name;
  void (*apply)(std::vector<uint8_t>&);
};

size_t SofAt(const std::vector<uint8_t>& f) { return FindMarker(f, 0xC0); }
void SetBe16(std::vector<uint8_t>& f, size_t at, int v) {
  f[at] = static_cast<uint8_t>(v >> 8);
  f[at + 1] = static_cast<uint8_t>(v);
}

const HeaderEdit kRefusedEdits[] = {
    {"notStartOfImage", [](std::vector<uint8_t>& f) { f[1] = 0xD9; }},
    {"losslessFrame", [](std::vector<uint8_t>& f) { f[SofAt(f) + 1] = 0xC3; }},
    {"arithmeticFrame", [](std::vector<uint8_t>& f) { f[SofAt(f) + 1] = 0xC9; }},
    {"twelveBitSamples", [](std::vector<uint8_t>& f) { f[SofAt(f) + 4] = 12; }},
    {"heightFromDnl", [](std::vector<uint8_t>& f) { SetBe16(f, SofAt(f) + 5, 0); }},
    {"zeroWidth", [](std::vector<uint8_t>& f) { SetBe16(f, SofAt(f) + 7, 0); }},
    {"tooManyPixels", [](std::vector<uint8_t>& f) { SetBe16(f, SofAt(f) + 5, 65535), SetBe16(f, SofAt(f) + 7, 65535); }},
    {"moreBlocksThanDataCouldCode", [](std::vector<uint8_t>& f) { SetBe16(f, SofAt(f) + 5, 16000), SetBe16(f, SofAt(f) + 7, 16000); }},
    {"samplingFactorZero", [](std::vector<uint8_t>& f) { f[SofAt(f) + 11] = 0x20; }},
    {"samplingFactorFive", [](std::vector<uint8_t>& f) { f[SofAt(f) + 11] = 0x52; }},
    {"quantSlotFour", [](std::vector<uint8_t>& f) { f[SofAt(f) + 12] = 4; }},
    {"undefinedQuantTable", [](std::vector<uint8_t>& f) { f[SofAt(f) + 12] = 3; }},
    {"undefinedHuffmanTable", [](std::vector<uint8_t>& f) { f[FindMarker(f, 0xDA) + 6] = 0x33; }},
    {"scanNamesUnknownComponent", [](std::vector<uint8_t>& f) { f[FindMarker(f, 0xDA) + 5] = 9; }},
    {"scanBeforeFrame", [](std::vector<uint8_t>& f) { f[SofAt(f) + 1] = 0xFE; }},  // the frame becomes a comment
    {"segmentLengthPastTheEnd", [](std::vector<uint8_t>& f) { SetBe16(f, FindMarker(f, 0xDB) + 2, 65535); }},
    {"oversubscribedHuffmanCounts", [](std::vector<uint8_t>& f) { f[FindMarker(f, 0xC4) + 5] = 3; }},
};

class JpegRefusedHeader : public JpegBehaviour, public ::testing::WithParamInterface<HeaderEdit> {};

TEST_P(JpegRefusedHeader, IsRefusedWithoutDrawing) {
  std::vector<uint8_t> file = s_baseline.jpeg;
  ASSERT_NE(SofAt(file), std::string::npos);
  GetParam().apply(file);
  const Decoded d = Render(file, kWidth, kHeight);
  EXPECT_EQ(d.status, -1);
  EXPECT_EQ(d.pixels, std::vector<uint32_t>(d.pixels.size(), 0x12345678u));
}

INSTANTIATE_TEST_SUITE_P(Edits, JpegRefusedHeader, ::testing::ValuesIn(kRefusedEdits),
                         [](const auto& info) { return std::string(info.param.name); });

// Random damage anywhere in the file: the decoder must answer 0 or -1 and
// stay inside its buffers (the sanitizer build checks the latter).
TEST_F(JpegBehaviour, RandomDamageIsSurvived) {
  uint32_t seed = 2024;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  for (const ReferenceFile* ref : {&s_baseline, &s_progressive}) {
    for (int round = 0; round < 300; ++round) {
      std::vector<uint8_t> file = ref->jpeg;
      const int edits = 1 + static_cast<int>(next() % 4);
      for (int e = 0; e < edits; ++e) file[next() % file.size()] = static_cast<uint8_t>(next());
      if (round % 3 == 0) file.resize(next() % file.size());
      const int status = Render(file, kWidth, kHeight).status;
      EXPECT_TRUE(status == 0 || status == -1);
    }
  }
}

}  // namespace
