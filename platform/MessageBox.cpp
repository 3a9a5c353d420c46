// The platform-neutral half of the module's message boxes: the recorder and
// the installation of sinks (see platform/MessageBox.h).  Which sink shows a
// box while none is installed is the platform's choice
// (PlatformDefaultMessageBoxSink).
#include "platform/MessageBox.h"

#include <atomic>

#include "platform/PlatformMessageBox.h"

namespace platform {

void RecordedMessageBoxes::Show(std::string_view text, std::string_view title) {
  std::lock_guard lock(m_mutex);
  if (m_boxes.size() == kCapacity) m_boxes.pop_front();
  m_boxes.push_back({std::string(text), std::string(title)});
  ++m_totalShown;
}

std::vector<MessageBoxEntry> RecordedMessageBoxes::Boxes() const {
  std::lock_guard lock(m_mutex);
  return {m_boxes.begin(), m_boxes.end()};
}

std::optional<MessageBoxEntry> RecordedMessageBoxes::Last() const {
  std::lock_guard lock(m_mutex);
  if (m_boxes.empty()) return std::nullopt;
  return m_boxes.back();
}

size_t RecordedMessageBoxes::TotalShown() const {
  std::lock_guard lock(m_mutex);
  return m_totalShown;
}

void RecordedMessageBoxes::Clear() {
  std::lock_guard lock(m_mutex);
  m_boxes.clear();
  m_totalShown = 0;
}

namespace {

// The one piece of process state here: which sink receives boxes.  Boxes
// are shown on the host's thread, but the worker thread of a save may read
// the installation too, hence the atomic.
std::atomic<MessageBoxSink*>& InstalledSink() {
  static std::atomic<MessageBoxSink*> installed{nullptr};
  return installed;
}

}  // namespace

RecordedMessageBoxes& DefaultMessageBoxes() {
  static RecordedMessageBoxes recorder;
  return recorder;
}

MessageBoxSink* InstallMessageBoxSink(MessageBoxSink* sink) {
  return InstalledSink().exchange(sink);
}

void ShowMessageBox(std::string_view text, std::string_view title) {
  MessageBoxSink* sink = InstalledSink().load();
  if (sink == nullptr) sink = &PlatformDefaultMessageBoxSink();
  sink->Show(text, title);
}

}  // namespace platform
