#include "decode/formats/JpegOutput.h"

#include <algorithm>
#include <vector>

#include "decode/formats/JpegIdct.h"
#include "decode/formats/JpegUpsample.h"

namespace jpeg {

namespace {

enum class ColourModel { Grey, YCbCr, Rgb, Cmyk, Ycck };

// The same precedence as libjpeg, so files with conflicting markers look the
// same here as elsewhere: JFIF means YCbCr, then the Adobe transform flag
// decides, then component ids 'R', 'G', 'B' mean RGB.
ColourModel ChooseModel(const Frame& frame, const ColourHints& hints) {
  if (frame.componentCount == 1) return ColourModel::Grey;
  if (frame.componentCount == 4) return hints.adobe && hints.adobeTransform != 0 ? ColourModel::Ycck : ColourModel::Cmyk;
  if (hints.jfif) return ColourModel::YCbCr;
  if (hints.adobe) return hints.adobeTransform == 0 ? ColourModel::Rgb : ColourModel::YCbCr;
  const auto& c = frame.components;
  if (c[0].id == 'R' && c[1].id == 'G' && c[2].id == 'B') return ColourModel::Rgb;
  return ColourModel::YCbCr;
}

uint8_t Clamp(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// YCbCr to RGB in 16-bit fixed point with the ITU-R BT.601 full-range
// factors, rounded like the reference decoder so results agree exactly.
struct Rgb {
  uint8_t r, g, b;
};
Rgb FromYCbCr(int y, int cb, int cr) {
  constexpr int kHalf = 1 << 15;
  cb -= 128;
  cr -= 128;
  const int r = y + ((91881 * cr + kHalf) >> 16);                 // 1.40200
  const int g = y + ((-22554 * cb - 46802 * cr + kHalf) >> 16);   // 0.34414, 0.71414
  const int b = y + ((116130 * cb + kHalf) >> 16);                // 1.77200
  return {Clamp(r), Clamp(g), Clamp(b)};
}

// Ink-free amounts (255 = no ink) of a CMYK pixel, multiplied out.
uint8_t InkFree(int colour, int black) { return static_cast<uint8_t>((colour * black + 127) / 255); }

uint32_t ToArgb(ColourModel model, bool adobeInverted, const uint8_t* s) {
  uint8_t r = s[0], g = s[0], b = s[0];
  switch (model) {
    case ColourModel::Grey: break;
    case ColourModel::Rgb: g = s[1]; b = s[2]; break;
    case ColourModel::YCbCr: {
      const Rgb c = FromYCbCr(s[0], s[1], s[2]);
      r = c.r; g = c.g; b = c.b;
      break;
    }
    case ColourModel::Cmyk: {
      // Adobe writes CMYK inverted (255 = no ink); other writers store ink.
      const int k = adobeInverted ? s[3] : 255 - s[3];
      r = InkFree(adobeInverted ? s[0] : 255 - s[0], k);
      g = InkFree(adobeInverted ? s[1] : 255 - s[1], k);
      b = InkFree(adobeInverted ? s[2] : 255 - s[2], k);
      break;
    }
    case ColourModel::Ycck: {
      // The YCC part carries the complement of the inverted C, M and Y.
      const Rgb c = FromYCbCr(s[0], s[1], s[2]);
      r = InkFree(255 - c.r, s[3]);
      g = InkFree(255 - c.g, s[3]);
      b = InkFree(255 - c.b, s[3]);
      break;
    }
  }
  return 0xFF000000u | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
}

// The component's samples, one byte each, in rows of blocksWide * 8.
// Every component has its store once any scan has been decoded.
std::vector<uint8_t> InverseTransform(Component& comp) {
  const int planeStride = comp.blocksWide * 8;
  std::vector<uint8_t> plane(static_cast<size_t>(planeStride) * comp.blocksHigh * 8);
  for (int by = 0; by < comp.blocksHigh; ++by) {
    for (int bx = 0; bx < comp.blocksWide; ++bx) {
      uint8_t* out = plane.data() + static_cast<size_t>(by) * 8 * planeStride + static_cast<size_t>(bx) * 8;
      InverseDct(comp.Block(bx, by), comp.quant.data(), out, planeStride);
    }
  }
  return plane;
}

}  // namespace

bool WritePixels(JpegDecodeState& state, const DecodeFrame& frame) {
  Frame& f = state.frame;
  if (!f.present || state.scansDecoded == 0) return false;
  const int n = f.componentCount;
  std::vector<uint8_t> planes[kMaxComponents];
  std::vector<SamplePlane> views(n);
  for (int c = 0; c < n; ++c) {
    planes[c] = InverseTransform(f.components[c]);
    const Component& comp = f.components[c];
    views[c] = SamplePlane{planes[c].data(), comp.blocksWide * 8, comp.width, comp.height, comp.h, comp.v};
  }

  // Only the rows that land inside the frame are formed.
  const int firstRow = std::max(0, -frame.y);
  const int endRow = static_cast<int>(std::min<long long>(f.height, static_cast<long long>(frame.height) - frame.y));
  const ColourModel model = ChooseModel(f, state.colour);
  std::vector<uint8_t> rows[kMaxComponents];
  for (int c = 0; c < n; ++c) rows[c].resize(f.width);
  for (int y = firstRow; y < endRow; ++y) {
    for (int c = 0; c < n; ++c) UpsampleRow(views[c], f.hMax, f.vMax, y, f.width, rows[c].data());
    for (int x = 0; x < f.width; ++x) {
      uint8_t s[kMaxComponents] = {};
      for (int c = 0; c < n; ++c) s[c] = rows[c][x];
      frame.Put(x, y, ToArgb(model, state.colour.adobe, s));
    }
  }
  return true;
}

}  // namespace jpeg
