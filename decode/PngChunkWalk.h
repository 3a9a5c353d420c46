// PNG chunk walk: everything the PNG decoder needs to know before the image
// data starts.  It checks the signature, reads IHDR, builds the 256-entry
// colour table (grey ramp or palette, with tRNS alpha) and the RGB colour key,
// and stops at the first IDAT.  Other chunks are skipped unread.
//
// Every chunk is bounds-checked against the data before it is read, so a file
// that ends before an IDAT is rejected rather than read past.  The header is
// restricted to the colour type / bit depth pairs PNG defines at 8 bits or
// less; 16-bit images are rejected.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/Inflater.h"

struct PngImageInfo {
  int width = 0;
  int height = 0;
  int bitDepth = 0;
  int colorType = 0;
  bool interlaced = false;
  // 0xAARRGGBB per sample value (grey types) or palette index.  Entries no
  // chunk has set are opaque black.
  uint32_t colors[256] = {};
  int paletteCount = 0;
  // RGB images: the tRNS colour as 0xFFRRGGBB, or 0 (which no opaque pixel
  // equals) when there is none.
  uint32_t colorKey = 0;
  size_t firstIdat = 0;  // offset of the first IDAT chunk's length field
};

// Opaque black: the colour of palette indices no PLTE entry defines.
constexpr uint32_t kUndefinedPaletteColor = 0xFF000000;

// Fills info from the chunks before the image data.  Returns 0, or -1 for a
// wrong signature, an unsupported or malformed IHDR, or no IDAT in the data.
int WalkPngChunks(const uint8_t* data, size_t size, PngImageInfo& info);

// Hands the inflater the data of the consecutive IDAT chunks starting at
// firstIdat, each clipped to the bytes that are really there.
class IdatInput final : public InflateInput {
 public:
  IdatInput(const uint8_t* data, size_t size, size_t firstIdat)
      : m_data(data), m_size(size), m_next(firstIdat) {}
  bool Next(const uint8_t*& data, size_t& size) override;

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_next;
};
