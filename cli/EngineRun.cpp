#include "cli/EngineRun.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/FileReport.h"
#include "cli/Utf8Text.h"
#include "engine/deflate/DeflateBytes.h"

namespace {

struct RunMonitor {
  const RunSettings* settings;
  const StopFlags* stop;
  EncodeJob* job;
  RunProgress* progress;
  bool echo;
  bool analysed = false;
  int passSize = 0;      // the file size of the pass just ended
  int bestPassSize = 0;  // the smallest before it (0: none yet)
  std::string lastMessage;
  std::string echoLine;
};

thread_local RunMonitor* tCurrentRun = nullptr;

// Verbose output: the engine's pieces are put together into console lines
// ("\r" and "\n" end one) and each line is labelled with its run, so that
// runs on several threads stay readable.
void FlushEchoLine(RunMonitor& run) {
  const auto first = run.echoLine.find_first_not_of(' ');
  if (first != std::string::npos) {
    const auto last = run.echoLine.find_last_not_of(' ');
    const std::string text = InCliTerms(run.echoLine.substr(first, last - first + 1));
    // The label holds the file's name and the engine's messages may quote
    // the file's bytes (a chunk type), so the line is shown terminal-safe.
    const std::string line = TerminalText("  [" + run.settings->label + "] " + text);
    if (run.progress && run.progress->printLine) {
      run.progress->printLine(line);
    } else {
      std::fprintf(stderr, "%s\n", line.c_str());
    }
  }
  run.echoLine.clear();
}

void EchoPiece(RunMonitor& run, const char* text) {
  for (const char* c = text; *c; ++c) {
    if (*c == '\r' || *c == '\n') {
      FlushEchoLine(run);
    } else {
      run.echoLine += *c;
    }
  }
}

// The engine prints pieces; a piece starting with "\r" restarts the line.
// The pieces since the last restart (progress aside) are the current line,
// which after a failure is its reason, even when printed in several pieces.
int RunPrint(const char* format, ...) {
  RunMonitor* run = tCurrentRun;
  if (!run) return 0;
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  const bool percentLine = std::strstr(format, "%%") != nullptr;
  if (!percentLine) {
    if (text[0] == '\r') run->lastMessage.clear();
    run->lastMessage += text;
  }
  const char* out = std::strstr(text, "Out:");
  if (out) run->passSize = std::atoi(out + 4);
  if (out && run->progress) run->progress->lastSize = run->passSize;
  if (run->echo && !percentLine) EchoPiece(*run, text);
  return 0;
}

// Whether the pass just ended, the best so far, saved too little over the
// best before it for more passes to pay.  Stopping there delivers that pass
// (the engine finishes with the pass just ended), so a pass that is not the
// best never stops the run.
bool PassesNoLongerPay(RunMonitor& run) {
  const int size = run.passSize;
  const int before = run.bestPassSize;
  if (size > 0 && (before == 0 || size < before)) run.bestPassSize = size;
  if (run.settings->minPassGain <= 0.0 || before == 0 || size <= 0 || size > before) return false;
  return double(before - size) < run.settings->minPassGain * double(size);
}

int RunPoll(int checkpoint) {
  RunMonitor* run = tCurrentRun;
  if (!run) return 0;
  if (run->progress) {
    run->progress->pass = run->job->pass;
    run->progress->percent = run->job->percent;
  }
  switch (checkpoint) {
    case 1:
      return run->stop->cancel.load() ? 1 : 0;
    case 2:
      run->analysed = true;
      return run->settings->analysisOnly ? 1 : 0;
    default:
      if (run->stop->finishAfterPass.load()) return 1;
      if (run->settings->maxPasses > 0 && run->job->pass >= run->settings->maxPasses) return 1;
      return PassesNoLongerPay(*run) ? 1 : 0;
  }
}

// Runs the engine call with the monitor's callbacks installed in its job.
template <typename Call>
int Monitored(RunMonitor& monitor, Call call) {
  monitor.job->print = RunPrint;
  monitor.job->poll = RunPoll;
  monitor.job->verbose = 0;
  RunMonitor* outer = tCurrentRun;
  tCurrentRun = &monitor;
  const int result = call();
  tCurrentRun = outer;
  if (monitor.echo) FlushEchoLine(monitor);
  return result;
}

}  // namespace

bool RunByteStream(EngineContext& ctx, const uint8_t* data, size_t size, int rowLength, const RunSettings& settings,
                   const StopFlags& stop, RunProgress* progress, std::vector<uint8_t>& zlib) {
  EncodeJob job{};
  job.strategy = settings.strategy;
  job.randomtables = settings.randomtables;
  job.numblocks = settings.numblocks;
  job.splitthreshold = settings.splitthreshold;
  RunMonitor monitor{&settings, &stop, &job, progress, false, false, 0, 0, {}, {}};
  const int length =
      Monitored(monitor, [&] { return DeflateBytesInContext(ctx, &job, data, size, rowLength, zlib); });
  return length != kEncodeFailed;
}

RunResult RunEngine(EngineContext& ctx, const RunInput& input, const RunSettings& settings,
                    const StopFlags& stop, RunProgress* progress, bool echoMessages) {
  EncodeJob job{};
  job.pixels = const_cast<uint32_t*>(input.pixels);
  job.stride = input.width * 4;
  job.width = input.width;
  job.height = input.height;
  job.pal = const_cast<uint32_t*>(settings.palette ? settings.palette->data() : input.pal);
  job.palcount = settings.palette ? int(settings.palette->size()) : input.palcount;
  job.filter = settings.filter;
  job.colortype = settings.colortype;
  job.bitdepth = settings.bitdepth;
  job.keeppal = settings.keeppal;
  job.bkgd = input.bkgd;
  job.strategy = settings.strategy;
  job.randomtables = settings.randomtables;
  job.numblocks = settings.numblocks;
  job.splitthreshold = settings.splitthreshold;
  job.chunkpre = input.chunkpre;
  job.chunkmid = input.chunkmid;
  job.chunkpost = input.chunkpost;
  job.chunkcount = input.chunkcount;
  job.chunks = input.chunks;
  RunMonitor monitor{&settings, &stop, &job, progress, echoMessages, false, 0, 0, {}, {}};
  const int length = Monitored(monitor, [&] {
    return settings.rowFilters ? OptimizePngWithRowFilters(ctx, &job, settings.rowFilters->data())
                               : OptimizePngInContext(ctx, &job);
  });

  RunResult result;
  result.analysed = monitor.analysed;
  result.message = monitor.lastMessage;
  result.outcolortype = job.outcolortype;
  result.outbitdepth = job.outbitdepth;
  result.outfilter = job.outfilter;
  result.outpalcount = job.outpalcount;
  if (job.outpal) result.outpal.assign(job.outpal, job.outpal + std::min(std::max(job.outpalcount, 0), 256));
  if (settings.wantRows && monitor.analysed) result.rows = TakeUnfilteredRows(ctx, &job);
  result.passes = job.pass;
  if (length != kEncodeFailed && job.kbuf && length <= job.kbufsize) {
    result.ok = true;
    result.png.assign(job.kbuf, job.kbuf + length);
  } else if (length != kEncodeFailed) {
    result.message = "output buffer too small";
  }
  FreeEncodeBuffer(job.kbuf);
  return result;
}
