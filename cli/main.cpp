// velkor: the command-line optimizer.
#include <unistd.h>

#include <csignal>

#include "cli/Command.h"

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

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnTerminate);
  return RunCommand(argc, argv, gStop);
}
