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
  int components = 3;             // 1 grey, 3 colour
  bool rgbColourSpace = false;    // store R, G, B instead of YCbCr
  int h[3] = {1, 1, 1};           // sampling factors per component
  int v[3] = {1, 1, 1};
  bool progressive = false;
  unsigned restartInterval = 0;   // MCUs per interval, 0 for none
  bool optimizeHuffman = false;
};

bool LibjpegAvailable();

// Encodes width x height pixels given as R, G, B bytes (grey files take
// the R byte).  Empty when libjpeg cannot be loaded.
std::vector<uint8_t> WriteJpegWithLibjpeg(const std::vector<uint8_t>& rgb, int width, int height,
                                          const JpegWriteOptions& options);

}  // namespace oracle
