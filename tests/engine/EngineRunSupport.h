// Running whole jobs through OptimizePng in tests: a job over a test image
// with the write path's defaults, every printed piece captured (formatted
// with vsnprintf), a scriptable poll, and the output copied out of kbuf
// before the buffer is released.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/EncodeJob.h"
#include "support/Oracles.h"

namespace spinetest {

// The callbacks are plain function pointers, so what they record lives here;
// a suite runs one test at a time.
struct Recorder {
  std::vector<std::string> pieces;
  std::vector<int> polls;                // every checkpoint code, in order
  std::function<int(int)> answer;        // null: never stop
  std::function<void(int)> onPoll;       // sees each checkpoint before answering

  std::string Text() const {
    std::string all;
    for (const std::string& p : pieces) all += p;
    return all;
  }
  int Count(const std::string& piece) const {
    int n = 0;
    for (const std::string& p : pieces) n += p == piece;
    return n;
  }
  int PollCount(int code) const {
    int n = 0;
    for (int c : polls) n += c == code;
    return n;
  }
};

inline Recorder& TheRecorder() {
  static Recorder recorder;
  return recorder;
}

inline int RecordPrint(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  TheRecorder().pieces.emplace_back(text);
  return 0;
}

inline int RecordPoll(int code) {
  Recorder& r = TheRecorder();
  r.polls.push_back(code);
  if (r.onPoll) r.onPoll(code);
  return r.answer ? r.answer(code) : 0;
}

// An image of 0xAARRGGBB pixels, rows packed.
using Image = oracle::Image;

inline Image MakeImage(int width, int height, const std::function<uint32_t(int x, int y)>& pixel) {
  Image img;
  img.width = width;
  img.height = height;
  img.pixels.resize(size_t(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) img.pixels[size_t(y) * width + x] = pixel(x, y);
  }
  return img;
}

// Deterministic pseudo-random words for test images.
inline uint32_t Noise(uint32_t x, uint32_t y, uint32_t seed = 1) {
  uint32_t h = x * 0x9E3779B1u ^ (y + seed) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0xC2B2AE3Du;
  h ^= h >> 13;
  return h;
}

// A job over img with the write path's defaults: everything automatic,
// strategy 0, split threshold 256.
inline EncodeJob DefaultJob(Image& img) {
  EncodeJob job{};
  job.pixels = img.pixels.data();
  job.stride = img.width * 4;
  job.width = img.width;
  job.height = img.height;
  job.filter = -1;
  job.colortype = -1;
  job.bitdepth = 0;
  job.strategy = 0;
  job.splitthreshold = 256.0;
  job.print = RecordPrint;
  job.poll = RecordPoll;
  return job;
}

struct RunResult {
  int result = kEncodeFailed;
  std::vector<uint8_t> png;  // the first min(result, kbufsize) bytes of kbuf
};

// Runs the job with fresh recordings and copies the file out of kbuf; the
// engine's buffer is released afterwards (the job's kbuf is left dangling
// and set to null).
inline RunResult RunJob(EncodeJob& job) {
  Recorder& r = TheRecorder();
  r.pieces.clear();
  r.polls.clear();
  RunResult out;
  out.result = OptimizePng(&job);
  if (out.result != kEncodeFailed && job.kbuf) {
    const int n = out.result < job.kbufsize ? out.result : job.kbufsize;
    out.png.assign(job.kbuf, job.kbuf + n);
  }
  FreeEncodeBuffer(job.kbuf);
  job.kbuf = nullptr;
  return out;
}

// A raw chunk record as the chunk model hands it over.
inline std::vector<uint8_t> RawChunk(const std::string& type, const std::vector<uint8_t>& data) {
  const uint32_t n = uint32_t(data.size());
  std::vector<uint8_t> c(12 + data.size());
  c[0] = uint8_t(n >> 24);
  c[1] = uint8_t(n >> 16);
  c[2] = uint8_t(n >> 8);
  c[3] = uint8_t(n);
  for (size_t i = 0; i < 4 && i < type.size(); ++i) c[4 + i] = uint8_t(type[i]);
  for (size_t i = 0; i < data.size(); ++i) c[8 + i] = data[i];
  // A correct CRC, so that the oracle's check of the output judges the writer.
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 4; i < 8 + data.size(); ++i) {
    crc ^= c[i];
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  crc ^= 0xFFFFFFFF;
  c[8 + n] = uint8_t(crc >> 24);
  c[9 + n] = uint8_t(crc >> 16);
  c[10 + n] = uint8_t(crc >> 8);
  c[11 + n] = uint8_t(crc);
  return c;
}

inline std::vector<std::string> ChunkTypes(const std::vector<oracle::Chunk>& chunks) {
  std::vector<std::string> types;
  for (const oracle::Chunk& c : chunks) types.push_back(c.type);
  return types;
}

inline const oracle::Chunk* FindChunk(const std::vector<oracle::Chunk>& chunks, const std::string& type) {
  for (const oracle::Chunk& c : chunks) {
    if (c.type == type) return &c;
  }
  return nullptr;
}

}  // namespace spinetest
