#include "cli/ProgressDisplay.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>

#include "cli/Utf8Text.h"

namespace {

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SizeText(int bytes) {
  char text[32];
  if (bytes < 1000) {
    std::snprintf(text, sizeof text, "%d B", bytes);
  } else if (bytes < 1000000) {
    std::snprintf(text, sizeof text, "%.1f kB", bytes / 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
  }
  return text;
}

// --json lines go to stdout even when quiet; they are all objects.
bool IsJson(const std::string& text) { return !text.empty() && text.front() == '{'; }

size_t TerminalWidth() {
  struct winsize size {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace

ProgressDisplay::ProgressDisplay(bool quiet, bool reportsToStderr)
    : m_quiet(quiet), m_reportsToStderr(reportsToStderr), m_terminal(::isatty(STDERR_FILENO) != 0) {}

ProgressDisplay::Slot& ProgressDisplay::SlotAt(int slot) {
  while (static_cast<int>(m_slots.size()) <= slot) {
    m_slots.push_back(std::make_unique<Slot>());
    m_slots.back()->progress.printLine = [this](const std::string& text) { Line(text, true); };
  }
  return *m_slots[slot];
}

RunProgress* ProgressDisplay::Begin(int slot, const std::string& name, int index) {
  std::lock_guard<std::mutex> lock(m_mutex);
  Slot& s = SlotAt(slot);
  s.active = true;
  // Kept in its shown form, so that the width arithmetic below counts the
  // escapes a control byte in the name turns into.
  s.name = TerminalText(BaseName(name));
  s.index = index;
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
  if (!m_statusShown) return;
  std::fputs("\r\x1b[K", stderr);
  m_statusShown = false;
}

void ProgressDisplay::Line(const std::string& text, bool isError) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ClearStatusLocked();
  if (isError) {
    std::fprintf(stderr, "%s\n", text.c_str());
  } else if (!m_quiet || IsJson(text)) {
    FILE* out = m_reportsToStderr && !IsJson(text) ? stderr : stdout;
    std::fprintf(out, "%s\n", text.c_str());
    std::fflush(out);
  }
}

std::string ProgressDisplay::StatusText(size_t width) {
  // One segment per file: of its runs under way, the one furthest along.
  std::map<int, const Slot*> files;
  for (const auto& s : m_slots) {
    if (!s->active) continue;
    const Slot*& shown = files[s->index];
    if (!shown || s->progress.pass > shown->progress.pass) shown = s.get();
  }
  std::string status;
  for (const auto& [index, s] : files) {
    const int pass = s->progress.pass;
    const int percent = s->progress.percent < 0 ? 0 : s->progress.percent.load();
    std::string segment = std::to_string(index) + "/" + std::to_string(m_total) + " " + s->name + ": ";
    segment += pass < 0 ? "splitting" : "pass " + std::to_string(pass + 1);
    segment += ", " + std::to_string(percent) + " %";
    if (s->progress.lastSize > 0) segment += ", " + SizeText(s->progress.lastSize);
    status += (status.empty() ? "" : " | ") + segment;
  }
  if (width > 0 && status.size() > width - 1) status.resize(TerminalPrefixLength(status, width - 1));
  return status;
}

void ProgressDisplay::Wake() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_woken = true;
  m_wake.notify_all();
}

void ProgressDisplay::RunUntil(const std::function<bool()>& done) {
  while (!done()) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(200), [this] { return m_woken; });
    m_woken = false;
    if (m_quiet || !m_terminal) continue;
    const std::string status = StatusText(TerminalWidth());
    ClearStatusLocked();
    if (!status.empty()) {
      std::fprintf(stderr, "%s", status.c_str());
      std::fflush(stderr);
      m_statusShown = true;
    }
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  ClearStatusLocked();
}
