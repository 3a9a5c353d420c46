// Shared body of the fuzz targets of the GIF, BMP, TGA, PCX and CEL
// renderers: arbitrary bytes go into a 64x64 frame at the origin and into a
// smaller frame shifted so that the picture is clipped on every side.  A
// render must answer 0 or -1, stay inside the input and the frame (the
// sanitizers watch both), and draw nothing when it refuses the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "decode/DecodeFrame.h"

namespace format_fuzz {

using Renderer = int (*)(const uint8_t*, size_t, const DecodeFrame&);

constexpr uint32_t kUntouched = 0x5A00A55Au;

inline void Check(bool condition) {
  if (!condition) std::abort();
}

inline void RenderInto(Renderer render, const uint8_t* data, size_t size, int width, int height, int x,
                       int y) {
  // A copy of exactly `size` bytes, so a read past the end is caught.
  const std::vector<uint8_t> input(data, data + size);
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, kUntouched);
  const DecodeFrame frame{pixels.data(), width * 4, width, height, x, y};
  const int status = render(input.data(), input.size(), frame);
  Check(status == 0 || status == -1);
  if (status == -1) {
    for (uint32_t p : pixels) Check(p == kUntouched);
  }
}

inline int Run(Renderer render, const uint8_t* data, size_t size) {
  RenderInto(render, data, size, 64, 64, 0, 0);
  RenderInto(render, data, size, 7, 5, -3, -2);
  return 0;
}

}  // namespace format_fuzz
