// Running the engine in tests, whole jobs or one stage on a context of its
// own, with every printed piece and poll recorded (the callbacks are plain
// function pointers, so the recording lives in one place).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "engine/EncodeJob.h"
#include "engine/EngineContext.h"
#include "support/Oracles.h"

namespace enginetest {

using Bytes = std::vector<uint8_t>;
using Image = oracle::Image;

struct Recorder {
  std::vector<std::string> pieces;
  std::vector<int> polls;             // every checkpoint code, in order
  std::function<int(int)> answer;     // null: never stop
  std::function<void(int)> onPoll;    // sees each checkpoint before answering

  std::string Text() const { return std::accumulate(pieces.begin(), pieces.end(), std::string()); }
  int Count(const std::string& piece) const { return int(std::count(pieces.begin(), pieces.end(), piece)); }
  int PollCount(int code) const { return int(std::count(polls.begin(), polls.end(), code)); }
  std::string Last() const { return pieces.empty() ? std::string() : pieces.back(); }
};

inline Recorder& Rec() {
  static Recorder recorder;
  return recorder;
}

inline int RecordPrint(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Rec().pieces.emplace_back(text);
  return 0;
}

inline int RecordPoll(int code) {
  Rec().polls.push_back(code);
  if (Rec().onPoll) Rec().onPoll(code);
  return Rec().answer ? Rec().answer(code) : 0;
}

// Byte strings for the compressor: uniform over an alphabet, and words.
inline Bytes RandomBytes(size_t n, uint32_t seed, int alphabet = 256) {
  std::mt19937 rng(seed);
  Bytes v(n);
  for (uint8_t& b : v) b = uint8_t(rng() % unsigned(alphabet));
  return v;
}

inline Bytes FromString(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes Text(size_t n, uint32_t seed = 5) {
  const std::string words[] = {"the ", "quick ", "brown ", "fox ", "jumps ", "over ", "lazy ", "dog ", "\n", "a "};
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < n) s += words[rng() % 10];
  return FromString(s.substr(0, n));
}

inline Image MakeImage(int width, int height, const std::function<uint32_t(int x, int y)>& pixel) {
  Image img{width, height, {}};
  for (int i = 0; i < width * height; ++i) img.pixels.push_back(pixel(i % width, i / width));
  return img;
}

inline uint32_t Noise(uint32_t x, uint32_t y, uint32_t seed = 1) {
  uint32_t h = x * 0x9E3779B1u ^ (y + seed) * 0x85EBCA77u;
  h = (h ^ h >> 15) * 0xC2B2AE3Du;
  return h ^ (h >> 13);
}
inline uint32_t Grey(int level, int alpha = 255) { return uint32_t(alpha) << 24 | uint32_t(level) * 0x010101u; }
inline uint32_t Rgb(int r, int g, int b, int alpha = 255) {
  return uint32_t(alpha) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

// The job fields tests set; the rest keep the defaults (all automatic).
struct Options {
  int colortype = -1, bitdepth = 0, filter = -1, numblocks = 0, strategy = 0, verbose = 0, keeppal = 0, kbufsize = 0;
  double splitthreshold = 256.0;
  uint32_t bkgd = 0;
  const std::vector<uint32_t>* pal = nullptr;
};

inline EncodeJob MakeJob(Image& img, const Options& o = {}) {
  EncodeJob job{};
  job.pixels = img.pixels.data(), job.stride = img.width * 4, job.width = img.width, job.height = img.height;
  job.colortype = o.colortype, job.bitdepth = o.bitdepth, job.filter = o.filter, job.numblocks = o.numblocks;
  job.strategy = o.strategy, job.verbose = o.verbose, job.keeppal = o.keeppal, job.kbufsize = o.kbufsize;
  job.splitthreshold = o.splitthreshold, job.bkgd = o.bkgd;
  job.pal = o.pal ? const_cast<uint32_t*>(o.pal->data()) : nullptr, job.palcount = o.pal ? int(o.pal->size()) : 0;
  job.print = RecordPrint, job.poll = RecordPoll;
  return job;
}

struct RunResult {
  int result = kEncodeFailed;
  Bytes png;  // the first min(result, kbufsize) bytes of kbuf
  std::vector<oracle::Chunk> chunks;
  EncodeJob job;                  // as the run left it (kbuf released)
  std::vector<uint32_t> outpal;   // copied while valid
};

// Runs the job (on the given context, else through the one-at-a-time entry)
// with fresh recordings (the hooks stay), copies the file out, lists its
// chunks (every CRC checked, IEND last) and frees the buffer.
inline RunResult RunJob(EncodeJob& job, EngineContext* ctx = nullptr) {
  Rec().pieces.clear(), Rec().polls.clear();
  RunResult out;
  out.result = ctx ? OptimizePngInContext(*ctx, &job) : OptimizePng(&job);
  if (out.result != kEncodeFailed && job.kbuf)
    out.png.assign(job.kbuf, job.kbuf + std::min(out.result, job.kbufsize));
  const Bytes iend = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};  // always the last 12 bytes
  if (out.result != kEncodeFailed && out.result <= job.kbufsize) {
    EXPECT_TRUE(oracle::ListChunks(out.png, out.chunks) && out.png.size() >= 12 && Bytes(out.png.end() - 12, out.png.end()) == iend);
  }
  if (job.outpal) out.outpal.assign(job.outpal, job.outpal + std::clamp(job.outpalcount, 0, 256));
  FreeEncodeBuffer(job.kbuf);
  job.kbuf = nullptr, out.job = job;
  return out;
}

inline RunResult Encode(Image img, const Options& o = {}) {
  EncodeJob job = MakeJob(img, o);
  return RunJob(job);
}

// libpng decodes the file to exactly the image's pixels.
inline ::testing::AssertionResult DecodesTo(const Bytes& png, const Image& img) {
  Image decoded;
  std::string error;
  if (!oracle::DecodePng(png, decoded, &error)) return ::testing::AssertionFailure() << "libpng: " << error;
  if (decoded.width != img.width || decoded.height != img.height) return ::testing::AssertionFailure() << "size";
  for (size_t i = 0; i < img.pixels.size(); ++i)
    if (decoded.pixels[i] != img.pixels[i]) return ::testing::AssertionFailure() << "pixel " << i;
  return ::testing::AssertionSuccess();
}

inline Bytes InflatedIdat(const Bytes& png) {
  Bytes raw;
  EXPECT_TRUE(oracle::InflateIdat(png, raw));
  return raw;
}

// The filter type byte of every row of the image data.
inline Bytes FilterBytes(const Bytes& png, size_t rowLength) {
  Bytes raw = InflatedIdat(png), types;
  for (size_t p = 0; p < raw.size(); p += rowLength) types.push_back(raw[p]);
  return types;
}

// Chunk records whose CRC comes from zlib, not the engine's table, so that
// the oracle's check of the output judges the writer.
using oracle::RawChunk;

inline std::vector<std::string> ChunkTypes(const std::vector<oracle::Chunk>& chunks) {
  std::vector<std::string> types;
  for (const oracle::Chunk& c : chunks) types.push_back(c.type);
  return types;
}

inline const oracle::Chunk* FindChunk(const std::vector<oracle::Chunk>& chunks, const std::string& type) {
  for (const oracle::Chunk& c : chunks)
    if (c.type == type) return &c;
  return nullptr;
}

inline std::string StoredLine(int size) {
  char line[64];
  snprintf(line, sizeof line, "Out:%8d bytes (stored)", size);
  return line;
}

// The block ends the verbose report printed after "Out:\nBlock boundaries: ".
inline std::vector<size_t> ReportedBoundaries() {
  const auto& p = Rec().pieces;
  std::vector<size_t> ends;
  auto it = std::find(p.begin(), p.end(), "Out:\nBlock boundaries: ");
  if (it == p.end()) return ends;
  for (++it; it != p.end() && it->rfind(" (", 0) != 0; ++it)
    if (*it != "," && *it != "none") ends.push_back(std::stoul(*it, nullptr, 16));
  return ends;
}

// One context and job for a single stage (analysis, palette, splitter) over
// the given pixels, every choice automatic.
class StageHarness {
 public:
  StageHarness(const std::vector<uint32_t>& pixels, int width, int colortype = -1)
      : m_image{width, width ? int(pixels.size()) / width : 0, pixels},
        m_job(MakeJob(m_image, {.colortype = colortype})),
        m_ctx(new EngineContext) {
    Rec() = Recorder{};
    m_ctx->job = &m_job, m_ctx->print = RecordPrint, m_ctx->poll = RecordPoll;
    Sync();
  }
  EncodeJob& job() { return m_job; }
  EngineContext& ctx() { return *m_ctx; }
  int polls() const { return Rec().PollCount(1); }
  // Answers non-zero at the given poll(1) call, counted from 0.
  void StopAtPoll(int call) {
    Rec().answer = [call](int code) { return code == 1 && Rec().PollCount(1) - 1 == call ? 1 : 0; };
  }
  // The driver's working copies of the job's choices (its stage 1).
  void Sync() {
    m_ctx->colortype = m_job.colortype, m_ctx->filter = m_job.filter;
    m_ctx->bitdepth = m_job.bitdepth, m_ctx->palcount = m_job.palcount;
  }

 private:
  Image m_image;
  EncodeJob m_job;
  std::unique_ptr<EngineContext> m_ctx;
};

}  // namespace enginetest
