// velkor-host progress [PASSES [PASS-MS]] (Windows): runs the progress
// runner with the real Progress dialog over a stand-in engine that spends a
// second in its pre-pass, then PASSES passes of PASS-MS each, moving pass
// and percent as it goes and polling every 100 ms and after each pass, as
// the real engine does.  Prints the run's result and the host's result code,
// so a script can stop after a pass or cancel and the caller see what came
// of it.  (On Linux the runner is checked in-process on a virtual clock.)
#ifdef _WIN32

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/EncodeJob.h"
#include "testhost/Commands.h"
#include "ui/ModuleUi.h"
#include "ui/ProgressRun.h"

namespace testhost {
namespace {

int g_passes = 3;
int g_passMs = 1500;
constexpr int kStepMs = 100;

// Counts the passes run, so the output shows where the run stopped.
int StandInEngine(EncodeJob* job) {
  platform::ThreadServices& clock = ui::TheModuleUi().threads;
  job->pass = -1;
  for (int percent = 0; percent <= 100; percent += 10) {
    job->percent = percent;
    if (job->poll(1)) return kEncodeFailed;
    clock.Sleep(kStepMs);
  }
  for (int pass = 0; pass < g_passes; ++pass) {
    job->pass = pass;
    for (int elapsed = 0; elapsed < g_passMs; elapsed += kStepMs) {
      job->percent = elapsed * 100 / g_passMs;
      if (job->poll(1)) return kEncodeFailed;
      clock.Sleep(kStepMs);
    }
    job->percent = 100;
    if (job->poll(0)) return 1000 + pass;
  }
  return 1000 + g_passes;
}

int RunProgress(CommandContext& context) {
  if (context.args.size() > 0) g_passes = std::atoi(context.args[0].c_str());
  if (context.args.size() > 1) g_passMs = std::atoi(context.args[1].c_str());
  if (g_passes < 1 || g_passMs < kStepMs) return kExitUsage;
  ui::ModuleUi& moduleUi = ui::TheModuleUi();
  int16_t hostResult = 0;
  ui::ProgressRunContext run{moduleUi.toolkit, moduleUi.threads, StandInEngine, nullptr, &hostResult};
  EncodeJob job;
  std::memset(&job, 0, sizeof job);
  const int result = ui::RunEngineWithProgress(run, job);
  std::printf("progress result %d host result %d\n", result, hostResult);
  return kExitOk;
}

const CommandRegistration kProgress{"progress", "progress [PASSES [PASS-MS]]", RunProgress};

}  // namespace
}  // namespace testhost

#endif
