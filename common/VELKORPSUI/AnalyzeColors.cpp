#include "common/VELKORPSUI/AnalyzeColors.h"

#include <cstring>

#include "engine/EncodeJob.h"

namespace {

// The engine's poll callback takes no context, and the analysis runs on the
// caller's thread, so the host of the run under way is kept per thread.
thread_local AnalysisHost* t_analysisHost = nullptr;

// Checkpoint the engine passes right after it has published its analysis.
constexpr int kAnalysisDone = 2;

int AnalysisPoll(int checkpoint) {
  if (t_analysisHost != nullptr && t_analysisHost->AbortRequested()) {
    t_analysisHost->SetResult(kUserCanceledResult);
    return 1;
  }
  return checkpoint == kAnalysisDone ? 1 : 0;
}

class ScopedAnalysisHost {
 public:
  explicit ScopedAnalysisHost(AnalysisHost& host) : m_previous(t_analysisHost) { t_analysisHost = &host; }
  ~ScopedAnalysisHost() { t_analysisHost = m_previous; }
  ScopedAnalysisHost(const ScopedAnalysisHost&) = delete;
  ScopedAnalysisHost& operator=(const ScopedAnalysisHost&) = delete;

 private:
  AnalysisHost* m_previous;
};

const uint32_t* Row(const uint32_t* pixels, int stride, int y) {
  return reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(pixels) + static_cast<size_t>(y) * stride);
}

bool IsGreyPixel(uint32_t pixel) {
  const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  return r == g && g == b;
}

bool HasNoResults(const EncodeJob& job) {
  return job.outpal == nullptr && job.outpalcount == 0 && job.outfilter == 0 && job.outcolortype == 0 &&
         job.outbitdepth == 0;
}

void ReportFailure(AnalysisHost& host) {
  if (!host.HasResult() || host.Result() != 0) return;
  if (host.HasErrorString()) {
    host.SetErrorString(kAnalysisFailedText);
    host.SetResult(kErrorStringResult);
  } else {
    host.SetResult(kCannotReadResult);
  }
}

bool IsGreyImage(const uint32_t* pixels, int stride, int width, int height) {
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = Row(pixels, stride, y);
    for (int x = 0; x < width; ++x) {
      if (!IsGreyPixel(row[x])) return false;
    }
  }
  return true;
}

}  // namespace

bool NeedsAlpha(const uint32_t* pixels, int stride, int width, int height) {
  uint32_t lowest = 0xFFFFFFFFu;
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = Row(pixels, stride, y);
    for (int x = 0; x < width; ++x) lowest = row[x] < lowest ? row[x] : lowest;
  }
  if (lowest >= 0xFF000000u) return false;
  if (lowest >= 0x01000000u) return true;  // partial transparency
  // A fully transparent colour exists; it serves as a key only when no other
  // pixel is transparent and no opaque pixel shares its colour.
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = Row(pixels, stride, y);
    for (int x = 0; x < width; ++x) {
      const uint32_t pixel = row[x];
      const bool keyColourVisible = (pixel & 0xFFFFFF) == (lowest & 0xFFFFFF) && (pixel >> 24) != 0;
      const bool otherTransparency = (pixel >> 24) < 255 && pixel != lowest;
      if (keyColourVisible || otherTransparency) return true;
    }
  }
  return false;
}

bool AnalyzeColors(EncodeJob& job, AnalysisHost& host) {
  EncodeJob run;
  std::memset(&run, 0, sizeof run);
  run.pixels = job.pixels;
  run.stride = job.stride;
  run.width = job.width;
  run.height = job.height;
  run.filter = -1;
  run.colortype = -1;
  run.bitdepth = -1;
  run.poll = AnalysisPoll;
  {
    ScopedAnalysisHost scoped(host);
    OptimizePng(&run);
  }
  if (run.kbuf != nullptr) FreeEncodeBuffer(run.kbuf);
  if (HasNoResults(run)) {
    ReportFailure(host);
    return false;
  }
  if (IsGreyImage(job.pixels, job.stride, job.width, job.height)) {
    run.outcolortype = NeedsAlpha(job.pixels, job.stride, job.width, job.height) ? 4 : 0;
  }
  job.outpal = run.outpal;
  job.outpalcount = run.outpalcount;
  job.outfilter = run.outfilter;
  job.outcolortype = run.outcolortype;
  job.outbitdepth = run.outbitdepth;
  return true;
}
