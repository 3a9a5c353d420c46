// Size query and render of arbitrary bytes into small frames at several
// placements: nothing may be read outside the input or written outside the
// frame (the frame sits inside a guarded buffer that is checked afterwards).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "decode/ImageDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int width = 0, height = 0;
  ImageGetSize(data, size, &width, &height);

  constexpr int kFrame = 24;
  constexpr int kMargin = 2;
  constexpr int kBuffer = kFrame + 2 * kMargin;
  constexpr uint32_t kGuard = 0xDEADBEEF;
  const int placements[][2] = {{0, 0}, {-5, 3}, {7, -9}};
  for (const auto& at : placements) {
    std::vector<uint32_t> buffer(kBuffer * kBuffer, kGuard);
    uint32_t* frame = buffer.data() + kMargin * kBuffer + kMargin;
    ImageRender(data, size, frame, kBuffer * 4, kFrame, kFrame, at[0], at[1]);
    for (int y = 0; y < kBuffer; ++y)
      for (int x = 0; x < kBuffer; ++x) {
        const bool inside = x >= kMargin && y >= kMargin && x < kMargin + kFrame && y < kMargin + kFrame;
        if (!inside && buffer[y * kBuffer + x] != kGuard) std::abort();
      }
  }
  return 0;
}
