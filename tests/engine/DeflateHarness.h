// Drives the compressor directly, pass after pass, over a byte string (no
// PNG around it), and decodes what it wrote with the independent tracing
// decoder, so that tests see the blocks, headers and tokens of the stream.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/DeflateTrace.h"
#include "engine/EngineContext.h"
#include "engine/PngWriter.h"
#include "engine/deflate/BlockWriter.h"

namespace deflate_test {

inline int QuietPrint(const char*, ...) { return 0; }
inline int NeverStop(int) { return 0; }

class DeflateHarness {
 public:
  explicit DeflateHarness(int strategy, int mintreecodes = 0) {
    m_job.strategy = strategy;
    m_job.mintreecodes = mintreecodes;
    m_job.print = &QuietPrint;
    m_job.poll = &NeverStop;
    m_ctx.job = &m_job;
    m_ctx.print = &QuietPrint;
    m_ctx.poll = &NeverStop;
    BuildCrcTable(m_ctx);
    SetBlockEnds({});
  }

  // Ends of every block but the last (which runs to the end of the data);
  // every block starts from the start code of the first pass.
  void SetBlockEnds(const std::vector<int32_t>& ends) {
    m_ctx.deflate.numBlocks = int(ends.size()) + 1;
    for (size_t k = 0; k < ends.size(); ++k) m_ctx.deflate.blocks[k].end = ends[k];
    for (int k = 0; k < m_ctx.deflate.numBlocks; ++k) SetStartCode(m_ctx.deflate.blocks[k].lengths);
  }

  // The code block k is written with in the next pass (320 entries).
  int32_t* BlockLengths(int k) { return m_ctx.deflate.blocks[k].lengths; }

  // One compression pass; the lengths it computes are used by the next.
  // True when the stream decodes and inflates back to data.
  bool Pass(const std::vector<uint8_t>& data) {
    m_buffer.assign(data.size() * 2 + 65536, 0);
    m_job.kbuf = m_buffer.data();
    m_job.kbufsize = int(m_buffer.size());
    m_ctx.idatStart = 0;
    m_ctx.outPos = 4;  // the IDAT length field
    deflate::DeflateStart(m_ctx);
    for (uint8_t b : data) deflate::DeflateByte(m_ctx, b);
    deflate::DeflateFinish(m_ctx);
    EXPECT_LE(m_ctx.outPos, m_job.kbufsize);
    std::vector<uint8_t> inflated;
    const size_t zlibStart = 8;  // length field and "IDAT"
    if (!oracle::TraceZlib(m_buffer.data() + zlibStart, size_t(m_ctx.outPos) - zlibStart, blocks, inflated,
                           &error)) {
      return false;
    }
    if (inflated != data) {
      error = "inflated bytes differ";
      return false;
    }
    return true;
  }

  std::vector<oracle::DeflateToken> AllTokens() const {
    std::vector<oracle::DeflateToken> all;
    for (const oracle::TracedBlock& b : blocks) all.insert(all.end(), b.tokens.begin(), b.tokens.end());
    return all;
  }

  // Bits of the symbols of a traced dynamic block under its own code.
  static int64_t DataBits(const oracle::TracedBlock& block, const std::vector<oracle::DeflateToken>& tokens);

  // The zlib stream of the last pass: after the length field and "IDAT",
  // before the chunk's CRC and the IEND chunk the writer closes with.
  std::vector<uint8_t> ZlibStream() const {
    return std::vector<uint8_t>(m_buffer.begin() + 8, m_buffer.begin() + m_ctx.outPos - 16);
  }

  EngineContext& ctx() { return m_ctx; }
  int32_t savedBits() const { return m_ctx.deflate.savedBits; }
  int64_t streamBytes() const { return m_ctx.outPos; }

  std::vector<oracle::TracedBlock> blocks;
  std::string error;

 private:
  void SetStartCode(int32_t* lengths) const {
    for (int i = 0; i < deflate::kSymbols; ++i) lengths[i] = 0;
    if (m_job.strategy >= 3) {
      for (int i = 0; i < 256; ++i) lengths[i] = 8;
      lengths[128] = 9;
      lengths[256] = 9;
      return;
    }
    for (int i = 0; i < 286; ++i) lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 282 ? 7 : 8;
    for (int d = 0; d < 30; ++d) lengths[deflate::kDistanceBase + d] = d < 2 ? 4 : 5;
  }

  EncodeJob m_job{};
  EngineContext m_ctx;
  std::vector<uint8_t> m_buffer;
};

inline int64_t DeflateHarness::DataBits(const oracle::TracedBlock& block,
                                        const std::vector<oracle::DeflateToken>& tokens) {
  static constexpr int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                          31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static constexpr int kDistBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,
                                        33,   49,   65,   97,   129,  193,   257,   385,   513,   769,
                                        1025, 1537, 2049, 3073, 4097, 6145,  8193,  12289, 16385, 24577};
  int64_t bits = 0;
  for (const oracle::DeflateToken& t : tokens) {
    if (t.length == 1) {
      bits += block.litLenLengths[size_t(t.value)];
      continue;
    }
    int lc = 28;
    while (lc > 0 && (kLengthBase[lc] > t.length || (lc == 28 && t.length != 258))) --lc;
    int dc = 29;
    while (kDistBase[dc] > t.value) --dc;
    const int lengthExtra = (lc >= 8 && lc < 28) ? (lc - 4) / 4 : 0;
    const int distExtra = dc >= 4 ? (dc - 2) / 2 : 0;
    bits += block.litLenLengths[size_t(257 + lc)] + lengthExtra + block.distanceLengths[size_t(dc)] + distExtra;
  }
  return bits;
}

}  // namespace deflate_test
