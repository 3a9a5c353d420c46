// Shared by the tests of the GIF, CEL, TGA, BMP and PCX decoders: render a
// file into a frame of our choosing, have Pillow write files and read them
// back as the reference pixels, and the hostile-input checks every format
// must pass (cut-short files, corrupt bytes, clipped placement).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decode/DecodeFrame.h"
#include "support/Oracles.h"

namespace formats_test {

using Renderer = int (*)(const uint8_t*, size_t, const DecodeFrame&);

// What a render left in a frame, and what it returned.
struct Rendered {
  int result = 0;
  oracle::Image frame;
};

// A colour no decoder produces for these tests' files: it marks frame
// pixels that a render must have left alone.
constexpr uint32_t kUntouched = 0x5A00A55Au;

// Renders `bytes` (copied to a buffer of exactly their size, so a read past
// the end shows under AddressSanitizer) into a frameWidth x frameHeight frame
// pre-filled with `fill`, with the image's top-left corner at (x, y).
Rendered Render(Renderer render, const std::vector<uint8_t>& bytes, int frameWidth, int frameHeight,
                int x = 0, int y = 0, uint32_t fill = kUntouched);

// A file written by Pillow (or built by a test script) with the pixels
// Pillow reads back from it, as 0xAARRGGBB.
struct ReferenceFile {
  std::string name;
  std::vector<uint8_t> bytes;
  oracle::Image expected;
};

// Runs a Python script body with Pillow.  The body calls save(name, image,
// **options) to write a file through Pillow, or raw(name, bytes) to write
// bytes it built itself; either way Pillow reads the file back for the
// reference.  An optional reference= names an earlier file of the same
// picture to read instead (for files Pillow cannot read), or gives the
// picture itself (where Pillow's reader is known to be wrong).  Helpers:
// pattern_rgb(w, h, seed), pattern_rgba(w, h, seed),
// pattern_p(w, h, colours, seed), le16, le32.
std::vector<ReferenceFile> MakeReferenceFiles(const std::string& body);

// The image placed at (x, y) in a frame filled with kUntouched: the pixels
// a correct render leaves there.
oracle::Image Place(const oracle::Image& image, int frameWidth, int frameHeight, int x, int y);

// Renders the file exactly into its own size and at two clipped placements,
// and expects Pillow's pixels each time.
void ExpectMatchesReference(Renderer render, const ReferenceFile& file);

// Every prefix of the file (all of them for small files, a spread for large
// ones) renders without reading past its end; a rejection draws nothing and
// a success draws only inside the image.  With `exactPixels` every pixel
// drawn must also equal the full render's; formats where a cut changes the
// pixels it draws pass false.
void ExpectPrefixesSafe(Renderer render, const std::vector<uint8_t>& bytes, int width, int height,
                        bool exactPixels = true);

// Flips bytes after `keepHeader` at random (fixed seed) many times; each
// render stays inside the image's rectangle of a frame with a margin.
void ExpectCorruptionContained(Renderer render, const std::vector<uint8_t>& bytes, int width,
                               int height, size_t keepHeader);

// Little-endian writers for hand-built files.
void PutLe16(std::vector<uint8_t>& out, size_t at, unsigned value);
void PutLe32(std::vector<uint8_t>& out, size_t at, uint32_t value);

}  // namespace formats_test
