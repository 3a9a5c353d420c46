// Message boxes of the module: every message the frame, the dialogs and the
// chunk model show to the user is an error box (stop icon, one OK button)
// owned by the host's active window, with a text and a title.
//
// On Windows the box is a real MessageBoxA.  On Linux there is no user to
// click OK, so the box goes to a sink object instead: by default a recorder
// that keeps the last few boxes, which the tests and the host stand-in read
// back.  A caller that wants its own sink (a test checking that exactly one
// box appears, the host stand-in logging them) installs it for a while and
// then puts the previous one back; ScopedMessageBoxSink does that pairing.
// Showing a box never fails and never blocks; the caller continues as it
// would after the user pressed OK.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct MessageBoxEntry {
  std::string text;
  std::string title;
  bool operator==(const MessageBoxEntry&) const = default;
};

// Where shown boxes go.
class MessageBoxSink {
 public:
  virtual ~MessageBoxSink() = default;
  virtual void Show(std::string_view text, std::string_view title) = 0;
};

// A sink that remembers the most recent boxes, oldest first, and how many
// were shown in all.  Only the last kCapacity are kept so that a long run of
// the host stand-in cannot grow it without bound.
class RecordedMessageBoxes final : public MessageBoxSink {
 public:
  static constexpr size_t kCapacity = 32;

  void Show(std::string_view text, std::string_view title) override;

  std::vector<MessageBoxEntry> Boxes() const;
  std::optional<MessageBoxEntry> Last() const;
  size_t TotalShown() const;
  void Clear();

 private:
  mutable std::mutex m_mutex;
  std::deque<MessageBoxEntry> m_boxes;
  size_t m_totalShown = 0;
};

// Shows an error box through the installed sink.
void ShowMessageBox(std::string_view text, std::string_view title);

// The recorder that receives boxes while no other sink is installed.
RecordedMessageBoxes& DefaultMessageBoxes();

// Routes later boxes to `sink` (null: back to the default recorder) and
// returns the sink that was installed before, or null if that was the
// default.  The sink must outlive its installation.
MessageBoxSink* InstallMessageBoxSink(MessageBoxSink* sink);

// Installs a sink for the lifetime of this object, then restores the
// previous one.
class ScopedMessageBoxSink {
 public:
  explicit ScopedMessageBoxSink(MessageBoxSink& sink) : m_previous(InstallMessageBoxSink(&sink)) {}
  ~ScopedMessageBoxSink() { InstallMessageBoxSink(m_previous); }
  ScopedMessageBoxSink(const ScopedMessageBoxSink&) = delete;
  ScopedMessageBoxSink& operator=(const ScopedMessageBoxSink&) = delete;

 private:
  MessageBoxSink* m_previous;
};

}  // namespace platform
