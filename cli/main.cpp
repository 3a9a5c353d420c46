// velkor: the command-line optimizer.
#include <unistd.h>

#include <csignal>

#include "cli/Command.h"

namespace {

StopFlags gStop;  // reached from the signal handlers, which have no context
bool gStderrIsTerminal = false;  // where a status line shows; set before the handlers

// First Ctrl-C: the runs under way finish after their current pass and
// their files are written (as the dialog's "Stop After This Pass"); nothing
// new starts.  Second: cancel, originals kept.
void OnInterrupt(int) {
  gStop.signal = SIGINT;
  if (!gStop.finishAfterPass.exchange(true)) {
    // On a terminal the note takes the status line's place (and the "^C"
    // the terminal echoed there), so that no stale status stays above it.
    static const char kNote[] = "\nvelkor: finishing the files under way (Ctrl-C again to cancel)\n";
    static const char kClearLine[] = "\r\x1b[K";
    if (gStderrIsTerminal) (void)!::write(2, kClearLine, sizeof kClearLine - 1);
    (void)!::write(2, kNote + (gStderrIsTerminal ? 1 : 0), sizeof kNote - (gStderrIsTerminal ? 2 : 1));
    return;
  }
  gStop.cancel = true;
}

// A termination request, or the terminal going away, cancels at once; the
// originals stay as they were and no temporary file is left behind.
void OnTerminate(int signal) {
  gStop.signal = signal;
  gStop.finishAfterPass = true;
  gStop.cancel = true;
}

}  // namespace

int main(int argc, char** argv) {
  gStderrIsTerminal = ::isatty(STDERR_FILENO) != 0;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnTerminate);
  std::signal(SIGHUP, OnTerminate);
  return RunCommand(argc, argv, gStop);
}
