#include "ui/ProgressRun.h"

#include "ui/ProgressDialog.h"
#include "ui/ProgressShared.h"

namespace ui {

namespace progress {

SharedRunState& Shared() {
  static SharedRunState state;
  return state;
}

}  // namespace progress

int* MaximumPassesSlot() { return &progress::Shared().maximumPasses; }

int ProgressPoll(int checkpoint) {
  progress::SharedRunState& shared = progress::Shared();
  if (checkpoint == 0) {
    if (shared.stopAfterPass.load()) return 1;
    const EncodeJob* job = shared.currentJob.load();
    if (job) {
      const int pass = std::atomic_ref<const int>(job->pass).load(std::memory_order_relaxed);
      const int limit = std::atomic_ref<int>(shared.maximumPasses).load(std::memory_order_relaxed);
      if (pass > 0 && pass == limit) return 1;
    }
  }
  if (shared.cancel.load()) {
    shared.cancelledByPoll.store(true);
    return 1;
  }
  return 0;
}

int RunEngineWithProgress(ProgressRunContext& context, EncodeJob& job) {
  ProgressDialog run(context, job);
  // A run that ends within the grace period shows no dialog; the wait
  // consumes the event's signal, and the thread handle tells the rest.
  if (context.threads.Wait(run.DoneEvent(), kGraceMs) == platform::kWaitTimedOut) {
    run.RunModal(context.source, "Progress", kProgressDialogId);
  }
  // Read before the worker is waited for: a run still going reads as failed.
  const int result = run.Result();
  run.EndRun();
  return run.UserCancelled() ? kEncodeFailed : result;
}

}  // namespace ui
