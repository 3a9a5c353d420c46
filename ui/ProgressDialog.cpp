#include "ui/ProgressDialog.h"

#include <cstdio>
#include <string>

#include "ui/ProgressShared.h"

namespace ui {
namespace {

void ReportToHost(int16_t* slot, int16_t code) {
  if (slot && *slot == 0) *slot = code;
}

}  // namespace

ProgressDialog::ProgressDialog(ProgressRunContext& context, EncodeJob& job)
    : ModalDialog(context.toolkit), m_context(context), m_job(&job) {
  progress::SharedRunState& shared = progress::Shared();
  m_doneEvent = context.threads.CreateAutoResetEvent();
  shared.currentJob.store(&job);
  job.poll = ProgressPoll;
  shared.cancel.store(0);
  shared.stopAfterPass.store(0);
  shared.cancelledByPoll.store(false);
  // Without a done event the dialog could never see the worker end in the
  // ordinary way, so a missing event counts as a worker that cannot start.
  if (m_doneEvent) m_thread = context.threads.StartThread([this] { RunWorker(); });
}

ProgressDialog::~ProgressDialog() { EndRun(); }

void ProgressDialog::RunWorker() noexcept {
  // No exception may leave the worker's entry: on i686 Windows it could not
  // unwind through the system's thread start frames.
  try {
    m_result.store(m_context.engine ? m_context.engine(m_job) : kEncodeFailed);
  } catch (...) {
  }
  m_doneEvent->Set();
}

void ProgressDialog::EndRun() {
  if (m_ended) return;
  m_ended = true;
  progress::SharedRunState& shared = progress::Shared();
  if (m_thread) {
    // The job and its buffers belong to our caller, so the worker must have
    // ended before we return.  Past the long wait the engine is told to stop
    // at its next poll, and we keep waiting for it.
    while (m_context.threads.Wait(m_thread.get(), kWorkerWaitMs) == platform::kWaitTimedOut) {
      shared.cancel.store(1);
    }
  }
  shared.currentJob.store(nullptr);
  m_thread.reset();
  m_doneEvent.reset();
  if (m_userCancelled || shared.cancelledByPoll.load()) ReportToHost(m_context.hostResult, kUserCancelledResult);
}

void ProgressDialog::Init() {
  if (m_thread) {
    if (m_toolkit->SetTimer(m_hWnd, kTimerId, kTickMs)) m_timerId = kTimerId;
    return;
  }
  ReportToHost(m_context.hostResult, kNoWorkerResult);
  m_toolkit->EndDialog(m_hWnd, kIdOk);
}

MessageResult ProgressDialog::Message(unsigned message, MessageParam first, LongParam second) {
  (void)first, (void)second;
  if (message == kWmTimer) Tick();
  return 0;
}

void ProgressDialog::Tick() {
  const int percent = std::atomic_ref<int>(m_job->percent).load(std::memory_order_relaxed);
  const int pass = std::atomic_ref<int>(m_job->pass).load(std::memory_order_relaxed);
  if (percent >= 0 && percent <= 100) {
    char text[128];
    if (pass >= 0) {
      std::snprintf(text, sizeof text, "Pass %d, %d%%", pass, percent);
    } else {
      std::snprintf(text, sizeof text, "%d%%", percent);
    }
    std::string status = text;
    if (progress::Shared().stopAfterPass.load()) status += " (Complete after this pass)";
    m_toolkit->SetText(m_hWnd, kProgressStatusId, status.substr(0, sizeof text - 1));
    m_toolkit->SetProgress(m_hWnd, kProgressBarId, percent);
  }
  // The event's signal may have been consumed by the grace-period wait; the
  // thread handle stays signalled once the worker has ended.
  if (m_context.threads.WaitAny({m_thread.get(), m_doneEvent.get()}, 1) != platform::kWaitTimedOut) {
    m_toolkit->EndDialog(m_hWnd, kIdOk);
  }
}

void ProgressDialog::Command(unsigned code, int id) {
  if (id != kStopAfterPassId || code != kBnClicked) return;
  progress::Shared().stopAfterPass.store(1);
  m_toolkit->Enable(m_hWnd, kStopAfterPassId, false);
  m_toolkit->SetTitle(m_hWnd, "Waiting for pass to complete");
}

void ProgressDialog::Cancel() {
  progress::Shared().cancel.store(1);
  m_userCancelled = true;
  ModalDialog::Cancel();
}

void ProgressDialog::Destroyed() {
  if (m_timerId != 0) m_toolkit->KillTimer(m_hWnd, m_timerId);
  m_timerId = 0;
}

}  // namespace ui
