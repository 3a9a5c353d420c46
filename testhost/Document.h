// A document of the stand-in host, held in memory as the host's planes:
// one byte per pixel and plane (red, green, blue and, when present, the
// transparency plane for RGB; the index plane for Indexed), with the colour
// tables, resolution, title and image resources the module may ask for.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/HostInterface.h"

namespace testhost {

struct ImageResource {
  OSType type;
  std::vector<uint8_t> bytes;
};

struct Document {
  int16_t mode = plugInModeRGBColor;
  int16_t depth = 8;
  int32_t width = 0;
  int32_t height = 0;
  bool hasTransparency = true;  // RGB: a fourth, transparency plane
  std::vector<std::vector<uint8_t>> planes;
  uint8_t redLUT[256] = {}, greenLUT[256] = {}, blueLUT[256] = {};
  int16_t lutCount = 0;
  int16_t transparentIndex = -1;
  Fixed hres = 72 << 16;
  Fixed vres = 72 << 16;
  std::string title;  // empty: the document has none
  std::vector<ImageResource> resources;

  int PlaneCount() const { return static_cast<int>(planes.size()); }
  // Sizes the planes for the mode, width and height, all bytes zero.
  void Allocate(int planeCount);
};

// Writes the document's pixels as a PAM (P7, TUPLTYPE RGB_ALPHA, depth 4):
// red, green, blue and transparency (255 without a transparency plane).
bool WritePam(const Document& document, const std::string& path);

}  // namespace testhost
