// DDS decoding: files built here byte by byte with blocks of known colours
// must decode exactly, random blocks must decode as Pillow decodes them,
// and every header we do not take is refused before anything is drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "decode/DecodeFrame.h"
#include "support/Oracles.h"

namespace {

constexpr uint32_t kSentinel = 0x5A5A5A5Au;

void PutLe32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct PixelFormat {
  uint32_t flags;
  const char* fourCc;  // four characters, or nullptr
  uint32_t bits;
  uint32_t masks[4];   // red, green, blue, alpha
};

const PixelFormat kArgb = {0x41, nullptr, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}};
PixelFormat FourCc(const char* code) { return {0x4, code, 0, {0, 0, 0, 0}}; }

std::vector<uint8_t> MakeDds(uint32_t width, uint32_t height, const PixelFormat& format,
                             const std::vector<uint8_t>& body) {
  std::vector<uint8_t> file(128 + body.size(), 0);
  std::copy(body.begin(), body.end(), file.begin() + 128);
  std::memcpy(file.data(), "DDS ", 4);
  PutLe32(file, 4, 124);
  PutLe32(file, 8, 0x1007);  // caps, height, width, pixel format
  PutLe32(file, 12, height);
  PutLe32(file, 16, width);
  PutLe32(file, 76, 32);
  PutLe32(file, 80, format.flags);
  if (format.fourCc) std::memcpy(file.data() + 84, format.fourCc, 4);
  PutLe32(file, 88, format.bits);
  for (int i = 0; i < 4; ++i) PutLe32(file, 92 + 4 * i, format.masks[i]);
  PutLe32(file, 108, 0x1000);
  return file;
}

struct Rendered {
  int status;
  std::vector<uint32_t> pixels;
};

Rendered Render(const std::vector<uint8_t>& file, int width, int height, int x = 0, int y = 0) {
  Rendered r{0, std::vector<uint32_t>(static_cast<size_t>(width) * height, kSentinel)};
  const DecodeFrame frame{r.pixels.data(), width * 4, width, height, x, y};
  r.status = RenderDds(file.data(), file.size(), frame);
  return r;
}

// A colour block: end points, then one 2-bit index per pixel (row-major).
std::vector<uint8_t> ColourBlock(uint16_t c0, uint16_t c1, const int (&index)[16]) {
  uint32_t bits = 0;
  for (int i = 0; i < 16; ++i) bits |= static_cast<uint32_t>(index[i]) << (2 * i);
  return {static_cast<uint8_t>(c0), static_cast<uint8_t>(c0 >> 8), static_cast<uint8_t>(c1),
          static_cast<uint8_t>(c1 >> 8), static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
          static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
}

// An interpolated alpha block: end points, then one 3-bit index per pixel.
std::vector<uint8_t> AlphaBlock(uint8_t a0, uint8_t a1, const int (&index)[16]) {
  uint64_t bits = 0;
  for (int i = 0; i < 16; ++i) bits |= static_cast<uint64_t>(index[i]) << (3 * i);
  std::vector<uint8_t> block = {a0, a1};
  for (int i = 0; i < 6; ++i) block.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  return block;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

constexpr uint16_t kRed565 = 0xF800, kBlue565 = 0x001F;
constexpr int kCycle[16] = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
constexpr int kFirst[16] = {};
constexpr int kSecond[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
constexpr int kEight[16] = {0, 1, 2, 3, 4, 5, 6, 7, 7, 6, 5, 4, 3, 2, 1, 0};

TEST(DdsDecoder, UncompressedArgbWordsAreTakenAsTheyAre) {
  const uint32_t words[6] = {0xFF102030, 0x80FFFFFF, 0x00000000, 0x7F00FF00, 0xFFFFFFFF, 0x01020304};
  std::vector<uint8_t> body(24);
  for (int i = 0; i < 6; ++i) PutLe32(body, 4 * i, words[i]);
  const Rendered r = Render(MakeDds(3, 2, kArgb, body), 3, 2);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.pixels, std::vector<uint32_t>(words, words + 6));
}

TEST(DdsDecoder, Dxt1FourColourBlockInterpolatesThirds) {
  const Rendered r = Render(MakeDds(4, 4, FourCc("DXT1"), ColourBlock(kRed565, kBlue565, kCycle)), 4, 4);
  ASSERT_EQ(r.status, 0);
  const uint32_t expected[4] = {0xFFFF0000, 0xFF0000FF, 0xFFAA0055, 0xFF5500AA};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(r.pixels[i], expected[i % 4]) << i;
}

TEST(DdsDecoder, Dxt1AscendingEndPointsGiveHalfwayAndTransparentBlack) {
  const Rendered r = Render(MakeDds(4, 4, FourCc("DXT1"), ColourBlock(kBlue565, kRed565, kCycle)), 4, 4);
  ASSERT_EQ(r.status, 0);
  const uint32_t expected[4] = {0xFF0000FF, 0xFFFF0000, 0xFF7F007F, 0x00000000};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(r.pixels[i], expected[i % 4]) << i;
}

TEST(DdsDecoder, Dxt3TakesFourBitAlphaAndAlwaysFourColours) {
  std::vector<uint8_t> alpha(8);
  for (int i = 0; i < 8; ++i) alpha[i] = static_cast<uint8_t>((2 * i) | ((2 * i + 1) << 4));
  // Ascending end points must not select the transparent entry here.
  const auto file = MakeDds(4, 4, FourCc("DXT3"), Concat(alpha, ColourBlock(kBlue565, kRed565, kCycle)));
  const Rendered r = Render(file, 4, 4);
  ASSERT_EQ(r.status, 0);
  const uint32_t rgb[4] = {0x0000FF, 0xFF0000, 0x5500AA, 0xAA0055};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(r.pixels[i], (static_cast<uint32_t>(i * 17) << 24) | (rgb[i % 4] & 0xFFFFFF)) << i;
}

struct AlphaCase {
  const char* name;
  uint8_t a0, a1;
  uint32_t table[8];
};

class Dxt5Alpha : public ::testing::TestWithParam<AlphaCase> {};

TEST_P(Dxt5Alpha, InterpolatesTheAlphaTable) {
  const AlphaCase& c = GetParam();
  const auto file = MakeDds(4, 4, FourCc("DXT5"), Concat(AlphaBlock(c.a0, c.a1, kEight), ColourBlock(kRed565, kRed565, kCycle)));
  const Rendered r = Render(file, 4, 4);
  ASSERT_EQ(r.status, 0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(r.pixels[i], (c.table[kEight[i]] << 24) | 0xFF0000) << i;
}

INSTANTIATE_TEST_SUITE_P(Tables, Dxt5Alpha,
                         ::testing::Values(AlphaCase{"eightSteps", 224, 0, {224, 0, 192, 160, 128, 96, 64, 32}},
                                           AlphaCase{"sixStepsWithExtremes", 0, 200, {0, 200, 40, 80, 120, 160, 0, 255}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Premultiplied alpha 85 (a third) triples the stored colour; alpha 0
// leaves transparent black whatever the colour.
TEST(DdsDecoder, Dxt2AndDxt4DivideOutPremultipliedAlpha) {
  const uint16_t darkRed = 10 << 11;  // expands to 82, straight 246
  const auto colour = ColourBlock(darkRed, darkRed, kFirst);
  std::vector<uint8_t> explicitAlpha(8, 0x55);
  explicitAlpha[0] = 0x05;  // pixel 1 transparent
  const int alphaIndex[16] = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const auto dxt2 = MakeDds(4, 4, FourCc("DXT2"), Concat(explicitAlpha, colour));
  const auto dxt4 = MakeDds(4, 4, FourCc("DXT4"), Concat(AlphaBlock(85, 0, alphaIndex), colour));
  for (const auto* file : {&dxt2, &dxt4}) {
    const Rendered r = Render(*file, 4, 4);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.pixels[0], 0x55F60000u);
    EXPECT_EQ(r.pixels[1], 0x00000000u);
    EXPECT_EQ(r.pixels[15], 0x55F60000u);
  }
}

TEST(DdsDecoder, EdgeBlocksAreClippedToThePictureAndPlacedInTheFrame) {
  // 5 x 3 pixels need 2 x 1 blocks; the frame is larger and offset.
  const auto body = Concat(ColourBlock(kRed565, kBlue565, kFirst), ColourBlock(kRed565, kBlue565, kSecond));
  const Rendered r = Render(MakeDds(5, 3, FourCc("DXT1"), body), 9, 6, 2, 1);
  ASSERT_EQ(r.status, 0);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 9; ++x) {
      const bool inside = x >= 2 && x < 7 && y >= 1 && y < 4;
      const uint32_t expected = !inside ? kSentinel : (x < 6 ? 0xFFFF0000u : 0xFF0000FFu);
      EXPECT_EQ(r.pixels[y * 9 + x], expected) << x << "," << y;
    }
  }
  // A negative placement clips the top-left instead.
  const Rendered clipped = Render(MakeDds(5, 3, FourCc("DXT1"), body), 2, 2, -3, -1);
  ASSERT_EQ(clipped.status, 0);
  EXPECT_EQ(clipped.pixels, (std::vector<uint32_t>{0xFFFF0000u, 0xFF0000FFu, 0xFFFF0000u, 0xFF0000FFu}));
}

TEST(DdsDecoder, RefusesWhatItDoesNotTakeWithoutDrawing) {
  const auto block = ColourBlock(kRed565, kBlue565, kCycle);
  PixelFormat bgra = kArgb;
  std::swap(bgra.masks[0], bgra.masks[2]);
  PixelFormat rgb24 = kArgb;
  rgb24.bits = 24;
  PixelFormat noAlpha = kArgb;
  noAlpha.masks[3] = 0;
  std::vector<uint8_t> wrongSize = MakeDds(4, 4, FourCc("DXT1"), block);
  PutLe32(wrongSize, 4, 128);
  const std::vector<std::vector<uint8_t>> refused = {
      MakeDds(4, 4, FourCc("DX10"), std::vector<uint8_t>(64, 0)),
      MakeDds(4, 4, FourCc("ATI2"), std::vector<uint8_t>(64, 0)),
      MakeDds(4, 4, FourCc("DXT6"), std::vector<uint8_t>(64, 0)),
      MakeDds(2, 2, bgra, std::vector<uint8_t>(16, 0)),
      MakeDds(2, 2, rgb24, std::vector<uint8_t>(16, 0)),
      MakeDds(2, 2, noAlpha, std::vector<uint8_t>(16, 0)),
      MakeDds(2, 2, kArgb, std::vector<uint8_t>(15, 0)),        // one byte short
      MakeDds(5, 4, FourCc("DXT1"), block),                     // needs two blocks
      MakeDds(4, 4, FourCc("DXT5"), block),                     // needs 16 bytes
      MakeDds(0, 4, FourCc("DXT1"), block),
      MakeDds(4, 0, FourCc("DXT1"), block),
      MakeDds(0xFFFFFFFF, 0xFFFFFFFF, kArgb, std::vector<uint8_t>(64, 0)),
      MakeDds(0x10000000, 0x10000000, FourCc("DXT1"), block),
      wrongSize,
      std::vector<uint8_t>(wrongSize.begin(), wrongSize.begin() + 127),
  };
  for (size_t i = 0; i < refused.size(); ++i) {
    const Rendered r = Render(refused[i], 4, 4);
    EXPECT_EQ(r.status, -1) << "case " << i;
    EXPECT_EQ(r.pixels, std::vector<uint32_t>(16, kSentinel)) << "case " << i;
  }
}

// Random blocks of every kind Pillow reads, decoded by Pillow and by us.
TEST(DdsDecoder, RandomBlocksMatchPillow) {
  struct Kind {
    const char* fourCc;
    size_t blockBytes;
  };
  const Kind kinds[] = {{"DXT1", 8}, {"DXT3", 16}, {"DXT5", 16}, {nullptr, 0}};
  uint32_t seed = 99;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<uint8_t>(seed >> 24);
  };
  for (const Kind& kind : kinds) {
    const int width = 13, height = 10;
    const size_t bodySize = kind.fourCc ? ((width + 3) / 4) * ((height + 3) / 4) * kind.blockBytes : width * height * 4;
    std::vector<uint8_t> body(bodySize);
    for (auto& b : body) b = next();
    const auto file = MakeDds(width, height, kind.fourCc ? FourCc(kind.fourCc) : kArgb, body);
    oracle::TempDir dir;
    const auto ddsPath = dir.path() / "t.dds";
    const auto rgbaPath = dir.path() / "t.rgba";
    oracle::WriteFile(ddsPath, file);
    ASSERT_EQ(oracle::RunPython("from PIL import Image\nopen('" + rgbaPath.string() + "', 'wb').write(Image.open('" +
                                ddsPath.string() + "').convert('RGBA').tobytes())\n"),
              0);
    const auto rgba = oracle::ReadFile(rgbaPath);
    ASSERT_EQ(rgba.size(), static_cast<size_t>(width) * height * 4);
    const Rendered r = Render(file, width, height);
    ASSERT_EQ(r.status, 0);
    for (int i = 0; i < width * height; ++i) {
      const uint8_t* p = &rgba[4 * i];
      const uint32_t expected = (uint32_t{p[3]} << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
      ASSERT_EQ(r.pixels[i], expected) << (kind.fourCc ? kind.fourCc : "A8R8G8B8") << " pixel " << i;
    }
  }
}

}  // namespace
