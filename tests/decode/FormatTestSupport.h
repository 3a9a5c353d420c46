// Shared by the decoder tests: rendering into a frame of our choosing, tables of hand-built cases,
// Pillow's files and pixels as references, the hostile-input checks every format must pass, and hand-built files.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "decode/DecodeFrame.h"
#include "support/Oracles.h"

namespace formats_test {

using Bytes = std::vector<uint8_t>;
using Pixels = std::vector<uint32_t>;
using Renderer = int (*)(const uint8_t*, size_t, const DecodeFrame&);

constexpr uint32_t kUntouched = 0x5A00A55Au;  // frame pixels a render must leave alone
struct Rendered { int result = 0; oracle::Image frame; };

// Renders an exact-size copy of `bytes` (so AddressSanitizer sees a read past the end) into a frame
// filled with `fill`, image corner at (x, y); expects no write outside the frame.
Rendered Render(Renderer render, const Bytes& bytes, int width, int height, int x = 0, int y = 0, uint32_t fill = kUntouched);
// The library's public entry (recognition, then the format's renderer).
int ThroughImageRender(const uint8_t* data, size_t size, const DecodeFrame& frame);

// A file, its frame, and what the render must return and leave in the frame (an empty `want`: the
// fill).  Left out: 1 x 1, refused.
struct ValueCase {
  const char* name;
  Bytes file;
  int width = 1, height = 1, result = -1;
  Pixels want = {};
  int x = 0, y = 0;
  uint32_t fill = kUntouched;
};
void ExpectRenders(Renderer render, const std::vector<ValueCase>& cases);

// A file with its reference pixels, as 0xAARRGGBB.
struct ReferenceFile { std::string name; Bytes bytes; oracle::Image expected; };

// Runs a Python script body with Pillow.  It calls save(name, image, reference=None, **options) or
// raw(name, bytes, reference=None); the reference pixels are the file's as Pillow reads it, or the
// picture given as `reference`.  Helpers: pattern_rgb/pattern_rgba(w, h, seed), pattern_p(w, h, colours, seed).
std::vector<ReferenceFile> MakeReferenceFiles(const std::string& body);

// The image placed at (x, y) in a frame filled with kUntouched.
oracle::Image Place(const oracle::Image& image, int frameWidth, int frameHeight, int x, int y);
// Expects the reference pixels at the file's own size and at two clipped placements.
void ExpectMatchesReference(Renderer render, const ReferenceFile& file);

// Prefixes of the file, then copies with random bytes after `keepHeader` replaced, each draw only inside
// the image's rectangle of a larger frame; a refused prefix draws nothing, an accepted one (with
// `exactPixels`) only the full render's pixels.
void ExpectDamageContained(Renderer render, const ReferenceFile& file, size_t keepHeader, bool exactPixels = true);

// Little-endian fields for hand-built files.
struct Field { size_t at; int bytes; uint32_t value; };
void Put(Bytes& out, const Field& field);
Bytes Fields(size_t size, std::initializer_list<Field> fields);  // zeros, then the fields
Bytes Edit(Bytes file, std::initializer_list<Field> fields);
Bytes Cut(Bytes file, size_t size);

using oracle::PngFile;

}  // namespace formats_test
