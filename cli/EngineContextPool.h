// The engine contexts of a batch's workers.  A context holds tens of
// megabytes; a worker borrows one only while it works, so a small batch
// builds no more than it uses at once.  When memory holds no further
// context, a worker waits for one that another worker gives back: the batch
// runs on fewer contexts than -j asks instead of failing.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/EngineContext.h"

class EngineContextPool {
 public:
  // workers: how many may borrow at once, so that giving back never needs
  // memory.
  explicit EngineContextPool(size_t workers);

  // A context to work in; null only when none can be had at all (none
  // lent, and memory holds not even one).
  std::unique_ptr<EngineContext> Borrow();
  void GiveBack(std::unique_ptr<EngineContext> ctx);

 private:
  std::mutex m_mutex;
  std::condition_variable m_returned;
  std::vector<std::unique_ptr<EngineContext>> m_free;
  int m_lent = 0;
  bool m_exhausted = false;  // the last context built ran out of memory
};
