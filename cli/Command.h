// The velkor command once its signal handlers are in place: parse the
// arguments, run the batch, print the summary, and answer the exit status
// (0 all done, 1 some file failed, 2 bad usage, 128 + the signal that
// stopped it).
#pragma once

#include "cli/BatchRunner.h"
#include "cli/EngineRun.h"

int RunCommand(int argc, char** argv, StopFlags& stop, const BatchHooks& hooks = {});
