// What the user sees while the batch runs.  On a terminal one status line
// shows every run under way (file, pass, row percentage, size so far) and
// is redrawn a few times a second; without a terminal only whole lines are
// written, one per finished file, so logs stay readable.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/EngineRun.h"

class ProgressDisplay {
 public:
  explicit ProgressDisplay(bool quiet);

  // A worker slot starts a run of the named file; the engine run updates
  // the returned progress record.
  RunProgress* Begin(int slot, const std::string& name);
  void End(int slot);

  // A finished file's line (stdout) or an error line (stderr, even quiet).
  void Line(const std::string& text, bool isError);

  // Redraws the status line until done() answers true.
  void RunUntil(const std::function<bool()>& done);

 private:
  struct Slot {
    bool active = false;
    std::string name;
    RunProgress progress;
  };
  Slot& SlotAt(int slot);
  void ClearStatusLocked();

  bool m_quiet;
  bool m_terminal;
  std::mutex m_mutex;
  std::vector<std::unique_ptr<Slot>> m_slots;
  size_t m_statusWidth = 0;
};
