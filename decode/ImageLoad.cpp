// ImageLoadFile: read a file (or archive member) whole through the stream
// layer, then size, allocate and render.  The file bytes are read in growing
// steps rather than trusting a member's declared length, and the frame size is
// checked for overflow before it is allocated.
#include <cstdlib>
#include <vector>

#include "decode/ImageDecode.h"

namespace {

constexpr size_t kReadStep = 1 << 16;
constexpr unsigned long long kMaxFrameBytes = 1ull << 31;

bool ReadWhole(StreamContext& context, std::vector<uint8_t>& bytes) {
  for (;;) {
    const size_t used = bytes.size();
    bytes.resize(used + kReadStep);
    const long long got = context.Read(bytes.data() + used, kReadStep);
    if (got < 0) return false;
    bytes.resize(used + static_cast<size_t>(got));
    if (got == 0) return true;
  }
}

}  // namespace

int ImageLoadFile(StreamContext& context, const char* name, uint32_t** frame, int* stride, int* width, int* height) {
  *frame = nullptr;
  *stride = *width = *height = 0;
  if (context.Open(name) != 0) return -1;
  std::vector<uint8_t> bytes;
  const bool read = ReadWhole(context, bytes);
  context.Close();
  if (!read) return -1;
  int w = 0, h = 0;
  ImageGetSize(bytes.data(), bytes.size(), &w, &h);
  const unsigned long long frameBytes = 4ull * static_cast<unsigned>(w) * static_cast<unsigned>(h);
  if (w <= 0 || h <= 0 || frameBytes >= kMaxFrameBytes) return -1;
  auto* pixels = static_cast<uint32_t*>(std::calloc(static_cast<size_t>(frameBytes / 4), 4));
  if (pixels == nullptr) return -1;
  if (ImageRender(bytes.data(), bytes.size(), pixels, w * 4, w, h, 0, 0) != 0) {
    std::free(pixels);
    return -1;
  }
  *frame = pixels;
  *stride = w * 4;
  *width = w;
  *height = h;
  return 0;
}

int ImageLoadFile(const char* name, uint32_t** frame, int* stride, int* width, int* height) {
  return ImageLoadFile(DefaultStreamContext(), name, frame, stride, width, height);
}

void ImageFreeFrame(uint32_t* frame) { std::free(frame); }
