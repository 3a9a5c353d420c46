// Writes JPEG files with libjpeg-turbo itself, for the cases Pillow cannot
// ask for: restart intervals, arbitrary sampling factors, RGB colour space.
// The library is loaded at run time (libjpeg.so.62), so the test suites need
// no extra link dependency; Available() is false when it is not installed.
#pragma once

#include <cstdint>
#include <vector>

namespace oracle {

struct JpegWriteOptions {
  int quality = 90;
  int components = 3;             // 1 grey, 3 colour, 4 CMYK
  bool rgbColourSpace = false;    // 3 components: store R, G, B instead of YCbCr
  bool ycck = false;              // 4 components: store YCCK instead of CMYK
  int h[4] = {1, 1, 1, 1};        // sampling factors per component
  int v[4] = {1, 1, 1, 1};
  bool progressive = false;
  unsigned restartInterval = 0;   // MCUs per interval, 0 for none
  bool optimizeHuffman = false;
};

bool LibjpegAvailable();

// Encodes width x height pixels given as R, G, B bytes.  Grey files take
// the R byte; CMYK files take R, G, B and R xor G as their four channels
// (libjpeg marks them Adobe, so 255 means no ink).  Empty when libjpeg
// cannot be loaded.
std::vector<uint8_t> WriteJpegWithLibjpeg(const std::vector<uint8_t>& rgb, int width, int height,
                                          const JpegWriteOptions& options);

}  // namespace oracle
