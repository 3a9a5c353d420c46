// One engine run of the command-line tool, in a caller-owned context.
//
// The engine's print and poll callbacks carry no user data, so the run
// routes them through a thread-local pointer to its own RunMonitor: every
// worker thread has its own run, its own messages and its own stop rules.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/EngineContext.h"
#include "engine/RowFilterEntry.h"

// Shared stop requests (Ctrl-C): finish after the current pass, or cancel.
struct StopFlags {
  std::atomic<bool> finishAfterPass{false};
  std::atomic<bool> cancel{false};
  std::atomic<int> signal{0};  // the signal that asked to stop
};

// What one run is asked to do.
struct RunSettings {
  int colortype = -1;
  int filter = -1;
  int bitdepth = 0;
  int strategy = 0;
  int keeppal = 0;
  int randomtables = 0;
  int numblocks = 0;
  double splitthreshold = 256.0;
  int maxPasses = 0;          // 0: until the engine converges
  // Stop once a pass that is the best so far saves less than this share of
  // the file over the best before it (0: until the engine converges).
  double minPassGain = 0.0;
  // 1..5: the optimal parser rewrites this run's image data at that level
  // (cli/OptimalRedeflate.h); the engine run then only frames the file.
  int redeflateLevel = 0;
  bool analysisOnly = false;  // stop at the analysis checkpoint
  bool recompress = false;    // recompress the source's streams, rows kept
  std::string label;          // how verbose output names the run
  // Filter search (cli/FilterTrials.h): one filter type per row instead of
  // the filter above, and its strategy's name; a palette order to keep
  // (with keeppal) instead of the input's.
  std::shared_ptr<const std::vector<uint8_t>> rowFilters;
  std::string rowFilterStrategy;
  std::shared_ptr<const std::vector<uint32_t>> palette;
  bool wantRows = false;      // hand back the unfiltered rows of the analysis
  // Kept rows (cli/RowRefilter.h): the effort level whose filter search
  // refilters them; -1 keeps the source's filters.
  int rowSearchEffort = -1;
};

// What the caller supplies besides the settings: the image and chunks.
struct RunInput {
  const uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  const uint32_t* pal = nullptr;
  int palcount = 0;
  uint32_t bkgd = 0;
  int chunkpre = 0, chunkmid = 0, chunkpost = 0, chunkcount = 0;
  uint8_t** chunks = nullptr;
};

struct RunResult {
  bool ok = false;
  bool analysed = false;       // the analysis checkpoint was reached
  std::vector<uint8_t> png;
  std::string message;         // the engine's last message (why it failed)
  int outcolortype = -1;
  int outbitdepth = 0;
  int outfilter = -1;
  int outpalcount = 0;
  std::vector<uint32_t> outpal;  // the palette the engine settled on
  int passes = 0;
  bool redeflated = false;       // the optimal parser wrote the image data
  UnfilteredRows rows;           // with wantRows, once analysed
};

// Live progress of a run, read by the display thread.
struct RunProgress {
  std::atomic<int> pass{0};
  std::atomic<int> percent{0};
  std::atomic<int> lastSize{0};
  // Where the run's echoed engine lines go (without the newline), so that
  // they take the place of the status line rather than run on from it; unset,
  // straight to stderr.
  std::function<void(const std::string&)> printLine;
};

RunResult RunEngine(EngineContext& ctx, const RunInput& input, const RunSettings& settings,
                    const StopFlags& stop, RunProgress* progress, bool echoMessages);

// Recompresses bytes that must stay as they are (filtered rows the engine
// does not re-encode) into a zlib stream, with the settings' strategy, block
// split and pass limit.  False when stopped or out of memory.
bool RunByteStream(EngineContext& ctx, const uint8_t* data, size_t size, int rowLength, const RunSettings& settings,
                   const StopFlags& stop, RunProgress* progress, std::vector<uint8_t>& zlib);
