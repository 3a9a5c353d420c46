// Threads, events and waits with time-outs, behind one object.
//
// The progress runner starts the engine on a worker thread, waits for an
// auto-reset event with a time-out, and later for the thread itself.  All of
// that goes through ThreadServices so the same runner works on Win32 threads
// (Windows), on C++ threads (Linux), and on a virtual clock in the tests,
// where "wait two seconds" takes no real time at all (VirtualThreadServices).
//
// Objects:
//   - an auto-reset event starts unsignalled; Set signals it; a wait that
//     sees it signalled consumes the signal;
//   - a thread handle is signalled once the thread's function has returned
//     and stays signalled.
// Every object is created by, and waited on through, the same services.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

namespace platform {

// Something a wait can end on.  Owned by the caller of Create*/Start*.
class Waitable {
 public:
  virtual ~Waitable() = default;
};

class AutoResetEvent : public Waitable {
 public:
  virtual void Set() = 0;
};

// Destroying a thread handle waits for the thread to end: no thread ever
// outlives the object that may refer to what it uses.
class ThreadHandle : public Waitable {};

inline constexpr uint32_t kWaitForever = 0xFFFFFFFFu;
inline constexpr int kWaitTimedOut = -1;

class ThreadServices {
 public:
  virtual ~ThreadServices() = default;

  // Null when the event cannot be created.
  virtual std::unique_ptr<AutoResetEvent> CreateAutoResetEvent() = 0;
  // Starts `body` on a new thread at once; null when no thread can start.
  // `body` must not throw (its exceptions are the caller's to catch).
  virtual std::unique_ptr<ThreadHandle> StartThread(std::function<void()> body) = 0;

  // Waits until one of `objects` is signalled (either one suffices) and
  // returns its index, or kWaitTimedOut after timeoutMs.  Null entries are
  // skipped.  A timeout of 0 only looks.
  virtual int WaitAny(std::initializer_list<Waitable*> objects, uint32_t timeoutMs) = 0;
  int Wait(Waitable* object, uint32_t timeoutMs) { return WaitAny({object}, timeoutMs); }

  // Milliseconds on this clock since an arbitrary start.
  virtual uint64_t NowMs() = 0;
  // Lets time pass on the calling thread (a worker's pause, or the dialog
  // loop waiting for its next timer).
  virtual void Sleep(uint32_t ms) = 0;
};

// Real threads and the system's clock.
ThreadServices& SystemThreadServices();

}  // namespace platform
