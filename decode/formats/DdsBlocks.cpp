#include "decode/formats/DdsBlocks.h"

namespace dds {

namespace {

struct Colour {
  uint32_t r, g, b;
};

// 5:6:5 to 8 bits a channel, repeating the top bits in the new low bits so
// that full intensity stays 255.
Colour Expand565(uint32_t v) {
  const uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
  return {(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)};
}

Colour Mix(const Colour& a, uint32_t wa, const Colour& b, uint32_t wb) {
  const uint32_t sum = wa + wb;
  return {(a.r * wa + b.r * wb) / sum, (a.g * wa + b.g * wb) / sum, (a.b * wa + b.b * wb) / sum};
}

uint32_t Opaque(const Colour& c) { return 0xFF000000u | (c.r << 16) | (c.g << 8) | c.b; }

uint32_t Le16(const uint8_t* p) { return p[0] | (uint32_t{p[1]} << 8); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | (Le16(p + 2) << 16); }

void SetAlpha(uint32_t& pixel, uint32_t alpha) { pixel = (pixel & 0x00FFFFFFu) | (alpha << 24); }

}  // namespace

void DecodeColourBlock(const uint8_t* block, bool fourColoursOnly, BlockPixels out) {
  const uint32_t v0 = Le16(block), v1 = Le16(block + 2);
  const Colour c0 = Expand565(v0), c1 = Expand565(v1);
  uint32_t palette[4] = {Opaque(c0), Opaque(c1), 0, 0};
  if (fourColoursOnly || v0 > v1) {
    palette[2] = Opaque(Mix(c0, 2, c1, 1));
    palette[3] = Opaque(Mix(c0, 1, c1, 2));
  } else {
    palette[2] = Opaque(Mix(c0, 1, c1, 1));
    palette[3] = 0;  // transparent black
  }
  const uint32_t indices = Le32(block + 4);
  for (int i = 0; i < 16; ++i) out[i] = palette[(indices >> (2 * i)) & 3];
}

void ApplyExplicitAlpha(const uint8_t* block, BlockPixels out) {
  for (int i = 0; i < 16; ++i) {
    const uint32_t nibble = (block[i / 2] >> (4 * (i & 1))) & 15;
    SetAlpha(out[i], nibble * 17);
  }
}

void ApplyInterpolatedAlpha(const uint8_t* block, BlockPixels out) {
  const uint32_t a0 = block[0], a1 = block[1];
  uint32_t alpha[8] = {a0, a1};
  if (a0 > a1) {
    for (uint32_t i = 1; i < 7; ++i) alpha[i + 1] = ((7 - i) * a0 + i * a1) / 7;
  } else {
    for (uint32_t i = 1; i < 5; ++i) alpha[i + 1] = ((5 - i) * a0 + i * a1) / 5;
    alpha[6] = 0;
    alpha[7] = 255;
  }
  uint64_t indices = 0;
  for (int i = 5; i >= 0; --i) indices = (indices << 8) | block[2 + i];
  for (int i = 0; i < 16; ++i) SetAlpha(out[i], alpha[(indices >> (3 * i)) & 7]);
}

void Unpremultiply(BlockPixels pixels) {
  for (int i = 0; i < 16; ++i) {
    const uint32_t a = pixels[i] >> 24;
    if (a == 0) {
      pixels[i] = 0;
      continue;
    }
    uint32_t result = a << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
      const uint32_t c = (pixels[i] >> shift) & 0xFF;
      const uint32_t straight = (c * 255 + a / 2) / a;
      result |= (straight > 255 ? 255 : straight) << shift;
    }
    pixels[i] = result;
  }
}

}  // namespace dds
