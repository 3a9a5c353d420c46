// The BMP, TGA, PCX and CEL decoders on files built here for one rule each,
// checked by value: row order, channel layouts whose rounding Pillow does
// differently, run-length packets, colour-map corners, plane counts without
// a layout, rows read by bytes per line, huge declared sizes with little
// data, and the headers each decoder must refuse without drawing.  CEL has
// no independent reader or writer, so all its checks live here.
#include <gtest/gtest.h>

#include "FormatTestSupport.h"

using namespace formats_test;

namespace {

constexpr uint32_t u = kUntouched;

// A BMP with the 40-byte header, no palette, pixel rows as given.
Bytes Bmp(int width, int height, int bits, const Bytes& rows, uint32_t compression = 0,
          const std::vector<uint32_t>& masks = {}) {
  const uint32_t offset = 54 + 4 * static_cast<uint32_t>(masks.size());
  Bytes out = Fields(offset, {{0, 2, 'B' | 'M' << 8}, {10, 4, offset}, {14, 4, 40}, {18, 4, uint32_t(width)},
                              {22, 4, uint32_t(height)}, {26, 2, 1}, {28, 2, uint32_t(bits)}, {30, 4, compression}});
  for (size_t i = 0; i < masks.size(); ++i) Put(out, {54 + 4 * i, 4, masks[i]});
  out.insert(out.end(), rows.begin(), rows.end());
  return out;
}

// A 1 x 1 BMP holding one stored pixel value.
ValueCase BmpPixel(const char* name, int bits, uint32_t stored, uint32_t want, uint32_t compression = 0,
                   const std::vector<uint32_t>& masks = {}) {
  return {name, RenderBmp, Bmp(1, 1, bits, Fields(4, {{0, bits / 8, stored}}), compression, masks), 1, 1, 0, {want}};
}

TEST(BmpDecoder, RowOrderAndChannelLayouts) {
  Bytes palette = Bmp(3, 1, 8, {1, 2, 3, 0, 4, 5, 6, 0, 1, 0, 2, 0});
  Put(palette, {10, 4, 54 + 8});
  Pixels huge(4096 * 3, u);
  std::fill(huge.begin(), huge.begin() + 4096 + 2048, 0xFF808080);
  const std::vector<uint32_t> k565 = {0xF800, 0x07E0, 0x001F}, k10 = {0x3FF00000, 0x000FFC00, 0x000003FF};
  ExpectRenders({
      {"negative height is top-down", RenderBmp, Bmp(1, -2, 24, {0, 0, 0xFF, 0, 0xFF, 0, 0, 0}), 1, 2, 0, {0xFFFF0000, 0xFF0000FF}},
      {"positive height is bottom-up", RenderBmp, Bmp(1, 2, 24, {0, 0, 0xFF, 0, 0xFF, 0, 0, 0}), 1, 2, 0, {0xFF0000FF, 0xFFFF0000}},
      // 16 bits without masks: 5:5:5, low three bits of each channel 0, top bit ignored.
      BmpPixel("555 white", 16, 0x7FFF, 0xFFF8F8F8), BmpPixel("555 red", 16, 0x7C00, 0xFFF80000),
      BmpPixel("555 blue", 16, 0x001F, 0xFF0000F8), BmpPixel("555 top bit", 16, 0x8000, 0xFF000000),
      BmpPixel("555 mixed", 16, 0x4A52, 0xFF909090), BmpPixel("565 green", 16, 0x07E0, 0xFF00FC00, 3, k565),
      // 32 bits: stored alpha ignored; fields wider than a byte keep their top eight bits.
      BmpPixel("888 alpha dropped", 32, 0x12345678, 0xFF345678),
      BmpPixel("10-bit fields", 32, (0x200u << 20) | (0x3FFu << 10) | 0x2FF, 0xFF80FFBF, 3, k10),
      BmpPixel("fields swapped", 32, 0x00112233, 0xFF332211, 3, {0xFF, 0xFF00, 0xFF0000}),
      BmpPixel("empty mask", 32, 0x00FFFFFF, 0xFF00FFFF, 3, {0, 0xFF00, 0xFF}),
      {"2 bits are accepted and draw nothing", RenderBmp, Bmp(4, 1, 2, {0x1B, 0, 0, 0}), 4, 1, 0, {}},
      // Two entries by position although the colour count says 0; index 2 lies beyond them: opaque black.
      {"palette runs from the header to the pixels", RenderBmp, palette, 3, 1, 0, {0xFF060504, 0xFF030201, 0xFF000000}},
      // 2^31 - 1 rows of 4096 pixels, of which one row and a half are in the file.
      {"huge declared size", RenderBmp, Bmp(4096, -0x7FFFFFFF, 24, Bytes(4096 * 3 * 3 / 2, 0x80)), 4096, 3, 0, huge},
  });
}

// A TGA, top-down by default so cases list pixels in reading order; a
// non-empty `map` (the stored entries) sets colour-map type 1.
Bytes Tga(int type, int bits, int width, int height, const Bytes& data, const Bytes& map = {}, int entryBits = 0,
          int mapFirst = 0, int mapCount = -1, int descriptor = 0x20) {
  const int count = mapCount >= 0 ? mapCount : entryBits ? static_cast<int>(map.size()) / ((entryBits + 7) / 8) : 0;
  Bytes out = Fields(18, {{1, 1, map.empty() ? 0u : 1u}, {2, 1, uint32_t(type)}, {3, 2, uint32_t(mapFirst)},
                          {5, 2, uint32_t(count)}, {7, 1, uint32_t(entryBits)}, {12, 2, uint32_t(width)},
                          {14, 2, uint32_t(height)}, {16, 1, uint32_t(bits)}, {17, 1, uint32_t(descriptor)}});
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
  ExpectRenders({
      {"packets 0x85 and 0x05", RenderTga, Tga(11, 8, 6, 2, {0x85, 0x40, 0x05, 0x00, 0x10, 0x20, 0x30, 0x40, 0xFF}), 6, 2, 0,
       {g4, g4, g4, g4, g4, g4, 0xFF000000, 0xFF101010, 0xFF202020, 0xFF303030, g4, 0xFFFFFFFF}},
      {"packets cross rows and stop at the last pixel", RenderTga,
       Tga(11, 8, 4, 3, {0x85, 0x11, 0x01, 0x22, 0x33, 0xFF, 0x44}, {}, 0, 0, -1, 0), 6, 5, 0,
       Place(crossing, 6, 5, 1, 1).pixels, 1, 1},
      {"rows right to left, top-down", RenderTga, Tga(2, 24, 2, 2, {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4}, {}, 0, 0, -1, 0x30), 2, 2,
       0, {0xFF020202, 0xFF010101, 0xFF040404, 0xFF030303}},
      {"rows right to left, bottom-up", RenderTga, Tga(2, 24, 2, 2, {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4}, {}, 0, 0, -1, 0x10), 2,
       2, 0, {0xFF040404, 0xFF030303, 0xFF020202, 0xFF010101}},
      {"an image ID is skipped", RenderTga, Edit(Tga(2, 24, 1, 1, {'a', 'b', 'c', 1, 2, 3}), {{0, 1, 3}}), 1, 1, 0, {0xFF030201}},
      {"16 bits are 5:5:5", RenderTga, Tga(2, 16, 5, 1, {0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x00, 0x80}), 5, 1, 0,
       {0xFFF8F8F8, 0xFFF80000, 0xFF00F800, 0xFF0000F8, 0xFF000000}},
      {"one-byte indices, outside the map black", RenderTga, Tga(1, 8, 5, 1, {2, 3, 4, 1, 5}, map555, 15, 2), 5, 1, 0,
       {0xFFF80000, 0xFF00F800, 0xFF0000F8, 0xFF000000, 0xFF000000}},
      {"two-byte indices", RenderTga, Tga(1, 16, 2, 1, {4, 0, 2, 1}, map555, 16, 2), 2, 1, 0, {0xFF0000F8, 0xFF000000}},
      {"declared entries missing from the file", RenderTga, Tga(1, 8, 1, 1, {}, {1, 2, 3}, 24, 0, 3), 1, 1, 0, {}},
      {"entries wider than four bytes take room but draw black", RenderTga,
       Tga(1, 8, 2, 1, {0, 1}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 40), 2, 1, 0, {0xFF000000, 0xFF000000}},
      {"four-byte entries keep their alpha", RenderTga, Tga(1, 8, 2, 1, {1, 0}, {1, 2, 3, 0x40, 4, 5, 6, 0}, 32), 2, 1, 0,
       {0x00060504, 0x40030201}},
      {"a map on a 16-bit true-colour file is used", RenderTga, Tga(2, 16, 1, 1, {0, 0}, {0x10, 0x20, 0x30}, 24), 1, 1, 0,
       {0xFF302010}},
      {"a map on a 24-bit file is skipped", RenderTga, Tga(2, 24, 1, 1, {0x40, 0x50, 0x60}, {0x10, 0x20, 0x30}, 24), 1, 1, 0,
       {0xFF605040}},
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
  Bytes widest = Pcx(1, 1, 3, 0xFFFF, {0xFF, 1, 0xFF, 2});
  for (size_t at : {4, 6}) Put(widest, {at, 2, 0x8000});
  for (size_t at : {8, 10}) Put(widest, {at, 2, 0x7FFF});
  Pixels widestWant(140, 0xFF000000);
  std::fill(widestWant.begin(), widestWant.begin() + 63, 0xFF010000);
  std::fill(widestWant.begin() + 63, widestWant.begin() + 70, 0xFF020000);
  ExpectRenders({
      {"2 planes draw nothing and succeed", RenderPcx, Pcx(2, 2, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8}), 2, 2, 0, {}},
      {"0 planes", RenderPcx, Pcx(2, 2, 0, 2, {1, 2, 3, 4}), 2, 2, 0, {}},
      {"4 planes", RenderPcx, Pcx(2, 2, 4, 2, {1, 2, 3, 4, 5, 6, 7, 8}), 2, 2, 0, {}},
      {"padding skipped", RenderPcx, Pcx(2, 2, 1, 5, {1, 2, 97, 98, 99, 3, 4, 97, 98, 99}, true), 2, 2, 0,
       {Ramp(1), Ramp(2), Ramp(3), Ramp(4)}},
      {"short rows leave the rest", RenderPcx, Pcx(3, 2, 1, 2, {1, 2, 3, 4}, true), 3, 2, 0,
       {Ramp(1), Ramp(2), u, Ramp(3), Ramp(4), u}},
      {"no bytes per line", RenderPcx, Pcx(2, 2, 1, 0, {1, 2, 3, 4}, true), 2, 2, 0, {}},
      {"a zero-length run is nothing", RenderPcx, Pcx(2, 2, 1, 2, {0xC0, 9, 1, 2, 0xC1, 0xC5, 4}, true), 2, 2, 0,
       {Ramp(1), Ramp(2), Ramp(0xC5), Ramp(4)}},
      {"without 768 bytes there is no palette: black", RenderPcx, Pcx(2, 1, 1, 2, {5, 6}), 2, 1, 0, {0xFF000000, 0xFF000000}},
      // Only the red plane of the first row: every covered pixel turns opaque first.
      {"true colour makes covered pixels opaque", RenderPcx, Pcx(2, 2, 3, 2, {0xAA, 0xBB}), 3, 2, 0,
       {0xFFAA3456, 0xFFBB3456, 0x00123456, 0xFF123456, 0xFF123456, 0x00123456}, 0, 0, 0x00123456},
      {"a run carries from blue into the next row's red", RenderPcx, Pcx(1, 2, 3, 1, {0x10, 0x20, 0xC2, 0x30, 0x40, 0x50}),
       1, 2, 0, {0xFF102030, 0xFF304050}, 0, 0, 0},
      {"widest header with little data", RenderPcx, widest, 70, 2, 0, widestWant, 0, 0, 0},
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
  Bytes sixBits = Cel(1, 1, {0});
  sixBits[32] = 0xFF;  // 63 once the top two bits go
  sixBits[33] = 0x40;  // 0
  sixBits[34] = 0x81;  // 1
  const Pixels e9 = {Entry(9), Entry(9), u, u};
  ExpectRenders({
      {"rows top-down", RenderCel, file, 7, 9, 0, image.pixels},
      {"placed and clipped", RenderCel, file, 8, 10, 0, Place(image, 8, 10, 2, -1).pixels, 2, -1},
      {"a cut file draws what is there", RenderCel, Bytes(file.begin(), file.begin() + 800 + 31), 7, 9, 0, half},
      {"palette bytes keep six bits", RenderCel, sixBits, 1, 1, 0, {0xFFFC0004}},
      // Two full rows of 65535 pixels; the frame sees the last two columns.
      {"huge declared size", RenderCel, Cel(65535, 65535, Bytes(2 * 65535, 9)), 4, 3, 0,
       {Entry(9), Entry(9), u, u, Entry(9), Entry(9), u, u, u, u, u, u}, -65533},
  });
}


TEST(SmallFormats, RefuseHeadersTheyDoNotTakeWithoutDrawing) {
  const Bytes bmp = Bmp(1, 1, 24, {1, 2, 3, 0}), tga = Tga(2, 24, 1, 1, {1, 2, 3}), pcx = Pcx(1, 1, 1, 1, {0});
  const Bytes cel = Cel(1, 1, {7});
  const Bytes core = Fields(30, {{0, 2, 'B' | 'M' << 8}, {10, 4, 26}, {14, 4, 12}, {18, 2, 1}, {20, 2, 1}, {24, 2, 24}});
  ExpectRenders({
      {"good bmp", RenderBmp, bmp, 1, 1, 0, {0xFF030201}},
      {"good bmp core header", RenderBmp, Edit(core, {{22, 2, 1}, {26, 4, 0x302010}}), 1, 1, 0, {0xFF302010}},
      {"good tga", RenderTga, tga, 1, 1, 0, {0xFF030201}},
      {"good pcx", RenderPcx, pcx, 1, 1, 0, {0xFF000000}},
      {"good cel", RenderCel, cel, 1, 1, 0, {Entry(7)}},
  });
  ExpectRenders({
      {"bmp not BM", RenderBmp, Edit(bmp, {{1, 1, 'X'}})}, {"bmp two planes", RenderBmp, Edit(bmp, {{26, 2, 2}})},
      {"bmp width 0", RenderBmp, Edit(bmp, {{18, 4, 0}})}, {"bmp height 0", RenderBmp, Edit(bmp, {{22, 4, 0}})},
      {"bmp 3 bits", RenderBmp, Edit(bmp, {{28, 2, 3}})},  {"bmp 64 bits", RenderBmp, Edit(bmp, {{28, 2, 64}})},
      {"bmp rle 8", RenderBmp, Edit(bmp, {{30, 4, 1}})},   {"bmp rle 4", RenderBmp, Edit(bmp, {{30, 4, 2}})},
      {"bmp jpeg", RenderBmp, Edit(bmp, {{30, 4, 4}})},    {"bmp header cut", RenderBmp, Cut(bmp, 33)},
      {"bmp core header without a plane", RenderBmp, core},
      {"tga width 0", RenderTga, Edit(tga, {{12, 2, 0}})}, {"tga height 0", RenderTga, Edit(tga, {{14, 2, 0}})},
      {"tga type 0", RenderTga, Edit(tga, {{2, 1, 0}})},   {"tga type 4", RenderTga, Edit(tga, {{2, 1, 4}})},
      {"tga type 32", RenderTga, Edit(tga, {{2, 1, 32}})}, {"tga 12 bits", RenderTga, Edit(tga, {{16, 1, 12}})},
      {"tga 40 bits", RenderTga, Edit(tga, {{16, 1, 40}})}, {"tga 0 bits", RenderTga, Edit(tga, {{16, 1, 0}})},
      {"tga descriptor 64", RenderTga, Edit(tga, {{17, 1, 64}})}, {"tga map type 2", RenderTga, Edit(tga, {{1, 1, 2}})},
      {"tga header cut", RenderTga, Cut(tga, 17)},
      {"pcx x max below x min", RenderPcx, Edit(pcx, {{8, 2, 0xFFFF}})},
      {"pcx y max below y min", RenderPcx, Edit(pcx, {{10, 2, 0xFFFF}})},
      {"pcx x min past x max", RenderPcx, Edit(pcx, {{4, 2, 2}})}, {"pcx version 3", RenderPcx, Edit(pcx, {{1, 1, 3}})},
      {"pcx 4 bits per plane", RenderPcx, Edit(pcx, {{3, 1, 4}})}, {"pcx not run-length", RenderPcx, Edit(pcx, {{2, 1, 0}})},
      {"pcx header cut", RenderPcx, Cut(pcx, 127)},
      {"cel width 0", RenderCel, Edit(cel, {{2, 2, 0}})}, {"cel height 0", RenderCel, Edit(cel, {{4, 2, 0}})},
      {"cel not 8 bits", RenderCel, Edit(cel, {{10, 1, 4}})}, {"cel byte 11 set", RenderCel, Edit(cel, {{11, 1, 1}})},
      {"cel magic", RenderCel, Edit(cel, {{1, 1, 0x92}})},
  });
}

}  // namespace
