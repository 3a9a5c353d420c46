// The values the host's thread and the engine's worker share during a save
// (see ProgressRun.h for why they are module-wide).  Internal to the
// progress run.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/EncodeJob.h"

namespace ui::progress {

struct SharedRunState {
  std::atomic<EncodeJob*> currentJob{nullptr};
  std::atomic<uint8_t> stopAfterPass{0};
  std::atomic<uint8_t> cancel{0};
  // Written by the options dialogs through a plain pointer before the run
  // starts; read by the worker through atomic_ref.
  int maximumPasses = 0;
  // Set by the poll that stopped the engine for a cancellation; the host's
  // thread turns it into the host's result after the worker has ended.
  std::atomic<bool> cancelledByPoll{false};
};

SharedRunState& Shared();

}  // namespace ui::progress
