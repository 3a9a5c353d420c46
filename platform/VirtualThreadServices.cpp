#include "platform/VirtualThreadServices.h"

#include <algorithm>
#include <optional>

#include "platform/WaitBoard.h"

namespace platform {

struct VirtualThreadServices::State : detail::WaitBoard {
  State() { virtualClock = true; }
};

namespace {

// Wakes every sleeper due by `now`; they count as busy again at once, so the
// clock cannot move past them before they have run.  Board mutex held.
void WakeDueSleepers(detail::WaitBoard& board) {
  const auto due = board.sleepers.upper_bound(board.now);
  board.busy += size_t(std::distance(board.sleepers.begin(), due));
  board.sleepers.erase(board.sleepers.begin(), due);
  board.changed.notify_all();
}

}  // namespace

VirtualThreadServices::VirtualThreadServices() : m_state(std::make_shared<State>()) {}
VirtualThreadServices::~VirtualThreadServices() = default;

std::unique_ptr<AutoResetEvent> VirtualThreadServices::CreateAutoResetEvent() {
  return std::make_unique<detail::BoardEvent>(m_state);
}

std::unique_ptr<ThreadHandle> VirtualThreadServices::StartThread(std::function<void()> body) {
  return std::make_unique<detail::BoardThread>(m_state, std::move(body));
}

int VirtualThreadServices::WaitAny(std::initializer_list<Waitable*> objects, uint32_t timeoutMs) {
  detail::WaitBoard& board = *m_state;
  std::unique_lock lock(board.mutex);
  std::optional<uint64_t> deadline;
  if (timeoutMs != kWaitForever) deadline = board.now + timeoutMs;
  for (;;) {
    int index = detail::TakeSignalled(objects);
    if (index != kWaitTimedOut) return index;
    board.changed.wait(lock, [&] { return board.busy == 0 || detail::AnySignalled(objects); });
    index = detail::TakeSignalled(objects);
    if (index != kWaitTimedOut) return index;
    // Every other thread now sleeps on the clock or has ended.
    if (!board.sleepers.empty() && (!deadline || *board.sleepers.begin() <= *deadline)) {
      board.now = std::max(board.now, *board.sleepers.begin());
      WakeDueSleepers(board);
      continue;
    }
    // Nothing can signal before the deadline; a wait forever with nobody
    // left to wake reports a time-out rather than hanging the test.
    if (deadline) board.now = std::max(board.now, *deadline);
    return kWaitTimedOut;
  }
}

uint64_t VirtualThreadServices::NowMs() {
  std::lock_guard lock(m_state->mutex);
  return m_state->now;
}

void VirtualThreadServices::Sleep(uint32_t ms) {
  if (!detail::OnVirtualWorker()) {
    WaitAny({}, ms);
    return;
  }
  detail::WaitBoard& board = *m_state;
  std::unique_lock lock(board.mutex);
  const uint64_t wake = board.now + ms;
  board.sleepers.insert(wake);
  --board.busy;
  board.changed.notify_all();
  board.changed.wait(lock, [&] { return board.now >= wake; });
}

size_t VirtualThreadServices::LiveThreads() {
  std::lock_guard lock(m_state->mutex);
  return m_state->live;
}

}  // namespace platform
