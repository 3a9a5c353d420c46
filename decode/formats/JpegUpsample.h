// Brings one row of a subsampled JPEG component up to the picture's width,
// and between rows up to its height.
//
// Half-rate sampling across, down or both uses the triangle filter (each
// output sample 3/4 of the nearer input and 1/4 of the farther one, edges
// repeated), the default of the common libjpeg-based decoders, so the
// pixels we produce agree with theirs.  Other ratios (thirds, quarters,
// factors that do not divide evenly) repeat the nearest sample.
#pragma once

#include <cstdint>

namespace jpeg {

struct SamplePlane {
  const uint8_t* samples;
  int stride;   // bytes per row
  int width;    // samples that belong to the picture
  int height;
  int h;        // sampling factors
  int v;
};

// Writes picture row y (width samples) of the plane into out.
void UpsampleRow(const SamplePlane& plane, int hMax, int vMax, int y, int width, uint8_t* out);

}  // namespace jpeg
