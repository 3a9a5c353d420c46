// Round trip through the optimal parser: any bytes, compressed at a level
// the first byte picks, must inflate (our inflater) to exactly themselves.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "decode/Inflater.h"
#include "engine/deflate/OptimalDeflate.h"

namespace {

class Whole final : public InflateInput {
 public:
  explicit Whole(const std::vector<uint8_t>& data) : m_data(data) {}
  bool Next(const uint8_t*& data, size_t& size) override {
    if (m_done || m_data.empty()) return false;
    m_done = true;
    data = m_data.data();
    size = m_data.size();
    return true;
  }

 private:
  const std::vector<uint8_t>& m_data;
  bool m_done = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 16)) return 0;
  // The top levels only on short inputs, so that each run stays quick.
  const int span = size < 512 ? deflate::kOptimalLevelMax : 3;
  const int level = deflate::kOptimalLevelMin + data[0] % span;
  std::vector<uint8_t> zlib;
  deflate::OptimalDeflate(data + 1, size - 1, deflate::OptimalLevelSettings(level), zlib);

  Whole input(zlib);
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
