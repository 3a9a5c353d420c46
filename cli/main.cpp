// velkor: the command-line optimizer.
#include <unistd.h>

#include <csignal>
#include <chrono>
#include <cstdio>

#include "cli/BatchRunner.h"
#include "cli/CliOptions.h"

namespace {

StopFlags gStop;  // reached from the signal handler, which has no context

// First Ctrl-C: finish every run after its current pass and write what it
// has (as the dialog's "Stop After This Pass"); second: cancel and keep the
// originals.
void OnInterrupt(int) {
  if (!gStop.finishAfterPass.exchange(true)) {
    static const char kNote[] = "\nvelkor: finishing after this pass (Ctrl-C again to cancel)\n";
    (void)!::write(2, kNote, sizeof kNote - 1);
    return;
  }
  gStop.cancel = true;
}

// A termination request cancels at once; the originals stay as they were.
void OnTerminate(int) {
  gStop.finishAfterPass = true;
  gStop.cancel = true;
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

  if (!options.quiet) {
    const double saved = summary.bytesBefore
                             ? (double(summary.bytesBefore) - double(summary.bytesAfter)) * 100.0 /
                                   double(summary.bytesBefore)
                             : 0.0;
    std::printf("%d file%s, %d failed: %llu -> %llu bytes (%.2f%% saved) in %.2f s\n", summary.files,
                summary.files == 1 ? "" : "s", summary.failed,
                static_cast<unsigned long long>(summary.bytesBefore),
                static_cast<unsigned long long>(summary.bytesAfter), saved, seconds);
  }
  return summary.failed > 0 ? 1 : 0;
}
