// Runs the whole batch on N worker threads, each with its own engine
// context.  A file is first prepared (read, decoded, its runs planned) by one
// worker; its runs then go back to the queue, so that the runs of one file
// use free cores while other files wait.  The worker that finishes a file's
// last run picks the smallest result and writes it.
#pragma once

#include <cstdint>
#include <string>

#include "cli/CliOptions.h"
#include "cli/EngineRun.h"

struct BatchSummary {
  int files = 0;
  int failed = 0;
  int written = 0;
  uint64_t bytesBefore = 0;
  uint64_t bytesAfter = 0;
};

// Optimizes every input of options; reports per file on stderr/stdout.
BatchSummary RunBatch(const CliOptions& options, StopFlags& stop);
