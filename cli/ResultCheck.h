// The last gate before a result stands in for its input: the file about to
// be written is read back as any reader would and compared with the source.
// A fault anywhere upstream (the engine, the optimal parser, the stream
// splice, a palette reorder) then costs the user a failed file, never a
// damaged image.
//
// The check reads the result's chunk structure (signature, CRCs, IEND,
// nothing after it), inflates every image data stream to exactly its
// layout's size and verifies each stream's zlib header and Adler-32, which
// our own decoder does not look at but other readers do.  Then it compares
// the picture, exactly and at the source's own precision:
// - a re-encoded image is rendered by the decoding library and its pixels
//   (colour and alpha, 8 bits each) must equal the source's decoded pixels;
//   a palette result must also index only entries its PLTE has;
// - a 16-bit source reduced to 8 bits is compared with its own 16-bit
//   samples (tRNS key applied), each 8-bit channel counting as v * 257;
// - an image whose format was kept (16-bit samples, animations) must keep
//   its header, palette, transparency and animation chunks, and every data
//   stream, default image and frames alike, must hold the source's samples
//   at their own depth, whatever the filters and interlacing.
// Colour interpretation (gAMA, iCCP, sRGB, ...) is never applied: both sides
// are compared as stored, so a kept colour chunk cannot hide a difference.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/SourceImage.h"

// Empty when png holds the source's picture; otherwise what is wrong, in a
// few words ("pixel (3, 7) is 0xFF102030, the input's 0xFF102031").
std::string CheckResult(const SourceImage& source, const std::vector<uint8_t>& png);
