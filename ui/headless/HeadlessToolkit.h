// The headless toolkit: dialogs as controls in memory, for the tests and
// the host stand-in on Linux.
//
// RunModal builds a HeadlessWindow from the template, sends WM_INITDIALOG
// and then runs the dialog's loop until it ends:
//   1. posted messages are delivered first, in order;
//   2. then the driver (a script, or a test's function) may act, as a user
//      would: click, type, move a slider, press Alt;
//   3. when neither has anything to do, time passes on the injected clock up
//      to the next timer, whose WM_TIMER is then delivered.
// A dialog with nothing left to drive it (no driver action, no timer) can
// never end; the toolkit then records the fact and ends it with -1 instead
// of hanging.
//
// The controls behave as the Windows controls the dialogs rely on: radio
// groups, auto check boxes, sliders that clamp, digits-only edits, EN_CHANGE
// when an edit's text is set, disabled controls that ignore clicks.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/ThreadServices.h"
#include "ui/DialogToolkit.h"
#include "ui/headless/HeadlessWindow.h"

namespace ui::headless {

class HeadlessToolkit;

// Acts on the top dialog like a user.  Step is called whenever the dialog
// has no posted message left.
class DialogDriver {
 public:
  enum class Outcome {
    Acted,     // did something: run the loop again
    Waiting,   // wants time to pass (an expectation not met yet)
    Finished,  // nothing more to do
  };
  virtual ~DialogDriver() = default;
  virtual Outcome Step(HeadlessToolkit& toolkit, HeadlessWindow& window) = 0;
  // The dialog is stuck while the driver was waiting: nothing will ever
  // change it, so what the driver waits for will not come.
  virtual void GiveUp() {}
};

// The trackbar notification the toolkit sends when the user moves a slider.
inline constexpr unsigned kTrackbarThumbPosition = 4;
// The button message of a click.
inline constexpr unsigned kBmClick = 0x00F5;

class HeadlessToolkit final : public DialogToolkit {
 public:
  explicit HeadlessToolkit(platform::ThreadServices& services);
  ~HeadlessToolkit() override;

  void SetDriver(DialogDriver* driver) { m_driver = driver; }
  // Templates looked up before the module's own (tests of control
  // behaviour the module's templates do not show).
  void AddTemplates(std::span<const DialogTemplate> templates) { m_extraTemplates = templates; }
  platform::ThreadServices& Services() { return m_services; }

  // The top dialog, or null; windows of dialogs that ended are gone.
  HeadlessWindow* TopWindow();
  // Dialog templates shown so far, in order, with how each ended.
  struct Shown {
    int resource;
    MessageResult result;
  };
  const std::vector<Shown>& History() const { return m_history; }
  // Problems of the loop itself (a dialog nobody could end).
  const std::vector<std::string>& Problems() const { return m_problems; }
  size_t DefaultProcedureCalls() const { return m_defaultProcedureCalls; }
  // The text a tooltip of control `id` shows now, or empty.
  std::string TooltipText(WindowHandle dialog, int id);
  KeyboardHookFn KeyboardHook() const { return m_keyboardHook; }

  // What a user does (used by the script and by tests).  Each returns false
  // when the control is missing or refuses (disabled, wrong kind).
  bool UserClick(HeadlessWindow& window, int id);
  bool UserType(HeadlessWindow& window, int id, std::string_view text);
  bool UserSlide(HeadlessWindow& window, int id, int pos);
  bool UserKey(int virtualKey, bool keyUp);

  // Print each dialog's picture to standard output once it is initialised
  // (the host stand-in's view of the module's dialogs).
  bool echoDialogs = false;

  // Screen and metrics used to centre dialogs, in pixels.
  ScreenRect screen{0, 0, 1024, 768};
  int captionButtonWidth = 18;

  // DialogToolkit
  MessageResult RunModal(ModalDialog& dialog, InstanceSource source, int resource) override;
  void EndDialog(WindowHandle dialog, MessageResult result) override;
  MessageResult SendToDialog(WindowHandle dialog, unsigned message, MessageParam first, LongParam second) override;
  void PostToDialog(WindowHandle dialog, unsigned message, MessageParam first, LongParam second) override;
  ModalDialog* GetUserSlot(WindowHandle dialog) override;
  void SetUserSlot(WindowHandle dialog, ModalDialog* object) override;
  MessageResult DefaultProcedure(WindowHandle dialog, unsigned message, MessageParam first,
                                 LongParam second) override;
  void CentreOnOwner(WindowHandle dialog) override;
  void SetTitle(WindowHandle dialog, std::string_view text) override;
  std::string GetTitle(WindowHandle dialog) override;
  WindowHandle GetControl(WindowHandle dialog, int id) override;
  int GetControlId(WindowHandle control) override;
  void SetText(WindowHandle dialog, int id, std::string_view text) override;
  std::string GetText(WindowHandle dialog, int id, size_t maxBytes = 1024) override;
  void Enable(WindowHandle dialog, int id, bool enabled) override;
  bool IsEnabled(WindowHandle dialog, int id) override;
  void Show(WindowHandle dialog, int id, bool visible) override;
  bool IsVisible(WindowHandle dialog, int id) override;
  void SetFocus(WindowHandle dialog, int id) override;
  ButtonState GetCheck(WindowHandle dialog, int id) override;
  void SetCheck(WindowHandle dialog, int id, ButtonState state) override;
  void CheckRadio(WindowHandle dialog, int first, int last, int id) override;
  void PressButton(WindowHandle dialog, int id, bool post) override;
  int GetSliderPos(WindowHandle dialog, int id) override;
  void SetSliderPos(WindowHandle dialog, int id, int pos) override;
  void SetSliderRange(WindowHandle dialog, int id, int low, int high) override;
  void SetSliderBuddy(WindowHandle dialog, int id, int buddyId, bool atLeft) override;
  void SetProgress(WindowHandle dialog, int id, int pos) override;
  bool SetTimer(WindowHandle dialog, unsigned timerId, unsigned periodMs) override;
  void KillTimer(WindowHandle dialog, unsigned timerId) override;
  bool InstallKeyboardHook(KeyboardHookFn hook) override;
  void RemoveKeyboardHook() override;
  bool CreateTooltips(WindowHandle dialog) override;
  void AddTooltip(WindowHandle dialog, int id) override;
  void ListEnableCheckBoxes(WindowHandle dialog, int id) override;
  void ListAddColumn(WindowHandle dialog, int id, std::string_view title, bool alignRight) override;
  void ListFitColumns(WindowHandle dialog, int id) override;
  int ListAddRow(WindowHandle dialog, int id, const void* data) override;
  int ListRowCount(WindowHandle dialog, int id) override;
  void ListSetCell(WindowHandle dialog, int id, int row, int column, std::string_view text) override;
  std::string ListGetCell(WindowHandle dialog, int id, int row, int column) override;
  bool ListIsRowChecked(WindowHandle dialog, int id, int row) override;
  void ListSetRowChecked(WindowHandle dialog, int id, int row, bool checked) override;
  const void* ListGetRowData(WindowHandle dialog, int id, int row) override;
  void ListSetRowData(WindowHandle dialog, int id, int row, const void* data) override;
  void SetSwatchColor(WindowHandle dialog, int id, uint32_t colour) override;
  void MakeLink(WindowHandle dialog, int id) override;
  MessageResult LinkColours(WindowHandle dialog, MessageParam first, LongParam second) override;

 private:
  HeadlessControl* Control(WindowHandle dialog, int id);
  ListRow* Row(WindowHandle dialog, int id, int row);
  MessageResult Dispatch(HeadlessWindow& window, unsigned message, MessageParam first, LongParam second);
  void Click(HeadlessWindow& window, HeadlessControl& control);
  void Deliver(HeadlessWindow& window, const PostedMessage& posted);
  bool LetTimePass(HeadlessWindow& window);
  void RunLoop(HeadlessWindow& window);

  platform::ThreadServices& m_services;
  DialogDriver* m_driver = nullptr;
  std::span<const DialogTemplate> m_extraTemplates;
  std::vector<std::unique_ptr<HeadlessWindow>> m_stack;
  std::vector<Shown> m_history;
  std::vector<std::string> m_problems;
  size_t m_defaultProcedureCalls = 0;
  KeyboardHookFn m_keyboardHook = nullptr;
};

}  // namespace ui::headless
