#include "cli/ProgressDisplay.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

namespace {

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

ProgressDisplay::ProgressDisplay(bool quiet) : m_quiet(quiet), m_terminal(::isatty(STDERR_FILENO) != 0) {}

ProgressDisplay::Slot& ProgressDisplay::SlotAt(int slot) {
  while (static_cast<int>(m_slots.size()) <= slot) m_slots.push_back(std::make_unique<Slot>());
  return *m_slots[slot];
}

RunProgress* ProgressDisplay::Begin(int slot, const std::string& name) {
  std::lock_guard<std::mutex> lock(m_mutex);
  Slot& s = SlotAt(slot);
  s.active = true;
  s.name = BaseName(name);
  s.progress.pass = 0;
  s.progress.percent = 0;
  s.progress.lastSize = 0;
  return &s.progress;
}

void ProgressDisplay::End(int slot) {
  std::lock_guard<std::mutex> lock(m_mutex);
  SlotAt(slot).active = false;
}

void ProgressDisplay::ClearStatusLocked() {
  if (m_statusWidth == 0) return;
  std::fprintf(stderr, "\r%*s\r", static_cast<int>(m_statusWidth), "");
  m_statusWidth = 0;
}

void ProgressDisplay::Line(const std::string& text, bool isError) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ClearStatusLocked();
  if (isError) {
    std::fprintf(stderr, "%s\n", text.c_str());
  } else if (!m_quiet) {
    std::fprintf(stdout, "%s\n", text.c_str());
    std::fflush(stdout);
  }
}

void ProgressDisplay::RunUntil(const std::function<bool()>& done) {
  while (!done()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (m_quiet || !m_terminal) continue;
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string status;
    for (const auto& s : m_slots) {
      if (!s->active) continue;
      const int pass = s->progress.pass;
      char part[160];
      std::snprintf(part, sizeof part, "%s%s %s %d%%", status.empty() ? "" : " | ", s->name.c_str(),
                    pass < 0 ? "analysing" : ("pass " + std::to_string(pass + 1)).c_str(),
                    s->progress.percent < 0 ? 0 : s->progress.percent.load());
      status += part;
      if (s->progress.lastSize > 0) status += " " + std::to_string(s->progress.lastSize) + " B";
    }
    if (status.size() > 150) status = status.substr(0, 147) + "...";
    ClearStatusLocked();
    if (!status.empty()) {
      std::fprintf(stderr, "%s", status.c_str());
      std::fflush(stderr);
      m_statusWidth = status.size();
    }
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  ClearStatusLocked();
}
