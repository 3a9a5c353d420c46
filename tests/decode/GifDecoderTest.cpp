// GIF rules checked on files whose LZW codes the test writes bit by bit: the
// screen fill around a smaller image, the transparent index, corrupt or
// short image data, refused headers and a huge image with little data.
// Palettes, interlace, local tables and LZW growth are covered against
// Pillow in PillowFormatsTest.
#include <gtest/gtest.h>

#include "FormatTestSupport.h"

using namespace formats_test;

namespace {

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
  unsigned minCodeSize = 2;
};

// Four-entry tables (flags 0x80 | 1).
void PutTable(Bytes& out, const Pixels& table) {
  for (uint32_t rgb : table) out.insert(out.end(), {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)});
}
// The head, the codes in sub-blocks of up to 255 bytes, the terminator and the trailer.
Bytes Gif(const GifFile& g, const Bytes& codes) {
  Bytes out = Fields(13, {{0, 4, 0x38464947}, {4, 2, 'a' << 8 | '9'}, {6, 2, uint32_t(g.screenWidth)},
                          {8, 2, uint32_t(g.screenHeight)}, {10, 1, g.global.empty() ? 0u : 0x81u},
                          {11, 1, uint32_t(g.background)}});
  PutTable(out, g.global);
  if (g.transparent >= 0) out.insert(out.end(), {0x21, 0xF9, 4, 1, 0, 0, uint8_t(g.transparent), 0});
  out.push_back(0x2C);
  for (int v : {g.left, g.top, g.width, g.height}) out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)});
  out.push_back(static_cast<uint8_t>((g.interlaced ? 0x40 : 0) | (g.local.empty() ? 0 : 0x81)));
  PutTable(out, g.local);
  out.push_back(static_cast<uint8_t>(g.minCodeSize));
  for (size_t at = 0; at < codes.size(); at += 255) {
    out.push_back(static_cast<uint8_t>(std::min<size_t>(255, codes.size() - at)));
    out.insert(out.end(), codes.begin() + at, codes.begin() + std::min(codes.size(), at + 255));
  }
  out.insert(out.end(), {0, 0x3B});
  return out;
}

const Pixels kFour = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
constexpr uint32_t u = kUntouched, kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

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
      {"background: the global table's entry", RenderGif, Gif(withGlobal, LiteralCodes({0, 1})), 6, 3, 0, framed(kBlue), 1},
      {"background: the local table's entry", RenderGif, Gif(withBoth, LiteralCodes({0, 1})), 6, 3, 0, framed(kBlue), 1},
      {"background without a global table: transparent black", RenderGif, Gif(localOnly, LiteralCodes({0, 1})), 6, 3,
       0, framed(0), 1},
      {"the transparent index loses its alpha only", RenderGif,
       Gif({.global = kFour, .transparent = 1, .width = 3}, LiteralCodes({0, 1, 2})), 3, 1, 0, {kRed, 0x0000FF00, kBlue}},
      {"the background entry is the table with transparency", RenderGif,
       Gif({.screenWidth = 2, .global = kFour, .background = 1, .transparent = 1}, LiteralCodes({3})), 2, 1, 0,
       {kWhite, 0x0000FF00}},
      {"end code before the last row", RenderGif, Gif(four, LiteralCodes({2, 3})), 4, 1, 0, {kBlue, kWhite, u, u}},
      {"code past the next free entry", RenderGif, Gif(four, PackCodes({{4, 3}, {1, 3}, {7, 3}, {2, 3}})), 4, 1, 0,
       {kGreen, u, u, u}},
      {"string code right after a clear", RenderGif, Gif(four, PackCodes({{4, 3}, {6, 3}, {1, 3}})), 4, 1, 0, {}},
      {"data ends without an end code", RenderGif, Gif(four, LiteralCodes({3}, false)), 4, 1, 0, {kWhite, u, u, u}},
      {"no data at all", RenderGif, Gif(four, {}), 4, 1, 0, {}},
      {"huge image with little data", RenderGif,
       Gif({.screenWidth = 65535, .screenHeight = 65535, .global = kFour, .background = 3, .width = 65535,
            .height = 65535, .interlaced = true},
           LiteralCodes({0, 1})),
       3, 2, 0, {kRed, kGreen, u, u, u, u}},
  };
  for (unsigned size : {0u, 9u, 12u, 255u}) {
    GifFile odd = four;
    odd.minCodeSize = size;
    cases.push_back({"minimum code size out of range", RenderGif, Gif(odd, LiteralCodes({1, 1, 1, 1})), 4, 1, 0, {}});
  }
  ExpectRenders(cases);
}

TEST(GifDecoder, RefusesFilesWithoutAnImageHeader) {
  const Bytes good = Gif({.global = kFour, .width = 2}, LiteralCodes({0, 1}));
  constexpr size_t kDescriptor = 13 + 12;
  Bytes unterminated = Cut(good, kDescriptor);
  unterminated.insert(unterminated.end(), {0x21, 0xFE, 5, 'h', 'e'});
  auto refused = [](const char* name, const Bytes& file) { return ValueCase{name, RenderGif, file, 2, 1}; };
  ExpectRenders({
      {"good", RenderGif, good, 2, 1, 0, {kRed, kGreen}},
      refused("aspect ratio set", Edit(good, {{12, 1, 49}})),
      refused("not GIF", Edit(good, {{2, 1, 'X'}})),
      refused("trailer instead of an image", Edit(good, {{kDescriptor, 1, 0x3B}})),
      refused("unknown block", Edit(good, {{kDescriptor, 1, 0}})),
      refused("header cut", Cut(good, 12)),
      refused("global table cut", Cut(good, 20)),
      refused("descriptor cut", Cut(good, kDescriptor + 5)),
      refused("extension runs off the end", unterminated),
  });
}

}  // namespace
