// The inflater on arbitrary bytes, with and without a zlib header, fed in
// spans of varying size (the first byte picks the span size) and drained
// both piecewise and through Read.
#include <cstdint>
#include <memory>

#include "decode/Inflater.h"

namespace {

class Spans final : public InflateInput {
 public:
  Spans(const uint8_t* data, size_t size, size_t span) : m_data(data), m_size(size), m_span(span) {}
  bool Next(const uint8_t*& data, size_t& size) override {
    if (m_at >= m_size) return false;
    size = m_size - m_at < m_span ? m_size - m_at : m_span;
    data = m_data + m_at;
    m_at += size;
    return true;
  }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_span;
  size_t m_at = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t span = 1 + data[0] % 64;
  auto inflater = std::make_unique<Inflater>();
  for (bool zlibHeader : {true, false}) {
    Spans input(data + 1, size - 1, span);
    inflater->Start(&input, zlibHeader);
    const uint8_t* piece = nullptr;
    size_t length = 0;
    uint64_t total = 0;
    while (inflater->NextPiece(piece, length) == Inflater::Status::Ok && total < (64u << 20)) {
      volatile uint8_t sink = piece[0] ^ piece[length - 1];
      (void)sink;
      total += length;
    }
    Spans again(data + 1, size - 1, span);
    inflater->Start(&again, zlibHeader);
    uint8_t buffer[1000];
    while (inflater->Read(buffer, sizeof buffer) > 0 && inflater->produced() < (64u << 20)) {
    }
  }
  return 0;
}
