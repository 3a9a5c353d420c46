// The DDS renderer over arbitrary bytes, into a small frame at the origin
// and shifted so that the picture is clipped.  It must answer 0 or -1 and
// stay inside the input and the frame; a refused file draws nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "decode/DecodeFrame.h"

namespace {

constexpr uint32_t kUntouched = 0x5A5A5A5Au;

void Check(bool condition) {
  if (!condition) std::abort();
}

void RenderInto(const uint8_t* data, size_t size, int width, int height, int x, int y) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, kUntouched);
  const DecodeFrame frame{pixels.data(), width * 4, width, height, x, y};
  const int status = RenderDds(data, size, frame);
  Check(status == 0 || status == -1);
  if (status == -1) {
    for (uint32_t p : pixels) Check(p == kUntouched);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RenderInto(data, size, 16, 12, 0, 0);
  RenderInto(data, size, 5, 3, -2, -1);
  return 0;
}
