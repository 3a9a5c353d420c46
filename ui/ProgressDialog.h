// The run state of one save with progress: the worker thread and its done
// event, and the "Progress" dialog that watches them.  Owned by
// RunEngineWithProgress on its stack (ui/ProgressRun.h).
#pragma once

#include <atomic>
#include <memory>

#include "platform/ThreadServices.h"
#include "ui/ModalDialog.h"
#include "ui/ProgressRun.h"

namespace ui {

class ProgressDialog : public ModalDialog {
 public:
  // Starts the run: clears the flags, installs the poll callback and starts
  // the worker.  Without an event or a thread the run has no worker.
  ProgressDialog(ProgressRunContext& context, EncodeJob& job);
  // Ends the run if EndRun has not.
  ~ProgressDialog() override;

  void Init() override;
  void Command(unsigned code, int id) override;
  void Destroyed() override;
  void Cancel() override;
  MessageResult Message(unsigned message, MessageParam first, LongParam second) override;

  platform::Waitable* DoneEvent() const { return m_doneEvent.get(); }
  bool HasWorker() const { return m_thread != nullptr; }
  int Result() const { return m_result.load(); }
  bool UserCancelled() const { return m_userCancelled; }

  // Waits for the worker to end (see ProgressRun.h), clears the current job,
  // releases the thread and the event and reports a cancellation to the host.
  void EndRun();

 private:
  static constexpr unsigned kTimerId = 1;

  void Tick();
  void RunWorker() noexcept;

  ProgressRunContext& m_context;
  std::unique_ptr<platform::AutoResetEvent> m_doneEvent;
  std::unique_ptr<platform::ThreadHandle> m_thread;
  unsigned m_timerId = 0;
  EncodeJob* m_job;
  std::atomic<int> m_result{kEncodeFailed};
  bool m_userCancelled = false;
  bool m_ended = false;
};

}  // namespace ui
