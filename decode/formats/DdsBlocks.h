// The 4x4 pixel blocks of DXT-compressed (S3TC) textures: the colour half
// shared by DXT1 to DXT5, the explicit 4-bit alpha of DXT2/DXT3, the
// interpolated alpha of DXT4/DXT5, and undoing premultiplied alpha.
//
// Interpolated colours and alphas are computed on the 8-bit expanded end
// points and rounded down, the way the widespread software decoders do, so
// that our pixels agree with theirs exactly.
#pragma once

#include <cstdint>

namespace dds {

// 16 pixels of a block, row by row, as 0xAARRGGBB.
using BlockPixels = uint32_t[16];

// The 8-byte colour block.  With fourColoursOnly false (DXT1) an end-point
// pair in ascending order selects three colours and transparent black.
void DecodeColourBlock(const uint8_t* block, bool fourColoursOnly, BlockPixels out);

// Replaces the alpha of each pixel from an 8-byte explicit 4-bit alpha block.
void ApplyExplicitAlpha(const uint8_t* block, BlockPixels out);

// Replaces the alpha of each pixel from an 8-byte interpolated alpha block.
void ApplyInterpolatedAlpha(const uint8_t* block, BlockPixels out);

// Divides premultiplied colour by its alpha; fully transparent pixels
// become transparent black.
void Unpremultiply(BlockPixels pixels);

}  // namespace dds
