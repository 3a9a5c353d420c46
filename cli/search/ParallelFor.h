// Runs independent pieces of work on a few threads.
//
// The search's estimates are independent of each other and pure (each
// builds its own model), so they are handed out one at a time from a shared
// counter: an expensive piece never holds up the cheap ones behind it, and
// the results do not depend on which thread ran what.
#pragma once

#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace search {

// Runs work(i) for every i in [0, n) on up to `threads` threads (the
// caller's own included) and returns when all are done.
template <typename Work>
void ParallelFor(size_t n, int threads, Work&& work) {
  std::atomic<size_t> next{0};
  auto loop = [&] {
    for (size_t i = next++; i < n; i = next++) work(i);
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < threads && size_t(t) < n; ++t) pool.emplace_back(loop);
  loop();
  for (std::thread& t : pool) t.join();
}

}  // namespace search
