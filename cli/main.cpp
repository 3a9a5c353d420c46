// velkor: the command-line optimizer.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>

#include "cli/BatchRunner.h"
#include "cli/CliOptions.h"

namespace {

StopFlags gStop;  // reached from the signal handlers, which have no context

// First Ctrl-C: the runs under way finish after their current pass and
// their files are written (as the dialog's "Stop After This Pass"); nothing
// new starts.  Second: cancel, originals kept.
void OnInterrupt(int) {
  gStop.signal = SIGINT;
  if (!gStop.finishAfterPass.exchange(true)) {
    static const char kNote[] = "\nvelkor: finishing the files under way (Ctrl-C again to cancel)\n";
    (void)!::write(2, kNote, sizeof kNote - 1);
    return;
  }
  gStop.cancel = true;
}

// A termination request cancels at once; the originals stay as they were.
void OnTerminate(int) {
  gStop.signal = SIGTERM;
  gStop.finishAfterPass = true;
  gStop.cancel = true;
}

void PrintSummary(const BatchSummary& summary, double seconds, FILE* out) {
  // Savings are counted per file and never below zero, so a conversion that
  // grew does not show as a loss.
  const double saved = summary.bytesBefore ? (double(summary.bytesBefore) - double(summary.bytesAfter)) * 100.0 /
                                                 double(summary.bytesBefore)
                                           : 0.0;
  std::fprintf(out, "%d file%s, %d failed", summary.files, summary.files == 1 ? "" : "s", summary.failed);
  if (summary.skipped > 0) std::fprintf(out, ", %d skipped", summary.skipped);
  std::fprintf(out, ": %llu -> %llu bytes (%.2f%% saved) in %.2f s\n",
               static_cast<unsigned long long>(summary.bytesBefore),
               static_cast<unsigned long long>(summary.bytesAfter), saved, seconds);
}

}  // namespace

int main(int argc, char** argv) {
  CliOptions options;
  std::string error;
  if (!ParseCliOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "velkor: %s\nTry 'velkor --help'.\n", error.c_str());
    return 2;
  }
  if (options.help || options.version) {
    std::fputs(options.help ? CliUsage().c_str() : CliVersion().c_str(), stdout);
    return 0;
  }
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnTerminate);

  const auto start = std::chrono::steady_clock::now();
  const BatchSummary summary = RunBatch(options, gStop);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  if (!options.quiet && !options.json) PrintSummary(summary, seconds, options.toStdout ? stderr : stdout);
  if (gStop.signal != 0) return 128 + gStop.signal;
  return summary.failed > 0 ? 1 : 0;
}
