// The background colour held in a bKGD chunk: reading it for the image's
// colour type and storing a colour the user picked.
//
// A bKGD carries 6 bytes for an RGB image, 1 palette index byte for a palette
// image and 2 bytes for a grey one.  A chunk whose length does not fit the
// colour type it is read or written for is refused, so that neither reads
// nor writes go past its data.
#include <cstdint>

#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/GreyLevel.h"
#include "common/pngchunks/PngChunk.h"
#include "platform/MessageBox.h"

namespace chunks {
namespace {

constexpr uint32_t kRgbLength = 6;
constexpr uint32_t kIndexLength = 1;
constexpr uint32_t kGreyLength = 2;

// The palette grows to at most this many entries through a picked colour.
constexpr int kPaletteGrowthLimit = 255;

bool IsGreyColorType(int colorType) { return colorType == 0 || colorType == 4; }

}  // namespace

bool PngChunk::GetBackgroundColor(int colorType, int bitDepth, int paletteCount,
                                  const uint32_t* palette, uint16_t& r, uint16_t& g,
                                  uint16_t& b) const {
  if (!Is(kBKGD)) return false;
  const uint8_t* data = Data();
  if (m_Length == kRgbLength && bitDepth <= 8) {
    r = ReadBe16(data);
    g = ReadBe16(data + 2);
    b = ReadBe16(data + 4);
    return true;
  }
  if (colorType == 3) {
    if (m_Length != kIndexLength || palette == nullptr || data[0] >= paletteCount) return false;
    const uint32_t entry = palette[data[0]];
    r = static_cast<uint16_t>((entry >> 16) & 0xFF);
    g = static_cast<uint16_t>((entry >> 8) & 0xFF);
    b = static_cast<uint16_t>(entry & 0xFF);
    return true;
  }
  if (IsGreyColorType(colorType)) {
    uint32_t level = 0;
    if (m_Length != kGreyLength || bitDepth > 8 || !GreyLevel(ReadBe16(data), bitDepth, level)) {
      return false;
    }
    r = g = b = static_cast<uint16_t>(level);
    return true;
  }
  return false;
}

bool PngChunk::SetBackgroundColor(uint16_t r, uint16_t g, uint16_t b, int& paletteCount,
                                  uint32_t* palette, int colorType, int& bitDepth) {
  if (!Is(kBKGD)) return false;
  uint8_t* data = Data();
  const uint32_t color = 0xFF000000u | uint32_t{r & 0xFFu} << 16 | uint32_t{g & 0xFFu} << 8 |
                         uint32_t{b & 0xFFu};
  if (m_Length == kRgbLength) {
    WriteBe16(data, r);
    WriteBe16(data + 2, g);
    WriteBe16(data + 4, b);
    UpdateCrc();
    return true;
  }
  if (m_Length == kIndexLength && paletteCount > 0 && palette != nullptr) {
    // An index byte reaches only the first 256 entries.
    const int searched = paletteCount < 256 ? paletteCount : 256;
    for (int i = 0; i < searched; ++i) {
      if (palette[i] == color) {
        data[0] = static_cast<uint8_t>(i);
        UpdateCrc();
        return true;
      }
    }
    if (paletteCount >= kPaletteGrowthLimit) {
      platform::ShowMessageBox("No room in palette for selected color", "Palette overflow");
      return false;
    }
    palette[paletteCount] = color;
    data[0] = static_cast<uint8_t>(paletteCount);
    ++paletteCount;
    UpdateCrc();
    return true;
  }
  if (m_Length == kGreyLength && IsGreyColorType(colorType)) {
    bitDepth = 8;
    WriteBe16(data, r);
    UpdateCrc();
    return true;
  }
  return false;
}

}  // namespace chunks
