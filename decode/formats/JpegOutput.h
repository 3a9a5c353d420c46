// Turns the decoded coefficients into frame pixels: inverse DCT of every
// block into one sample plane per component, upsampling of subsampled
// components to the picture's size, and conversion to opaque 0xFFRRGGBB.
//
// Chroma sampled at half the rate across, down or both is upsampled with
// the triangle ("fancy") filter, 3/4 of the nearer sample and 1/4 of the
// farther, the way the usual libjpeg-based decoders do by default; every
// other ratio repeats the nearest sample.
#pragma once

#include "decode/DecodeFrame.h"
#include "decode/formats/JpegTypes.h"

namespace jpeg {

// False when the image cannot be drawn (no scan decoded).
bool WritePixels(JpegDecodeState& state, const DecodeFrame& frame);

}  // namespace jpeg
