// An engine context wired for unit tests of the analysis, palette and
// splitter stages: a zeroed job over a caller's pixels, the messages the
// stage prints captured piece by piece, and a poll that is recorded and can
// be told to answer "stop" at a given call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineContext.h"
#include "tests/engine/EngineRunSupport.h"

namespace colourtest {

// Width x height image of 0xAARRGGBB pixels, rows packed.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> px;

  static Pixels FromList(const std::vector<uint32_t>& values, int width) {
    Pixels p;
    p.width = width;
    p.height = int(values.size()) / width;
    p.px = values;
    return p;
  }
};

// One context and job per test; the job looks at the given pixels and
// starts with every choice automatic, as the write path leaves them.
class StageHarness {
 public:
  explicit StageHarness(Pixels pixels) : m_pixels(std::move(pixels)), m_ctx(new EngineContext) {
    spinetest::TheRecorder() = spinetest::Recorder{};
    m_job.pixels = m_pixels.px.data();
    m_job.width = m_pixels.width;
    m_job.height = m_pixels.height;
    m_job.stride = m_pixels.width * 4;
    m_job.filter = -1;
    m_job.colortype = -1;
    m_ctx->job = &m_job;
    m_ctx->print = spinetest::RecordPrint;
    m_ctx->poll = spinetest::RecordPoll;
    SyncWorkingCopies();
  }

  EncodeJob& job() { return m_job; }
  EngineContext& ctx() { return *m_ctx; }
  const std::vector<std::string>& pieces() const { return spinetest::TheRecorder().pieces; }
  int polls() const { return spinetest::TheRecorder().PollCount(1); }
  // Answers non-zero at the given poll(1) call, counted from 0.
  void StopAtPoll(int call) {
    spinetest::TheRecorder().answer = [call](int code) {
      return code == 1 && spinetest::TheRecorder().PollCount(1) - 1 == call ? 1 : 0;
    };
  }

  // The driver's stage 1 (working copies of the job's choices) and stage 4
  // (the input palette copied into the engine palette).
  void SyncWorkingCopies() {
    m_ctx->colortype = m_job.colortype;
    m_ctx->filter = m_job.filter;
    m_ctx->bitdepth = m_job.bitdepth;
    m_ctx->palcount = m_job.palcount;
  }
  void CopyInputPalette() {
    const int n = m_job.palcount < 0 ? 0 : (m_job.palcount > 256 ? 256 : m_job.palcount);
    for (int i = 0; i < n; ++i) m_ctx->palette[i] = m_job.pal[i];
  }

  std::string LastMessage() const { return pieces().empty() ? std::string() : pieces().back(); }

 private:
  Pixels m_pixels;
  EncodeJob m_job{};
  std::unique_ptr<EngineContext> m_ctx;
};

inline uint32_t Grey(int level, int alpha = 255) {
  return (uint32_t(alpha) << 24) | (uint32_t(level) * 0x010101u);
}
inline uint32_t Rgb(int r, int g, int b, int alpha = 255) {
  return (uint32_t(alpha) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

}  // namespace colourtest
