// Runs the whole batch on N worker threads, each with its own engine
// context.  Every input's target is checked before any work starts.  A file
// is then prepared (read, decoded, its runs planned) by one worker; its runs
// go back to the queue, so that the runs of one file use free cores while
// other files wait.  The worker that finishes a file's last run picks the
// smallest result and writes it.
//
// Stopping: after the first Ctrl-C, runs under way end after their current
// pass and their files are written, nothing new starts, and the files not
// started are listed as skipped; a second Ctrl-C or SIGTERM cancels the
// runs under way and keeps their originals.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/EngineRun.h"

struct BatchSummary {
  int files = 0;
  int failed = 0;
  int skipped = 0;
  int written = 0;
  uint64_t bytesBefore = 0;
  uint64_t bytesAfter = 0;
};

// Seams of the batch for the tests.
struct BatchHooks {
  // Called with a file's chosen result before it is checked and written, on
  // the worker that finished the file; tests plant the faults the check
  // must catch.
  std::function<void(const std::string& inputName, std::vector<uint8_t>& png)> alterResult;
};

// Optimizes every input of options; reports per file on stdout (errors on
// stderr; with --stdout every report goes to stderr).
BatchSummary RunBatch(const CliOptions& options, StopFlags& stop, const BatchHooks& hooks = {});
