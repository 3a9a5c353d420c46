// Round trip through the optimal parser: any bytes, compressed at a level
// the first byte picks, must inflate (our inflater) to exactly themselves.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "decode/Inflater.h"
#include "engine/deflate/OptimalDeflate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 16)) return 0;
  // Levels 1 and 2; the top level (restarts, the header searched on every
  // parse) costs seconds a run under the sanitizers, so only one first
  // byte in 256 asks for it.
  const int level = data[0] == 0xFF ? deflate::kOptimalLevelMax : deflate::kOptimalLevelMin + data[0] % 2;
  std::vector<uint8_t> zlib;
  deflate::OptimalDeflate(data + 1, size - 1, deflate::OptimalLevelSettings(level), zlib);

  WholeBufferInput input(zlib.data(), zlib.size());
  auto inflater = std::make_unique<Inflater>();
  inflater->Start(&input, true);
  std::vector<uint8_t> out(size);
  size_t got = 0;
  for (;;) {
    const long long n = inflater->Read(out.data() + got, out.size() - got);
    if (n < 0) std::abort();
    if (n == 0) break;
    got += size_t(n);
    if (got == out.size()) std::abort();  // more bytes than went in
  }
  if (got != size - 1 || !std::equal(out.begin(), out.begin() + std::ptrdiff_t(got), data + 1)) std::abort();
  return 0;
}
