// DDS decoding: a block of known colours of each DXT kind decodes exactly, random blocks (uncompressed,
// both modes of DXT1 and DXT5, edge blocks, clipped placements) decode as Pillow decodes them, and every
// header we do not take is refused before anything is drawn.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "FormatTestSupport.h"

using namespace formats_test;

namespace {

struct PixelFormat {
  uint32_t flags;
  const char* fourCc;  // four characters, or nullptr
  uint32_t bits;
  uint32_t masks[4];  // red, green, blue, alpha
};
const PixelFormat kArgb = {0x41, nullptr, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}};
PixelFormat FourCc(const char* code) { return {0x4, code, 0, {0, 0, 0, 0}}; }

Bytes Dds(uint32_t width, uint32_t height, const PixelFormat& f, const Bytes& body) {
  Bytes file = Fields(128, {{0, 4, 0x20534444}, {4, 4, 124}, {8, 4, 0x1007}, {12, 4, height}, {16, 4, width}, {76, 4, 32}, {80, 4, f.flags},
                            {88, 4, f.bits}, {92, 4, f.masks[0]}, {96, 4, f.masks[1]}, {100, 4, f.masks[2]}, {104, 4, f.masks[3]}, {108, 4, 0x1000}});
  if (f.fourCc) std::memcpy(file.data() + 84, f.fourCc, 4);
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

// A colour block: two 5:6:5 end points and a 2-bit index per pixel
// (row-major); an interpolated alpha block: end points, 3-bit indices.
Bytes ColourBlock(uint16_t c0, uint16_t c1, const int (&index)[16]) {
  uint32_t bits = 0;
  for (int i = 0; i < 16; ++i) bits |= static_cast<uint32_t>(index[i]) << (2 * i);
  return Fields(8, {{0, 2, c0}, {2, 2, c1}, {4, 4, bits}});
}
Bytes AlphaBlock(uint8_t a0, uint8_t a1, const int (&index)[16]) {
  uint64_t bits = 0;
  for (int i = 0; i < 16; ++i) bits |= static_cast<uint64_t>(index[i]) << (3 * i);
  return Fields(8, {{0, 1, a0}, {1, 1, a1}, {2, 4, static_cast<uint32_t>(bits)}, {6, 2, static_cast<uint32_t>(bits >> 32)}});
}
Bytes Concat(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
// The 16 pixels of a block from a function of the pixel number.
Pixels Block(const std::function<uint32_t(int)>& pixel) {
  Pixels out(16);
  for (int i = 0; i < 16; ++i) out[i] = pixel(i);
  return out;
}

constexpr uint16_t kRed565 = 0xF800, kBlue565 = 0x001F;
constexpr int kCycle[16] = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
constexpr int kFirst[16] = {};
constexpr int kEight[16] = {0, 1, 2, 3, 4, 5, 6, 7, 7, 6, 5, 4, 3, 2, 1, 0};
constexpr int kSecondPixel[16] = {0, 1};
constexpr uint32_t kRed = 0xFFFF0000, kBlue = 0xFF0000FF;

TEST(DdsDecoder, KnownBlocksDecodeExactly) {
  Bytes alpha4(8);
  for (int i = 0; i < 8; ++i) alpha4[i] = static_cast<uint8_t>((2 * i) | ((2 * i + 1) << 4));
  const uint32_t six[8] = {0, 200, 40, 80, 120, 160, 0, 255};
  // Premultiplied alpha 85 (a third) triples the stored colour; alpha 0 leaves transparent black.
  const Bytes darkRed = ColourBlock(10 << 11, 10 << 11, kFirst);  // expands to 82, straight 246
  Bytes explicitAlpha(8, 0x55);
  explicitAlpha[0] = 0x05;
  const Pixels premultiplied = Block([](int i) { return i == 1 ? 0u : 0x55F60000u; });
  ExpectRenders(RenderDds, {
      {"DXT1 four colours interpolate thirds", Dds(4, 4, FourCc("DXT1"), ColourBlock(kRed565, kBlue565, kCycle)), 4, 4, 0,
       Block([](int i) { return Pixels{kRed, kBlue, 0xFFAA0055, 0xFF5500AA}[i % 4]; })},
      {"DXT3 four-bit alpha, always four colours", Dds(4, 4, FourCc("DXT3"), Concat(alpha4, ColourBlock(kBlue565, kRed565, kCycle))), 4, 4, 0,
       Block([](int i) { return static_cast<uint32_t>(i * 17) << 24 | Pixels{0x0000FF, 0xFF0000, 0x5500AA, 0xAA0055}[i % 4]; })},
      {"DXT5 six alpha steps with 0 and 255", Dds(4, 4, FourCc("DXT5"), Concat(AlphaBlock(0, 200, kEight), ColourBlock(kRed565, kRed565, kCycle))),
       4, 4, 0, Block([&](int i) { return six[kEight[i]] << 24 | 0xFF0000; })},
      {"DXT2 divides out premultiplied alpha", Dds(4, 4, FourCc("DXT2"), Concat(explicitAlpha, darkRed)), 4, 4, 0, premultiplied},
      {"DXT4 divides out premultiplied alpha", Dds(4, 4, FourCc("DXT4"), Concat(AlphaBlock(85, 0, kSecondPixel), darkRed)), 4, 4, 0, premultiplied},
  });
}

TEST(DdsDecoder, RefusesWhatItDoesNotTakeWithoutDrawing) {
  const Bytes block = ColourBlock(kRed565, kBlue565, kCycle), zeros(64, 0);
  PixelFormat bgra = kArgb, rgb24 = kArgb, noAlpha = kArgb;
  std::swap(bgra.masks[0], bgra.masks[2]);
  rgb24.bits = 24;
  noAlpha.masks[3] = 0;
  const Bytes headerSize128 = Edit(Dds(4, 4, FourCc("DXT1"), block), {{4, 4, 128}});
  std::vector<ValueCase> cases = {
      {"DX10", Dds(4, 4, FourCc("DX10"), zeros)}, {"ATI2", Dds(4, 4, FourCc("ATI2"), zeros)}, {"DXT6", Dds(4, 4, FourCc("DXT6"), zeros)},
      {"BGRA masks", Dds(2, 2, bgra, zeros)}, {"24 bits", Dds(2, 2, rgb24, zeros)}, {"no alpha mask", Dds(2, 2, noAlpha, zeros)},
      {"one byte short", Dds(2, 2, kArgb, Bytes(15, 0))}, {"needs two blocks", Dds(5, 4, FourCc("DXT1"), block)},
      {"DXT5 needs 16 bytes", Dds(4, 4, FourCc("DXT5"), block)}, {"width 0", Dds(0, 4, FourCc("DXT1"), block)}, {"height 0", Dds(4, 0, FourCc("DXT1"), block)},
      {"huge uncompressed", Dds(0xFFFFFFFF, 0xFFFFFFFF, kArgb, zeros)}, {"huge DXT1", Dds(0x10000000, 0x10000000, FourCc("DXT1"), block)},
      {"header size 128", headerSize128}, {"header cut", Cut(headerSize128, 127)},
  };
  for (ValueCase& c : cases) c.width = c.height = 4;
  ExpectRenders(RenderDds, cases);
}

// Random blocks of every kind Pillow reads, decoded by Pillow and by us.
TEST(DdsDecoder, RandomBlocksMatchPillow) {
  uint32_t seed = 99;
  for (const char* fourCc : {"DXT1", "DXT3", "DXT5", ""}) {
    constexpr int kWidth = 13, kHeight = 10;
    const size_t blockBytes = fourCc[0] == 0 ? 0 : fourCc[3] == '1' ? 8 : 16;
    Bytes body(blockBytes ? 4 * 3 * blockBytes : kWidth * kHeight * 4);
    for (auto& b : body) b = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    const Bytes file = Dds(kWidth, kHeight, blockBytes ? FourCc(fourCc) : kArgb, body);
    oracle::TempDir dir;
    oracle::WriteFile(dir.path() / "t.dds", file);
    const auto reference = MakeReferenceFiles("raw('t.dds', open(r'" + (dir.path() / "t.dds").string() + "', 'rb').read())");
    ASSERT_EQ(reference.size(), 1u);
    ExpectMatchesReference(RenderDds, reference[0]);
  }
}

}  // namespace
