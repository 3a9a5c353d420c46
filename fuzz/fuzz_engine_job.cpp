// Whole engine runs over arbitrary small images and options: no read or
// write outside the pixels, the kept chunks or the output buffer, and every
// successful run leaves a complete file (IEND last) in a buffer that holds
// it.  The first bytes choose the job; the rest are pixels, repeated as
// needed.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/EncodeJob.h"

namespace {

int Quiet(const char*, ...) { return 0; }

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  uint8_t Byte() { return pos < size ? data[pos++] : 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  const int width = 1 + in.Byte() % 40;
  const int height = 1 + in.Byte() % 24;
  static const int kColourTypes[] = {-1, 0, 2, 3, 4, 6, 1, 5};
  const uint8_t options = in.Byte();
  const uint8_t more = in.Byte();
  const int palcount = in.Byte() % 20;

  std::vector<uint32_t> pal(size_t(palcount) + 1);
  for (uint32_t& p : pal) p = uint32_t(in.Byte()) << 24 | uint32_t(in.Byte()) * 0x010203u;

  // One kept chunk in each stretch; sBIT of a fuzzed length is rewritten.
  const uint8_t sbitLength = in.Byte() % 6;
  std::vector<uint8_t> sbit = {0, 0, 0, sbitLength, 's', 'B', 'I', 'T'};
  for (int i = 0; i < sbitLength + 4; ++i) sbit.push_back(in.Byte());
  std::vector<uint8_t> hist = {0, 0, 0, 2, 'h', 'I', 'S', 'T', 0, 1, 0, 0, 0, 0};
  std::vector<uint8_t> text = {0, 0, 0, 1, 't', 'E', 'X', 't', 'x', 0, 0, 0, 0};
  uint8_t* chunks[] = {sbit.data(), hist.data(), text.data()};

  std::vector<uint32_t> pixels(size_t(width) * height);
  const size_t start = in.pos;
  const size_t available = size > start ? size - start : 0;
  for (size_t i = 0; i < pixels.size(); ++i) {
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v = v << 8 | (available ? data[start + (4 * i + k) % available] : 0);
    // Few distinct values most of the time, so that palettes and grey fit.
    pixels[i] = (options & 0x80) ? v : (v & 0xFF000000u) | (v & 0x3) * 0x404040u;
  }

  EncodeJob job{};
  job.pixels = pixels.data();
  job.stride = width * 4;
  job.width = width;
  job.height = height;
  job.colortype = kColourTypes[options & 7];
  job.filter = int((options >> 3) & 7) - 1;  // -1..6
  job.strategy = 2 + (more & 3) % 3;         // the fast parses and stored
  job.bitdepth = 1 << ((more >> 2) & 3);
  if (more & 0x10) job.bitdepth = 0;
  job.keeppal = (more >> 5) & 1;
  job.pal = (more & 0x40) ? pal.data() : nullptr;
  job.palcount = palcount;
  job.bkgd = (more & 0x80) ? 0xFF000000u | pal[0] : 0;
  job.mintreecodes = options & 3;
  job.numblocks = (options >> 6) & 1 ? 3 : 0;
  job.splitthreshold = (options >> 5) & 1 ? 16.0 : 0.0;
  job.chunks = chunks;
  job.chunkpre = 0;
  job.chunkmid = 1;
  job.chunkpost = 2;
  job.chunkcount = 3;
  job.print = Quiet;

  const int result = OptimizePng(&job);
  if (result != kEncodeFailed) {
    if (result > job.kbufsize) std::abort();
    static const uint8_t kIend[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    if (result < 12 || std::memcmp(job.kbuf + result - 12, kIend, 12) != 0) std::abort();
  }
  FreeEncodeBuffer(job.kbuf);
  return 0;
}
