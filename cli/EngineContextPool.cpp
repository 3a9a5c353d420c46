#include "cli/EngineContextPool.h"

#include <new>

EngineContextPool::EngineContextPool(size_t workers) { m_free.reserve(workers); }

std::unique_ptr<EngineContext> EngineContextPool::Borrow() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    if (!m_free.empty()) {
      std::unique_ptr<EngineContext> ctx = std::move(m_free.back());
      m_free.pop_back();
      ++m_lent;
      return ctx;
    }
    if (!m_exhausted || m_lent == 0) {
      try {
        std::unique_ptr<EngineContext> ctx = std::make_unique<EngineContext>();
        ++m_lent;
        return ctx;
      } catch (const std::bad_alloc&) {
      }
      if (m_lent == 0) return nullptr;
      m_exhausted = true;
    }
    m_returned.wait(lock, [this] { return !m_free.empty() || m_lent == 0; });
  }
}

void EngineContextPool::GiveBack(std::unique_ptr<EngineContext> ctx) {
  std::lock_guard<std::mutex> lock(m_mutex);
  --m_lent;
  if (ctx) m_free.push_back(std::move(ctx));
  m_returned.notify_all();
}
