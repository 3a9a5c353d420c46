// Runs independent pieces of work on a few threads.
//
// The search's estimates are independent of each other and pure (each
// builds its own model), so they are handed out one at a time from a shared
// counter: an expensive piece never holds up the cheap ones behind it, and
// the results do not depend on which thread ran what.
//
// A piece that throws (out of memory, most likely) must not take the
// process down: an exception leaving a std::thread, or a joinable thread
// destroyed while one unwinds, ends in std::terminate.  So every thread
// catches, no new piece starts after the first failure, and the caller gets
// that failure once all threads are joined.  Threads the system refuses to
// start are done without; the caller's thread does their share.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace search {

// Runs work(i) for every i in [0, n) on up to `threads` threads (the
// caller's own included) and returns when all are done; rethrows the first
// exception a piece threw, after the other threads have finished theirs.
template <typename Work>
void ParallelFor(size_t n, int threads, Work&& work) {
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  std::mutex failureMutex;
  auto loop = [&] {
    try {
      for (size_t i = next++; i < n && !failed; i = next++) work(i);
    } catch (...) {
      std::lock_guard<std::mutex> lock(failureMutex);
      if (!failure) failure = std::current_exception();
      failed = true;
    }
  };
  std::vector<std::thread> pool;
  const size_t helpers = threads > 1 && n > 1 ? std::min(size_t(threads - 1), n - 1) : 0;
  pool.reserve(helpers);  // before any thread starts: a throw here leaves none to join
  for (size_t t = 0; t < helpers; ++t) {
    try {
      pool.emplace_back(loop);
    } catch (const std::exception&) {
      break;
    }
  }
  loop();
  for (std::thread& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace search
