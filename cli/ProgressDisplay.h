// What the user sees while the batch runs.  On a terminal one status line
// shows the files under way ("3/40 name: pass 4, 62 %, 1.2 MB"), cut to the
// terminal's width so that it never wraps, and redrawn a few times a second;
// without a terminal only whole lines are written, one per finished file, so
// logs stay readable.  Waiting for the batch adds no delay: the display
// wakes as soon as the last worker is done.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/EngineRun.h"

class ProgressDisplay {
 public:
  // reportsToStderr: the per-file lines go to stderr (stdout carries a PNG
  // or JSON).  With --json the JSON lines still go to stdout.
  ProgressDisplay(bool quiet, bool reportsToStderr);

  void SetTotal(int files) { m_total = files; }

  // A worker slot starts a run of the file with the given batch position;
  // the run updates the returned progress record.
  RunProgress* Begin(int slot, const std::string& name, int index);
  void End(int slot);

  // A finished file's line (stdout, unless reports go to stderr) or an
  // error line (stderr, even when quiet).
  void Line(const std::string& text, bool isError);

  // Redraws the status line until done() answers true; Wake has done()
  // asked again at once.
  void RunUntil(const std::function<bool()>& done);
  void Wake();

  // The status text for the given width: segments of the active files,
  // cut to at most width - 1 bytes, between characters (0: not cut).
  std::string StatusText(size_t width);

 private:
  struct Slot {
    bool active = false;
    std::string name;
    int index = 0;
    RunProgress progress;
  };
  Slot& SlotAt(int slot);
  void ClearStatusLocked();

  bool m_quiet;
  bool m_reportsToStderr;
  bool m_terminal;
  int m_total = 0;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_woken = false;
  std::vector<std::unique_ptr<Slot>> m_slots;
  bool m_statusShown = false;
};
