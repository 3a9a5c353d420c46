// The JPEG renderer over arbitrary bytes, into a small frame twice: once at
// the origin and once shifted so that the picture is clipped on every side.
// It must answer 0 or -1, stay inside the input and the frame, and write
// only opaque pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "decode/DecodeFrame.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void RenderInto(const uint8_t* data, size_t size, int width, int height, int x, int y) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0);
  const DecodeFrame frame{pixels.data(), width * 4, width, height, x, y};
  const int status = RenderJpeg(data, size, frame);
  Check(status == 0 || status == -1);
  for (uint32_t p : pixels) Check(p == 0 || (p >> 24) == 0xFF);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RenderInto(data, size, 24, 20, 0, 0);
  RenderInto(data, size, 7, 5, -3, -2);
  return 0;
}
