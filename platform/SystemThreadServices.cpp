// ThreadServices on C++ threads and the steady clock (Linux, and the Windows
// builds, whose MinGW runtime maps C++ threads onto Win32 threads).
#include <chrono>

#include "platform/WaitBoard.h"

namespace platform {
namespace {

class StdThreadServices final : public ThreadServices {
 public:
  std::unique_ptr<AutoResetEvent> CreateAutoResetEvent() override {
    return std::make_unique<detail::BoardEvent>(m_board);
  }

  std::unique_ptr<ThreadHandle> StartThread(std::function<void()> body) override {
    try {
      return std::make_unique<detail::BoardThread>(m_board, std::move(body));
    } catch (const std::system_error&) {
      return nullptr;
    }
  }

  int WaitAny(std::initializer_list<Waitable*> objects, uint32_t timeoutMs) override {
    std::unique_lock lock(m_board->mutex);
    const auto ready = [&] { return detail::AnySignalled(objects); };
    if (timeoutMs == kWaitForever) {
      m_board->changed.wait(lock, ready);
    } else {
      m_board->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    }
    return detail::TakeSignalled(objects);
  }

  uint64_t NowMs() override {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
  }

  void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

 private:
  std::shared_ptr<detail::WaitBoard> m_board = std::make_shared<detail::WaitBoard>();
};

}  // namespace

ThreadServices& SystemThreadServices() {
  static StdThreadServices services;
  return services;
}

}  // namespace platform
