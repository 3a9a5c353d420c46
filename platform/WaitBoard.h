// The common ground of the C++ realisations of ThreadServices: events and
// thread handles that signal through one mutex and condition variable, so
// that a wait on several of them is a single condition wait.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "platform/ThreadServices.h"

namespace platform::detail {

struct WaitBoard {
  std::mutex mutex;
  std::condition_variable changed;

  // Only used on a virtual clock (see VirtualThreadServices.h).
  bool virtualClock = false;
  uint64_t now = 0;
  size_t busy = 0;   // started threads neither sleeping nor ended
  size_t live = 0;   // started threads not yet ended
  std::multiset<uint64_t> sleepers;
};

// A Waitable of the board; all members are guarded by the board's mutex.
class BoardObject {
 public:
  virtual ~BoardObject() = default;
  virtual bool Signalled() const = 0;
  virtual void Consume() = 0;
};

class BoardEvent final : public AutoResetEvent, public BoardObject {
 public:
  explicit BoardEvent(std::shared_ptr<WaitBoard> board) : m_board(std::move(board)) {}
  void Set() override {
    std::lock_guard lock(m_board->mutex);
    m_signalled = true;
    m_board->changed.notify_all();
  }
  bool Signalled() const override { return m_signalled; }
  void Consume() override { m_signalled = false; }

 private:
  std::shared_ptr<WaitBoard> m_board;
  bool m_signalled = false;
};

class BoardThread final : public ThreadHandle, public BoardObject {
 public:
  BoardThread(std::shared_ptr<WaitBoard> board, std::function<void()> body);
  ~BoardThread() override;
  bool Signalled() const override { return m_ended; }
  void Consume() override {}

 private:
  std::shared_ptr<WaitBoard> m_board;
  bool m_ended = false;
  std::thread m_thread;
};

// Index of the first signalled object (consumed), or kWaitTimedOut.  Call
// with the board's mutex held.
int TakeSignalled(std::initializer_list<Waitable*> objects);
bool AnySignalled(std::initializer_list<Waitable*> objects);

// True on a thread started by a virtual-clock board (it sleeps on the clock).
bool OnVirtualWorker();

}  // namespace platform::detail
