// Real threads on a virtual clock, for tests that must not sleep.
//
// Time only moves when the thread that owns the clock (the test's, which runs
// the runner and the dialog loop) waits: a wait first lets every other thread
// run until it either ends or sleeps on this clock, then jumps the clock to
// the earliest of its own deadline and the sleepers' wake-up times.  So a
// fake engine that sleeps "until 2.5 s" and a runner that waits "2 s" always
// meet in the same order, however the machine schedules them, and a test of
// a fifty-second wait ends in milliseconds.
//
// Only threads started through these services take part; a thread that runs
// without sleeping (say, a real engine run) is simply waited for.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>

#include "platform/ThreadServices.h"

namespace platform {

class VirtualThreadServices : public ThreadServices {
 public:
  VirtualThreadServices();
  ~VirtualThreadServices() override;

  std::unique_ptr<AutoResetEvent> CreateAutoResetEvent() override;
  std::unique_ptr<ThreadHandle> StartThread(std::function<void()> body) override;
  int WaitAny(std::initializer_list<Waitable*> objects, uint32_t timeoutMs) override;
  uint64_t NowMs() override;
  // On a started thread: sleep until the clock reaches now + ms.  On the
  // owning thread: the same as a wait on nothing.
  void Sleep(uint32_t ms) override;

  // Threads started and not yet ended.
  size_t LiveThreads();

  struct State;

 private:
  std::shared_ptr<State> m_state;
};

}  // namespace platform
