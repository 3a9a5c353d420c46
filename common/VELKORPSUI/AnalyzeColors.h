// The colour analysis behind the Advanced dialog's colour type and bit depth
// buttons.
//
// Only colour types and depths that can hold the image should be offered, and
// the engine already knows how to find them: AnalyzeColors runs the engine on
// the image, on the calling (host's) thread, and stops it right after its
// colour analysis, before any compression.  The engine's choice is then
// corrected for grey images, which it may put in a palette: a grey image is
// offered as Gray, or Gray+Alpha when its transparency cannot be one
// transparent key colour.
#pragma once

#include <cstdint>
#include <string_view>

struct EncodeJob;

// What the analysis needs of the host during the run.
class AnalysisHost {
 public:
  virtual ~AnalysisHost() = default;
  // The host's abort question (the user pressed Escape or similar).
  virtual bool AbortRequested() = 0;
  // The host's result slot; false when the host gave none.
  virtual bool HasResult() const = 0;
  virtual int16_t Result() const = 0;
  virtual void SetResult(int16_t code) = 0;
  // The host's error string, which it shows with the result -30904; false
  // when the host offers none.  The host side stores at most 255 characters.
  virtual bool HasErrorString() const = 0;
  virtual void SetErrorString(std::string_view text) = 0;
};

inline constexpr char kAnalysisFailedText[] = "Unable to analyze color information in image.";
inline constexpr int16_t kErrorStringResult = -30904;
inline constexpr int16_t kCannotReadResult = -30501;
inline constexpr int16_t kUserCanceledResult = -128;

// Fills the job's outpal, outpalcount, outfilter, outcolortype and
// outbitdepth from an analysis-only run over its pixels.  False, with the
// host told why unless it already holds an error, when the run published no
// result (it failed, or the host asked to abort: result -128).
bool AnalyzeColors(EncodeJob& job, AnalysisHost& host);

// Whether an image needs an alpha channel, or can do with at most one fully
// transparent colour used as a transparent key.  `pixels` are 0xAARRGGBB,
// rows `stride` bytes apart.
bool NeedsAlpha(const uint32_t* pixels, int stride, int width, int height);
