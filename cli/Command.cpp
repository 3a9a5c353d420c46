#include "cli/Command.h"

#include <chrono>
#include <cstdio>

#include "cli/CliOptions.h"
#include "cli/Utf8Text.h"

namespace {

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

int RunCommand(int argc, char** argv, StopFlags& stop, const BatchHooks& hooks) {
  CliOptions options;
  std::string error;
  if (!ParseCliOptions(argc, argv, options, error)) {
    // The message may quote an argument, and arguments are often file names.
    std::fprintf(stderr, "velkor: %s\nTry 'velkor --help'.\n", TerminalText(error).c_str());
    return 2;
  }
  if (options.help || options.version) {
    std::fputs(options.help ? CliUsage().c_str() : CliVersion().c_str(), stdout);
    return 0;
  }

  const auto start = std::chrono::steady_clock::now();
  const BatchSummary summary = RunBatch(options, stop, hooks);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  if (!options.quiet && !options.json) PrintSummary(summary, seconds, options.toStdout ? stderr : stdout);
  if (stop.signal != 0) return 128 + stop.signal;
  return summary.failed > 0 ? 1 : 0;
}
