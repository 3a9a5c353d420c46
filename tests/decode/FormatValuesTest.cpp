// The BMP, TGA, PCX, CEL and GIF decoders on files built here for one rule each, checked by value: layouts
// Pillow cannot write or rounds differently, run-length packets and LZW codes written by hand, colour-map
// corners, the GIF screen fill, huge declared sizes with little data, and the headers each decoder refuses
// without drawing.  CEL has no independent reader.
#include <gtest/gtest.h>

#include "FormatTestSupport.h"

using namespace formats_test;

namespace {

constexpr uint32_t u = kUntouched;

// A BMP: a `header`-byte info header (12: the short one), masks after a
// 40-byte header or inside a longer one, the palette, then the rows.
Bytes Bmp(int width, int height, int bits, const Bytes& rows, uint32_t compression = 0,
          const std::vector<uint32_t>& masks = {}, const Bytes& palette = {}, uint32_t header = 40) {
  Bytes out = header == 12 ? Fields(26, {{18, 2, uint32_t(width)}, {20, 2, uint32_t(height)}, {22, 2, 1}, {24, 2, uint32_t(bits)}})
                           : Fields(14 + header, {{18, 4, uint32_t(width)}, {22, 4, uint32_t(height)}, {26, 2, 1},
                                                  {28, 2, uint32_t(bits)}, {30, 4, compression}});
  Put(out, {0, 2, 'B' | 'M' << 8});
  Put(out, {14, 4, header});
  for (size_t i = 0; i < masks.size(); ++i) Put(out, {54 + 4 * i, 4, masks[i]});
  out.insert(out.end(), palette.begin(), palette.end());
  Put(out, {10, 4, static_cast<uint32_t>(out.size())});
  out.insert(out.end(), rows.begin(), rows.end());
  return out;
}

// A 1 x 1 BMP holding one stored pixel value.
ValueCase BmpPixel(const char* name, int bits, uint32_t stored, uint32_t want, uint32_t compression = 0, const std::vector<uint32_t>& masks = {}) {
  return {name, Bmp(1, 1, bits, Fields(4, {{0, bits / 8, stored}}), compression, masks), 1, 1, 0, {want}};
}

TEST(BmpDecoder, RowOrderAndChannelLayouts) {
  const Bytes palette = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0};
  const uint32_t e0 = 0xFF030201, e1 = 0xFF060504, e2 = 0xFF090807;
  Pixels huge(4096 * 3, u);
  std::fill(huge.begin(), huge.begin() + 4096 + 2048, 0xFF808080);
  const std::vector<uint32_t> k565 = {0xF800, 0x07E0, 0x001F}, k10 = {0x3FF00000, 0x000FFC00, 0x000003FF};
  ExpectRenders(RenderBmp, {
      {"negative height is top-down", Bmp(1, -2, 24, {0, 0, 0xFF, 0, 0xFF, 0, 0, 0}), 1, 2, 0, {0xFFFF0000, 0xFF0000FF}},
      // 16 bits without masks: 5:5:5, low three bits of each channel 0, top bit ignored.
      BmpPixel("555 red", 16, 0x7C00, 0xFFF80000), BmpPixel("555 blue", 16, 0x001F, 0xFF0000F8),
      BmpPixel("555 top bit", 16, 0x8000, 0xFF000000), BmpPixel("565 green", 16, 0x07E0, 0xFF00FC00, 3, k565),
      // 32 bits: stored alpha ignored; fields wider than a byte keep their top eight bits.
      BmpPixel("888 alpha dropped", 32, 0x12345678, 0xFF345678),
      BmpPixel("10-bit fields", 32, (0x200u << 20) | (0x3FFu << 10) | 0x2FF, 0xFF80FFBF, 3, k10),
      BmpPixel("fields swapped", 32, 0x00112233, 0xFF332211, 3, {0xFF, 0xFF00, 0xFF0000}),
      BmpPixel("empty mask", 32, 0x00FFFFFF, 0xFF00FFFF, 3, {0, 0xFF00, 0xFF}),
      {"2 bits are accepted and draw nothing", Bmp(4, 1, 2, {0x1B, 0, 0, 0}), 4, 1, 0, {}},
      // Two entries by position although the colour count says 0; index 2 lies beyond them: opaque black.
      {"palette runs from the header to the pixels", Bmp(3, 1, 8, {1, 0, 3, 0}, 0, {}, palette), 3, 1, 0, {e1, e0, 0xFF000000}},
      // 4 bits: two pixels a byte, rows padded to four bytes, bottom row first.
      {"4 bits", Bmp(3, 2, 4, {0x21, 0x00, 0, 0, 0x01, 0x20, 0, 0}, 0, {}, palette), 3, 2, 0, {e0, e1, e2, e2, e1, e0}},
      {"short header, 3-byte palette entries", Bmp(2, 1, 8, {1, 0, 0, 0}, 0, {}, {1, 2, 3, 4, 5, 6}, 12), 2, 1, 0, {e1, e0}},
      {"bit fields inside a 108-byte header", Bmp(1, 1, 32, {0x33, 0x22, 0x11, 0}, 3, {0xFF, 0xFF00, 0xFF0000}, {}, 108), 1, 1, 0, {0xFF332211}},
      {"bit fields inside a 124-byte header", Bmp(1, 1, 32, {0, 0x33, 0x22, 0x11}, 3, {0xFF000000, 0xFF0000, 0xFF00}, {}, 124), 1, 1, 0, {0xFF112233}},
      // 2^31 - 1 rows of 4096 pixels, of which one row and a half are in the file.
      {"huge declared size", Bmp(4096, -0x7FFFFFFF, 24, Bytes(4096 * 3 * 3 / 2, 0x80)), 4096, 3, 0, huge},
  });
}

// A TGA, top-down by default so cases list pixels in reading order; a
// non-empty `map` (the stored entries) sets colour-map type 1.
Bytes Tga(int type, int bits, int width, int height, const Bytes& data, const Bytes& map = {}, int entryBits = 0,
          int mapFirst = 0, int mapCount = -1, int descriptor = 0x20) {
  const int count = mapCount >= 0 ? mapCount : entryBits ? static_cast<int>(map.size()) / ((entryBits + 7) / 8) : 0;
  Bytes out = Fields(18, {{1, 1, map.empty() ? 0u : 1u}, {2, 1, uint32_t(type)}, {3, 2, uint32_t(mapFirst)}, {5, 2, uint32_t(count)},
                          {7, 1, uint32_t(entryBits)}, {12, 2, uint32_t(width)}, {14, 2, uint32_t(height)}, {16, 1, uint32_t(bits)},
                          {17, 1, uint32_t(descriptor)}});
  out.insert(out.end(), map.begin(), map.end());
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

TEST(TgaDecoder, PacketsLayoutsAndColourMaps) {
  const Bytes map555 = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00};  // red, green, blue, from entry 2
  const uint32_t g4 = 0xFF404040, g1 = 0xFF111111, g4x = 0xFF444444;
  // Bottom-up 4 x 3 in a larger frame: a run of 6 fills the bottom row and
  // starts the middle one; the final run of 128 stops at the last pixel.
  const oracle::Image crossing{4, 3, {g4x, g4x, g4x, g4x, g1, g1, 0xFF222222, 0xFF333333, g1, g1, g1, g1}};
  ExpectRenders(RenderTga, {
      {"packets 0x85 and 0x05", Tga(11, 8, 6, 2, {0x85, 0x40, 0x05, 0x00, 0x10, 0x20, 0x30, 0x40, 0xFF}), 6, 2, 0,
       {g4, g4, g4, g4, g4, g4, 0xFF000000, 0xFF101010, 0xFF202020, 0xFF303030, g4, 0xFFFFFFFF}},
      {"packets cross rows and stop at the last pixel", Tga(11, 8, 4, 3, {0x85, 0x11, 0x01, 0x22, 0x33, 0xFF, 0x44}, {}, 0, 0, -1, 0), 6, 5, 0,
       Place(crossing, 6, 5, 1, 1).pixels, 1, 1},
      {"rows right to left, top-down", Tga(2, 24, 2, 2, {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4}, {}, 0, 0, -1, 0x30), 2, 2, 0,
       {0xFF020202, 0xFF010101, 0xFF040404, 0xFF030303}},
      {"an image ID is skipped", Edit(Tga(2, 24, 1, 1, {'a', 'b', 'c', 1, 2, 3}), {{0, 1, 3}}), 1, 1, 0, {0xFF030201}},
      {"16 bits are 5:5:5", Tga(2, 16, 5, 1, {0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x00, 0x80}), 5, 1, 0,
       {0xFFF8F8F8, 0xFFF80000, 0xFF00F800, 0xFF0000F8, 0xFF000000}},
      {"one-byte indices, outside the map black", Tga(1, 8, 5, 1, {2, 3, 4, 1, 5}, map555, 15, 2), 5, 1, 0,
       {0xFFF80000, 0xFF00F800, 0xFF0000F8, 0xFF000000, 0xFF000000}},
      {"two-byte indices", Tga(1, 16, 2, 1, {4, 0, 2, 1}, map555, 16, 2), 2, 1, 0, {0xFF0000F8, 0xFF000000}},
      {"declared entries missing from the file", Tga(1, 8, 1, 1, {}, {1, 2, 3}, 24, 0, 3), 1, 1, 0, {}},
      {"entries wider than four bytes take room but draw black", Tga(1, 8, 2, 1, {0, 1}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 40), 2, 1, 0,
       {0xFF000000, 0xFF000000}},
      {"four-byte entries keep their alpha", Tga(1, 8, 2, 1, {1, 0}, {1, 2, 3, 0x40, 4, 5, 6, 0}, 32), 2, 1, 0, {0x00060504, 0x40030201}},
      {"a map on a 16-bit true-colour file is used", Tga(2, 16, 1, 1, {0, 0}, {0x10, 0x20, 0x30}, 24), 1, 1, 0, {0xFF302010}},
      {"a map on a 24-bit file is skipped", Tga(2, 24, 1, 1, {0x40, 0x50, 0x60}, {0x10, 0x20, 0x30}, 24), 1, 1, 0, {0xFF605040}},
  });
}

Bytes Pcx(int width, int height, int planes, int bytesPerLine, const Bytes& data, bool rampPalette = false) {
  Bytes out = Fields(128, {{0, 4, 0x0801050A}, {8, 2, uint32_t(width - 1)}, {10, 2, uint32_t(height - 1)},
                           {65, 1, uint32_t(planes)}, {66, 2, uint32_t(bytesPerLine)}});
  out.insert(out.end(), data.begin(), data.end());
  for (int i = 0; rampPalette && i < 256; ++i) out.insert(out.end(), {uint8_t(i), uint8_t(255 - i), 7});
  return out;
}

// Entry i of the ramp palette.
uint32_t Ramp(unsigned i) { return 0xFF000000u | (i << 16) | ((255 - i) << 8) | 7; }

TEST(PcxDecoder, PlanesRowsAndPalette) {
  // Corners at -32768 and 32767: 65536 x 65536 pixels declared, a few bytes present.
  const Bytes widest = Edit(Pcx(1, 1, 3, 0xFFFF, {0xFF, 1, 0xFF, 2}), {{4, 4, 0x80008000}, {8, 4, 0x7FFF7FFF}});
  Pixels widestWant(140, 0xFF000000);
  std::fill(widestWant.begin(), widestWant.begin() + 63, 0xFF010000);
  std::fill(widestWant.begin() + 63, widestWant.begin() + 70, 0xFF020000);
  ExpectRenders(RenderPcx, {
      {"2 planes draw nothing and succeed", Pcx(2, 2, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8}), 2, 2, 0, {}},
      {"corner not at (0, 0)", Edit(Pcx(2, 1, 1, 2, {1, 2}, true), {{4, 2, 3}, {8, 2, 4}}), 2, 1, 0, {Ramp(1), Ramp(2)}},
      {"padding skipped", Pcx(2, 2, 1, 5, {1, 2, 97, 98, 99, 3, 4, 97, 98, 99}, true), 2, 2, 0,
       {Ramp(1), Ramp(2), Ramp(3), Ramp(4)}},
      {"short rows leave the rest", Pcx(3, 2, 1, 2, {1, 2, 3, 4}, true), 3, 2, 0, {Ramp(1), Ramp(2), u, Ramp(3), Ramp(4), u}},
      {"no bytes per line", Pcx(2, 2, 1, 0, {1, 2, 3, 4}, true), 2, 2, 0, {}},
      {"a zero-length run is nothing", Pcx(2, 2, 1, 2, {0xC0, 9, 1, 2, 0xC1, 0xC5, 4}, true), 2, 2, 0,
       {Ramp(1), Ramp(2), Ramp(0xC5), Ramp(4)}},
      {"without 768 bytes there is no palette: black", Pcx(2, 1, 1, 2, {5, 6}), 2, 1, 0, {0xFF000000, 0xFF000000}},
      // Only the red plane of the first row: every covered pixel turns opaque first.
      {"true colour makes covered pixels opaque", Pcx(2, 2, 3, 2, {0xAA, 0xBB}), 3, 2, 0,
       {0xFFAA3456, 0xFFBB3456, 0x00123456, 0xFF123456, 0xFF123456, 0x00123456}, 0, 0, 0x00123456},
      {"a run carries from blue into the next row's red", Pcx(1, 2, 3, 1, {0x10, 0x20, 0xC2, 0x30, 0x40, 0x50}), 1, 2, 0,
       {0xFF102030, 0xFF304050}, 0, 0, 0},
      {"widest header with little data", widest, 70, 2, 0, widestWant, 0, 0, 0},
  });
}

// A CEL whose palette entry i is (i % 64, 63 - i % 64, (i * 5) % 64).
Bytes Cel(int width, int height, const Bytes& pixels) {
  Bytes out = Fields(32, {{0, 2, 0x9119}, {2, 2, uint32_t(width)}, {4, 2, uint32_t(height)}, {10, 1, 8}});
  for (int i = 0; i < 256; ++i) out.insert(out.end(), {uint8_t(i % 64), uint8_t(63 - i % 64), uint8_t(i * 5 % 64)});
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

uint32_t Entry(unsigned i) { return 0xFF000000u | ((i % 64) * 4 << 16) | ((63 - i % 64) * 4 << 8) | (i * 5 % 64) * 4; }

TEST(CelDecoder, RowsPaletteCutsAndClipping) {
  Bytes pixels;
  oracle::Image image{7, 9, {}};
  for (unsigned i = 0; i < 63; ++i) {
    pixels.push_back(static_cast<uint8_t>((i * 37 + 11) % 256));
    image.pixels.push_back(Entry(pixels.back()));
  }
  const Bytes file = Cel(7, 9, pixels);
  ExpectDamageContained(RenderCel, {"cel", file, image}, 32);
  Pixels half = image.pixels;
  std::fill(half.begin() + 31, half.end(), u);
  ExpectRenders(RenderCel, {
      {"rows top-down", file, 7, 9, 0, image.pixels},
      {"placed and clipped", file, 8, 10, 0, Place(image, 8, 10, 2, -1).pixels, 2, -1},
      {"a cut file draws what is there", Cut(file, 800 + 31), 7, 9, 0, half},
      {"palette bytes keep six bits", Edit(Cel(1, 1, {0}), {{32, 3, 0x8140FF}}), 1, 1, 0, {0xFFFC0004}},  // 63, 0, 1
      // Two full rows of 65535 pixels; the frame sees the last two columns.
      {"huge declared size", Cel(65535, 65535, Bytes(2 * 65535, 9)), 4, 3, 0,
       {Entry(9), Entry(9), u, u, Entry(9), Entry(9), u, u, u, u, u, u}, -65533},
  });
}

// Codes packed least significant bit first: {value, width} pairs.
Bytes PackCodes(const std::vector<std::pair<unsigned, unsigned>>& codes) {
  Bytes out;
  uint32_t buffer = 0, count = 0;
  for (const auto& [value, width] : codes) {
    buffer |= value << count;
    for (count += width; count >= 8; count -= 8, buffer >>= 8) out.push_back(static_cast<uint8_t>(buffer));
  }
  if (count > 0) out.push_back(static_cast<uint8_t>(buffer));
  return out;
}

// Every index as a literal 3-bit code after a clear code: the simplest valid
// stream for a minimum code size of 2.
Bytes LiteralCodes(const Bytes& indices, bool end = true) {
  std::vector<std::pair<unsigned, unsigned>> codes = {{4, 3}};
  for (uint8_t index : indices) codes.push_back({index, 3});
  if (end) codes.push_back({5, 3});
  return PackCodes(codes);
}

struct GifFile {
  int screenWidth = 1, screenHeight = 1;
  Pixels global = {};  // RGB entries; empty: no global table
  int background = 0, transparent = -1;
  int left = 0, top = 0, width = 1, height = 1;
  bool interlaced = false;
  Pixels local = {};  // empty: no local table
};

// Four-entry tables (flags 0x80 | 1).
void PutTable(Bytes& out, const Pixels& table) { for (uint32_t rgb : table) out.insert(out.end(), {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)}); }
// The head, the codes in sub-blocks of up to 255 bytes, the terminator and the trailer.
Bytes Gif(const GifFile& g, const Bytes& codes) {
  Bytes out = Fields(13, {{0, 4, 0x38464947}, {4, 2, 'a' << 8 | '9'}, {6, 2, uint32_t(g.screenWidth)}, {8, 2, uint32_t(g.screenHeight)},
                          {10, 1, g.global.empty() ? 0u : 0x81u}, {11, 1, uint32_t(g.background)}});
  PutTable(out, g.global);
  if (g.transparent >= 0) out.insert(out.end(), {0x21, 0xF9, 4, 1, 0, 0, uint8_t(g.transparent), 0});
  out.push_back(0x2C);
  for (int v : {g.left, g.top, g.width, g.height}) out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)});
  out.push_back(static_cast<uint8_t>((g.interlaced ? 0x40 : 0) | (g.local.empty() ? 0 : 0x81)));
  PutTable(out, g.local);
  out.push_back(2);  // minimum code size
  for (size_t at = 0; at < codes.size(); at += 255) {
    out.push_back(static_cast<uint8_t>(std::min<size_t>(255, codes.size() - at)));
    out.insert(out.end(), codes.begin() + at, codes.begin() + std::min(codes.size(), at + 255));
  }
  out.insert(out.end(), {0, 0x3B});
  return out;
}

const Pixels kFour = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

TEST(GifDecoder, ScreenFillTransparencyAndDamagedImageData) {
  // A 2 x 1 image at (1, 1) of a 4 x 3 screen, drawn at (1, 0) of a 6 x 3 frame.
  auto framed = [](uint32_t f) { return Pixels{u, f, f, f, f, u, u, f, kRed, kGreen, f, u, u, f, f, f, f, u}; };
  GifFile small{.screenWidth = 4, .screenHeight = 3, .background = 2, .left = 1, .top = 1, .width = 2};
  GifFile withGlobal = small, withBoth = small, localOnly = small;
  withGlobal.global = kFour;
  withBoth.global = {0x101010, 0x202020, 0x303030, 0x404040};
  withBoth.local = localOnly.local = kFour;
  const GifFile four{.global = kFour, .width = 4};
  std::vector<ValueCase> cases = {
      {"background: the global table's entry", Gif(withGlobal, LiteralCodes({0, 1})), 6, 3, 0, framed(kBlue), 1},
      {"background: the local table's entry", Gif(withBoth, LiteralCodes({0, 1})), 6, 3, 0, framed(kBlue), 1},
      {"background without a global table: transparent black", Gif(localOnly, LiteralCodes({0, 1})), 6, 3, 0, framed(0), 1},
      {"the background entry is the table with transparency",
       Gif({.screenWidth = 2, .global = kFour, .background = 1, .transparent = 1}, LiteralCodes({3})), 2, 1, 0,
       {kWhite, 0x0000FF00}},
      {"end code before the last row", Gif(four, LiteralCodes({2, 3})), 4, 1, 0, {kBlue, kWhite, u, u}},
      {"code past the next free entry", Gif(four, PackCodes({{4, 3}, {1, 3}, {7, 3}, {2, 3}})), 4, 1, 0, {kGreen, u, u, u}},
      {"string code right after a clear", Gif(four, PackCodes({{4, 3}, {6, 3}, {1, 3}})), 4, 1, 0, {}},
      {"data ends without an end code", Gif(four, LiteralCodes({3}, false)), 4, 1, 0, {kWhite, u, u, u}},
      {"no data at all", Gif(four, {}), 4, 1, 0, {}},
      {"huge image with little data", Gif({.screenWidth = 65535, .screenHeight = 65535, .global = kFour, .background = 3,
                                           .width = 65535, .height = 65535, .interlaced = true}, LiteralCodes({0, 1})),
       3, 2, 0, {kRed, kGreen, u, u, u, u}},
  };
  for (uint32_t size : {0u, 9u, 12u, 255u})  // the minimum code size byte follows the table and the descriptor
    cases.push_back({"minimum code size out of range", Edit(Gif(four, LiteralCodes({1, 1, 1, 1})), {{35, 1, size}}), 4, 1, 0, {}});
  ExpectRenders(RenderGif, cases);
}

// The good 1 x 1 file, then cases that change one of its fields and expect it refused.
std::vector<ValueCase> Refusals(const Bytes& good, uint32_t pixel, std::initializer_list<std::pair<const char*, Field>> edits) {
  std::vector<ValueCase> cases = {{"the good file", good, 1, 1, 0, {pixel}}};
  for (const auto& [name, field] : edits) cases.push_back({name, Edit(good, {field})});
  return cases;
}

TEST(SmallFormats, RefuseHeadersTheyDoNotTakeWithoutDrawing) {
  const Bytes bmp = Bmp(1, 1, 24, {1, 2, 3, 0}), tga = Tga(2, 24, 1, 1, {1, 2, 3}), pcx = Pcx(1, 1, 1, 1, {0});
  const Bytes cel = Cel(1, 1, {7}), core = Bmp(1, 1, 24, {0x10, 0x20, 0x30, 0}, 0, {}, {}, 12);
  const Bytes gif = Gif({.global = kFour}, LiteralCodes({0}));
  Bytes unterminated = Cut(gif, 25);  // the image descriptor starts at byte 25
  unterminated.insert(unterminated.end(), {0x21, 0xFE, 5, 'h', 'e'});
  ExpectRenders(RenderBmp, Refusals(bmp, 0xFF030201, {
      {"not BM", {1, 1, 'X'}}, {"two planes", {26, 2, 2}}, {"width 0", {18, 4, 0}}, {"height 0", {22, 4, 0}},
      {"3 bits", {28, 2, 3}}, {"64 bits", {28, 2, 64}}, {"rle 8", {30, 4, 1}}, {"rle 4", {30, 4, 2}}, {"jpeg", {30, 4, 4}}}));
  ExpectRenders(RenderBmp, {{"good short header", core, 1, 1, 0, {0xFF302010}}, {"short header without a plane", Edit(core, {{22, 2, 0}})},
                            {"header cut", Cut(bmp, 33)}});
  ExpectRenders(RenderTga, Refusals(tga, 0xFF030201, {
      {"width 0", {12, 2, 0}}, {"height 0", {14, 2, 0}}, {"type 0", {2, 1, 0}}, {"type 4", {2, 1, 4}}, {"type 32", {2, 1, 32}},
      {"12 bits", {16, 1, 12}}, {"40 bits", {16, 1, 40}}, {"0 bits", {16, 1, 0}}, {"descriptor 64", {17, 1, 64}},
      {"map type 2", {1, 1, 2}}}));
  ExpectRenders(RenderPcx, Refusals(pcx, 0xFF000000, {
      {"x max below x min", {8, 2, 0xFFFF}}, {"y max below y min", {10, 2, 0xFFFF}}, {"x min past x max", {4, 2, 2}},
      {"version 3", {1, 1, 3}}, {"4 bits per plane", {3, 1, 4}}, {"not run-length", {2, 1, 0}}}));
  ExpectRenders(RenderCel, Refusals(cel, Entry(7), {
      {"width 0", {2, 2, 0}}, {"height 0", {4, 2, 0}}, {"not 8 bits", {10, 1, 4}}, {"byte 11 set", {11, 1, 1}}, {"magic", {1, 1, 0x92}}}));
  ExpectRenders(RenderGif, Refusals(gif, kRed, {
      {"aspect ratio set", {12, 1, 49}}, {"not GIF", {2, 1, 'X'}}, {"trailer instead of an image", {25, 1, 0x3B}},
      {"unknown block", {25, 1, 0}}}));
  ExpectRenders(RenderTga, {{"header cut", Cut(tga, 17)}}), ExpectRenders(RenderPcx, {{"header cut", Cut(pcx, 127)}});
  ExpectRenders(RenderGif, {{"header cut", Cut(gif, 12)}, {"global table cut", Cut(gif, 20)}, {"descriptor cut", Cut(gif, 30)},
                            {"extension runs off the end", unterminated}});
}

}  // namespace
