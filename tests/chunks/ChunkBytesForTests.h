// Raw chunks, small PNG files and an extraction job for the chunk model's
// tests.  CRCs come from zlib, not from the code under test, and every chunk
// or file lives in its own exactly-sized heap block, so that the sanitizer
// build catches any read past its end.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/pngchunks/ExtractChunks.h"
#include "engine/EncodeJob.h"
#include "support/Oracles.h"

namespace chunktest {

using Bytes = std::vector<uint8_t>;

inline uint32_t Be32(const uint8_t* p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; }

// The characters of a literal, embedded zero bytes included: Text("k\0v").
template <size_t N>
Bytes Text(const char (&text)[N]) {
  return Bytes(text, text + N - 1);
}

using oracle::RawChunk;  // length, type, data, zlib's CRC over type and data

inline std::string TypeOf(const uint8_t* raw) { return std::string(reinterpret_cast<const char*>(raw + 4), 4); }

// A PNG: signature, IHDR (1 x 1, the given colour type and depth), then the
// chunks added.  OffsetOf(n) is where the n-th chunk added starts (0: IHDR).
class PngBuilder {
 public:
  PngBuilder(uint8_t colorType, uint8_t bitDepth) { Add("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, bitDepth, colorType, 0, 0, 0}); }
  PngBuilder& Add(std::string_view type, const Bytes& data) {
    const Bytes raw = RawChunk(type, data);
    m_offsets.push_back(m_bytes.size());
    m_bytes.insert(m_bytes.end(), raw.begin(), raw.end());
    return *this;
  }
  size_t OffsetOf(size_t n) const { return m_offsets.at(n); }
  Bytes Build() const { return Bytes(m_bytes.begin(), m_bytes.end()); }  // exactly sized

 private:
  Bytes m_bytes = {137, 80, 78, 71, 13, 10, 26, 10};
  std::vector<size_t> m_offsets;
};

// A job as the write path prepares it: a 256-entry palette table and a
// zero-filled array of room for the kept chunks.
struct Extraction {
  EncodeJob job{};
  std::vector<uint32_t> palette = std::vector<uint32_t>(256, 0);
  std::vector<uint8_t*> array = std::vector<uint8_t*>(chunks::kMaxExtractedChunks, nullptr);
  uint8_t colorType = 0xEE, bitDepth = 0xEE;

  Extraction() {
    job.pal = palette.data();
    job.chunks = array.data();
  }
  void Run(Bytes& png, const char* keep) { chunks::ExtractChunks(job, png.data(), png.size(), keep, colorType, bitDepth); }
  std::vector<std::string> KeptTypes() const {
    std::vector<std::string> types;
    for (int i = 0; i < job.chunkcount; ++i) types.push_back(TypeOf(job.chunks[i]));
    return types;
  }
  std::vector<int> Bounds() const { return {job.chunkpre, job.chunkmid, job.chunkpost, job.chunkcount}; }
  bool KeptInside(const Bytes& png) const {  // every kept chunk lies whole inside png
    for (int i = 0; i < job.chunkcount; ++i) {
      const uint8_t* raw = job.chunks[i];
      if (raw < png.data() || raw > png.data() + png.size()) return false;
      if (uint64_t{Be32(raw)} + 12 > static_cast<uint64_t>(png.data() + png.size() - raw)) return false;
    }
    return true;
  }
};

}  // namespace chunktest
