// Channel layout of 16- and 32-bit BMP pixels.  Each of red, green and blue
// is a field of the stored value (position of its lowest bit, width in bits),
// either the defaults (5:5:5 for 16 bits, 8:8:8 for 32) or read from the
// file's masks.  A field is moved so that its top bit lands on the top bit of
// the channel's byte of 0xAARRGGBB; narrower fields leave their low bits 0,
// wider ones keep their top eight bits.  Any alpha stored in the file is
// ignored: every pixel is opaque.
#pragma once

#include <bit>
#include <cstdint>

struct BmpField {
  unsigned position = 0;
  unsigned width = 0;

  // The run of set bits starting at the mask's lowest set bit.
  static BmpField FromMask(uint32_t mask) {
    BmpField field;
    if (mask == 0) return field;
    field.position = static_cast<unsigned>(std::countr_zero(mask));
    field.width = static_cast<unsigned>(std::countr_one(mask >> field.position));
    return field;
  }

  // The field of `value` placed at the top of the byte whose highest bit is
  // `topBit` (23 red, 15 green, 7 blue).
  uint32_t Place(uint32_t value, unsigned topBit) const {
    if (width == 0) return 0;
    const unsigned kept = width < 8 ? width : 8;
    const int shift = static_cast<int>(topBit + 1) - static_cast<int>(position + width);
    const uint32_t moved = std::rotl(value, shift);
    const uint32_t mask = ((1u << kept) - 1u) << (topBit + 1 - kept);
    return moved & mask;
  }
};

struct BmpChannels {
  BmpField red;
  BmpField green;
  BmpField blue;

  static BmpChannels Defaults(unsigned bitsPerPixel) {
    if (bitsPerPixel == 16) return {{10, 5}, {5, 5}, {0, 5}};
    return {{16, 8}, {8, 8}, {0, 8}};
  }

  static BmpChannels FromMasks(uint32_t red, uint32_t green, uint32_t blue) {
    return {BmpField::FromMask(red), BmpField::FromMask(green), BmpField::FromMask(blue)};
  }

  uint32_t ToArgb(uint32_t value) const {
    return 0xFF000000u | red.Place(value, 23) | green.Place(value, 15) | blue.Place(value, 7);
  }
};
