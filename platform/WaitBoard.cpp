#include "platform/WaitBoard.h"

namespace platform::detail {
namespace {

thread_local bool t_virtualWorker = false;

const BoardObject* AsBoardObject(const Waitable* object) { return dynamic_cast<const BoardObject*>(object); }

}  // namespace

bool OnVirtualWorker() { return t_virtualWorker; }

BoardThread::BoardThread(std::shared_ptr<WaitBoard> board, std::function<void()> body)
    : m_board(std::move(board)) {
  const bool virtualClock = m_board->virtualClock;
  if (virtualClock) {
    std::lock_guard lock(m_board->mutex);
    ++m_board->busy;
    ++m_board->live;
  }
  // The thread marks its own end under the board's lock, so a waiter sees
  // either a running thread or an ended one, never a half-ended one.
  m_thread = std::thread([this, virtualClock, body = std::move(body)] {
    t_virtualWorker = virtualClock;
    body();
    std::lock_guard lock(m_board->mutex);
    m_ended = true;
    if (virtualClock) {
      --m_board->busy;
      --m_board->live;
    }
    m_board->changed.notify_all();
  });
}

BoardThread::~BoardThread() {
  if (m_thread.joinable()) m_thread.join();
}

int TakeSignalled(std::initializer_list<Waitable*> objects) {
  int index = 0;
  for (Waitable* object : objects) {
    if (object) {
      auto* boardObject = const_cast<BoardObject*>(AsBoardObject(object));
      if (boardObject && boardObject->Signalled()) {
        boardObject->Consume();
        return index;
      }
    }
    ++index;
  }
  return kWaitTimedOut;
}

bool AnySignalled(std::initializer_list<Waitable*> objects) {
  for (Waitable* object : objects) {
    const BoardObject* boardObject = object ? AsBoardObject(object) : nullptr;
    if (boardObject && boardObject->Signalled()) return true;
  }
  return false;
}

}  // namespace platform::detail
