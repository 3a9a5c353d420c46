// Shared by the tests of the GIF, CEL, TGA, BMP and PCX decoders: renders a
// file into a frame of our choosing, has Pillow write files and read them
// back as the reference pixels, and runs the hostile-input checks every
// format must pass (cut-short files, corrupt bytes, clipped placement).
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

// A colour no decoder produces for these tests' files: it marks frame
// pixels that a render must have left alone.
constexpr uint32_t kUntouched = 0x5A00A55Au;

struct Rendered {
  int result = 0;
  oracle::Image frame;
};

// Renders `bytes` (copied to a buffer of exactly their size, so a read past
// the end shows under AddressSanitizer) into a width x height frame filled
// with `fill`, with the image's top-left corner at (x, y), and expects no
// write outside the frame.
Rendered Render(Renderer render, const Bytes& bytes, int width, int height, int x = 0, int y = 0,
                uint32_t fill = kUntouched);

// The library's public entry (recognition, then the format's renderer).
int ThroughImageRender(const uint8_t* data, size_t size, const DecodeFrame& frame);

// One hand-built file, the frame it renders into (filled with `fill`, image
// corner at (x, y)), and what the render must return and leave in the frame
// (an empty `want`: nothing drawn).  Left out: a 1 x 1 frame, refused.
struct ValueCase {
  const char* name;
  Renderer render;
  Bytes file;
  int width = 1, height = 1;
  int result = -1;
  Pixels want = {};
  int x = 0, y = 0;
  uint32_t fill = kUntouched;
};
void ExpectRenders(const std::vector<ValueCase>& cases);

// A file with the pixels Pillow reads back from it, as 0xAARRGGBB.
struct ReferenceFile {
  std::string name;
  Bytes bytes;
  oracle::Image expected;
};

// Runs a Python script body with Pillow.  The body calls save(name, image,
// reference=None, **options) to write a file through Pillow, or raw(name,
// bytes, reference=None) to write bytes it built itself; Pillow reads the
// file back for the reference.  reference= names an earlier file of the
// same picture to read instead (for files Pillow cannot read), or gives the
// picture itself (where Pillow's reader is known to be wrong).  Helpers:
// pattern_rgb(w, h, seed), pattern_rgba(w, h, seed), pattern_p(w, h, colours,
// seed), le16, le32.
std::vector<ReferenceFile> MakeReferenceFiles(const std::string& body);

// The image placed at (x, y) in a frame filled with kUntouched.
oracle::Image Place(const oracle::Image& image, int frameWidth, int frameHeight, int x, int y);

// Renders the file into its own size and at two clipped placements, and
// expects Pillow's pixels each time.
void ExpectMatchesReference(Renderer render, const ReferenceFile& file);

// Every prefix of the file (a spread for large ones) renders without reading
// past its end; a rejection draws nothing and a success draws only inside
// the image, and with `exactPixels` only the full render's pixels.  Then
// random bytes after `keepHeader` are replaced (fixed seed, 200 rounds):
// each render stays inside the image's rectangle of a frame with a margin.
void ExpectDamageContained(Renderer render, const ReferenceFile& file, size_t keepHeader,
                           bool exactPixels = true);

// Little-endian field writers for hand-built files.
struct Field {
  size_t at;
  int bytes;
  uint32_t value;
};
void Put(Bytes& out, const Field& field);
Bytes Fields(size_t size, std::initializer_list<Field> fields);
Bytes Edit(Bytes file, std::initializer_list<Field> fields);
Bytes Cut(Bytes file, size_t size);

}  // namespace formats_test
