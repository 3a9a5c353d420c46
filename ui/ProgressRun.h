// Running the engine on a worker thread with the progress dialog.
//
// The write path hands a filled job to RunEngineWithProgress, which starts
// the engine on a worker thread and waits up to two seconds.  A run that ends
// in time shows nothing; a longer one shows the "Progress" dialog (template
// 109), which reports the pass and the row percentage once a second, lets the
// user stop after the pass under way or cancel, and closes itself when the
// engine returns.
//
// The engine reaches the user's choices through the job's poll callback,
// which has no context parameter, so the few values the two threads share
// are module-wide (one save runs at a time): the current job, the stop and
// cancel flags, and the maximum number of passes the options dialogs set.
// Every one of them is read and written atomically.
//
// Guarantees beyond "returns the engine's result":
//   - it never returns while the worker may still touch the job: after a
//     fifty-second wait it sets the cancel flag and keeps waiting (the engine
//     polls at least once per row, so it stops soon after);
//   - the host's result slot is written only here, on the host's thread,
//     after the worker has ended: -128 for a cancellation (the user's
//     Cancel, or a poll that stopped the engine for it), 109 when no worker
//     could be started; a slot that already holds a code is left alone;
//   - a user's Cancel returns the failure value even when the engine
//     happened to finish meanwhile, so a cancelled save writes nothing.
#pragma once

#include <cstdint>

#include "engine/EncodeJob.h"
#include "platform/ThreadServices.h"
#include "ui/DialogToolkit.h"

namespace ui {

using EngineEntry = int (*)(EncodeJob* job);

struct ProgressRunContext {
  DialogToolkit& toolkit;
  platform::ThreadServices& threads;
  // OptimizePng in the module; a test's fake elsewhere.
  EngineEntry engine = nullptr;
  // Where the module's instance is found for template 109.
  InstanceSource source = nullptr;
  // The host's result slot of the current call, or null.
  int16_t* hostResult = nullptr;
};

inline constexpr int kProgressDialogId = 109;
inline constexpr int kProgressStatusId = 1104;
inline constexpr int kProgressBarId = 1103;
inline constexpr int kStopAfterPassId = 1106;
inline constexpr int16_t kUserCancelledResult = -128;
inline constexpr int16_t kNoWorkerResult = 109;
inline constexpr uint32_t kGraceMs = 2 * 1000;
inline constexpr uint32_t kTickMs = 1000;
inline constexpr uint32_t kWorkerWaitMs = 50000;

// The whole run; returns the engine's result or kEncodeFailed.
int RunEngineWithProgress(ProgressRunContext& context, EncodeJob& job);

// The module-wide maximum number of passes (0: no limit), which the options
// dialogs write through this pointer before a run starts.
int* MaximumPassesSlot();

// The poll callback installed into the job by the run: non-zero stops the
// engine (checkpoint 0: the stop flag, or the pass limit reached; any
// checkpoint: the cancel flag).
int ProgressPoll(int checkpoint);

}  // namespace ui
