// The 256-entry colour table of the palette formats (GIF, BMP, PCX, CEL).
// Each decode builds its own table, so renders never share state.  An entry
// the file does not define is opaque black: a stray index in corrupt data
// then draws a defined colour instead of whatever a previous file left.
#pragma once

#include <array>
#include <cstdint>

constexpr uint32_t kOpaqueBlack = 0xFF000000u;

struct ColourTable {
  std::array<uint32_t, 256> entries;
  ColourTable() { entries.fill(kOpaqueBlack); }
  uint32_t operator[](unsigned index) const { return entries[index & 0xFF]; }
  uint32_t& operator[](unsigned index) { return entries[index & 0xFF]; }
};

// Red, green and blue bytes as an opaque 0xAARRGGBB colour.
inline uint32_t OpaqueRgb(uint32_t red, uint32_t green, uint32_t blue) {
  return kOpaqueBlack | (red << 16) | (green << 8) | blue;
}
