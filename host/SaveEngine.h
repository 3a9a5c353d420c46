// The engine a save runs on its worker thread.
//
// OptimizePng, unless a host stand-in has swapped in an engine of its own
// through the Linux module's export: the real engine fails only on a lack
// of memory or a job it refuses, so a test that wants to see how a failure
// reaches the user (the "Write Failure" box with the engine's last words)
// needs an engine that fails on demand.  The same entry type is the one the
// progress runner already takes, so nothing else changes for the swap.
#pragma once

#include "ui/ProgressRun.h"

inline constexpr char kSetSaveEngineSymbol[] = "VelkorSetSaveEngine";

// Makes every later save run `engine`; null puts OptimizePng back.
using SetSaveEngineProc = void (*)(ui::EngineEntry engine);

namespace host {

ui::EngineEntry SaveEngine();

}  // namespace host
