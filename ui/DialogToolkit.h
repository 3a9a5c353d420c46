// The one interface between the dialogs and whatever shows them.
//
// Every dialog (options, Keep Chunks, progress, about) is written against
// this interface only.  Two toolkits realise it:
//   - the Windows toolkit: real modal dialogs built by the dialog manager
//     from the module's templates, driven through the exported GenericProc;
//   - the headless toolkit (ui/headless/): the same templates as controls in
//     memory, used on Linux by the tests and by the host stand-in.
// Both send the dialog the Windows message numbers of ui/WindowMessages.h
// through DispatchDialogMessage, so a dialog's logic runs unchanged.
//
// Conventions shared by every operation:
//   - `dialog` is the dialog window the framework handed to ModalDialog::Init
//     (ModalDialog::m_hWnd); `id` is a control id of its template.  A control
//     id the template does not have makes the operation do nothing and a
//     query answer its empty value (no text, 0, unchecked).  When several
//     controls share an id (the unnamed statics, id -1), the first one in
//     template order is meant, as with the dialog manager.
//   - Texts are 8-bit, as everywhere in the module.
//   - Operations that change a control behave as the Windows controls do,
//     including the notifications they send back to the dialog: setting an
//     edit's text sends EN_CHANGE; a click on an auto check box or auto radio
//     button changes its state before the dialog hears BN_CLICKED; slider
//     positions are clamped to the slider's range.
//   - All operations run on the thread that runs the dialog.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ui/ControlText.h"
#include "ui/WindowMessages.h"

namespace ui {

class ModalDialog;

// The host's plug-in reference, from which the module's instance handle is
// found when templates, strings and icons are loaded.  Null: use the
// module's own handle.
using InstanceSource = const void*;

// Called for every key event while installed: the virtual key and whether
// the key went up (the transition bit of the key event).
using KeyboardHookFn = void (*)(int virtualKey, bool keyUp);

enum class ButtonState : int { Unchecked = 0, Checked = 1, Indeterminate = 2 };

class DialogToolkit {
 public:
  virtual ~DialogToolkit() = default;

  // --- Running a dialog -------------------------------------------------

  // Shows template `resource` modally, owned by the window active now, and
  // dispatches its messages to `dialog` until it ends.  Returns the value
  // given to EndDialog (1 OK, 2 Cancel, or the dialog's own value), or -1
  // when the template cannot be found or the window cannot be created.
  virtual MessageResult RunModal(ModalDialog& dialog, InstanceSource source, int resource) = 0;

  // Ends the dialog once the current message has been handled.  A later call
  // before it has ended replaces the result.
  virtual void EndDialog(WindowHandle dialog, MessageResult result) = 0;

  // Sends a message to the dialog and returns the dialog's answer; posting
  // queues it behind what is already pending and returns at once.
  virtual MessageResult SendToDialog(WindowHandle dialog, unsigned message, MessageParam first,
                                     LongParam second) = 0;
  virtual void PostToDialog(WindowHandle dialog, unsigned message, MessageParam first,
                            LongParam second) = 0;

  // --- Plumbing of the dialog procedure (used by DispatchDialogMessage) ------

  // The dialog's user slot, which holds its ModalDialog object.
  virtual ModalDialog* GetUserSlot(WindowHandle dialog) = 0;
  virtual void SetUserSlot(WindowHandle dialog, ModalDialog* object) = 0;
  // The default window procedure's answer to a message no object handles.
  virtual MessageResult DefaultProcedure(WindowHandle dialog, unsigned message, MessageParam first,
                                         LongParam second) = 0;
  // Moves the dialog to CentreDialog's place over its owner.
  virtual void CentreOnOwner(WindowHandle dialog) = 0;

  // The dialog's title bar text.
  virtual void SetTitle(WindowHandle dialog, std::string_view text) = 0;
  virtual std::string GetTitle(WindowHandle dialog) = 0;

  // --- Controls ------------------------------------------------------------

  // The control's own window (for comparing with a notification's sender,
  // e.g. the second parameter of WM_HSCROLL), or null; and back to its id.
  virtual WindowHandle GetControl(WindowHandle dialog, int id) = 0;
  virtual int GetControlId(WindowHandle control) = 0;

  virtual void SetText(WindowHandle dialog, int id, std::string_view text) = 0;
  // At most maxBytes - 1 characters, as a fixed buffer of maxBytes would
  // hold with its terminating zero.
  virtual std::string GetText(WindowHandle dialog, int id, size_t maxBytes = 1024) = 0;

  // Signed integer reading of the text (ParseDialogInteger); 0 when the text
  // is not a number.
  int32_t GetInteger(WindowHandle dialog, int id);
  // ParseDialogDecimal of the text: "?..." is 0.0.
  double GetDecimal(WindowHandle dialog, int id);
  // Status 0 in range, 1 a number outside low..high, 2 not a number.
  RangedInteger GetIntegerInRange(WindowHandle dialog, int id, int32_t low, int32_t high);

  virtual void Enable(WindowHandle dialog, int id, bool enabled) = 0;
  virtual bool IsEnabled(WindowHandle dialog, int id) = 0;
  virtual void Show(WindowHandle dialog, int id, bool visible) = 0;
  virtual bool IsVisible(WindowHandle dialog, int id) = 0;
  virtual void SetFocus(WindowHandle dialog, int id) = 0;

  // Check boxes and radio buttons.
  virtual ButtonState GetCheck(WindowHandle dialog, int id) = 0;
  virtual void SetCheck(WindowHandle dialog, int id, ButtonState state) = 0;
  bool IsChecked(WindowHandle dialog, int id) { return GetCheck(dialog, id) == ButtonState::Checked; }
  // Checks `id` and unchecks every other button whose id lies in first..last.
  virtual void CheckRadio(WindowHandle dialog, int first, int last, int id) = 0;

  // Clicks a button as the user would (BM_CLICK): sent, the click and its
  // BN_CLICKED are handled before this returns; posted, they wait in the
  // queue.  A disabled button ignores the click.
  virtual void PressButton(WindowHandle dialog, int id, bool post) = 0;
  // Posts WM_COMMAND with this control id and code 0 to the dialog.
  void PostCommand(WindowHandle dialog, int id) {
    PostToDialog(dialog, kWmCommand, MakeCommandParam(id, kBnClicked), 0);
  }

  // Sliders (trackbars): position, range (both redraw), and a buddy control
  // attached to the left or right end.
  virtual int GetSliderPos(WindowHandle dialog, int id) = 0;
  virtual void SetSliderPos(WindowHandle dialog, int id, int pos) = 0;
  virtual void SetSliderRange(WindowHandle dialog, int id, int low, int high) = 0;
  virtual void SetSliderBuddy(WindowHandle dialog, int id, int buddyId, bool atLeft) = 0;

  // Progress bar position (range 0..100).
  virtual void SetProgress(WindowHandle dialog, int id, int pos) = 0;

  // --- Timers --------------------------------------------------------------

  // Starts (or restarts) timer `timerId`: WM_TIMER with first parameter
  // timerId every periodMs.  False when no timer could be started.
  virtual bool SetTimer(WindowHandle dialog, unsigned timerId, unsigned periodMs) = 0;
  virtual void KillTimer(WindowHandle dialog, unsigned timerId) = 0;

  // --- Keyboard hook (Alt relabelling of the options dialogs) -----------------

  // Installs `hook` for every key event of the calling (the dialog's)
  // thread until removed.
  // False when it cannot be installed.  One hook at a time.
  virtual bool InstallKeyboardHook(KeyboardHookFn hook) = 0;
  virtual void RemoveKeyboardHook() = 0;

  // --- Tooltips --------------------------------------------------------------

  // Creates the dialog's tooltip window (always shown, no prefix processing,
  // topmost).  False when it cannot be created.
  virtual bool CreateTooltips(WindowHandle dialog) = 0;
  // Registers control `id` as a tool whose text, asked for on demand, is the
  // string-table entry numbered `id` (at most 255 characters).
  virtual void AddTooltip(WindowHandle dialog, int id) = 0;

  // --- List view with check boxes (Keep Chunks) ------------------------------

  virtual void ListEnableCheckBoxes(WindowHandle dialog, int id) = 0;
  virtual void ListAddColumn(WindowHandle dialog, int id, std::string_view title, bool alignRight) = 0;
  // Every column as wide as the larger of its title and its widest cell.
  virtual void ListFitColumns(WindowHandle dialog, int id) = 0;
  // Appends a row carrying `data`; returns its index.
  virtual int ListAddRow(WindowHandle dialog, int id, const void* data) = 0;
  virtual int ListRowCount(WindowHandle dialog, int id) = 0;
  virtual void ListSetCell(WindowHandle dialog, int id, int row, int column, std::string_view text) = 0;
  virtual std::string ListGetCell(WindowHandle dialog, int id, int row, int column) = 0;
  virtual bool ListIsRowChecked(WindowHandle dialog, int id, int row) = 0;
  virtual void ListSetRowChecked(WindowHandle dialog, int id, int row, bool checked) = 0;
  virtual const void* ListGetRowData(WindowHandle dialog, int id, int row) = 0;
  virtual void ListSetRowData(WindowHandle dialog, int id, int row, const void* data) = 0;

  // --- Owner-drawn colour swatch (Keep Chunks background) ----------------------

  // The button draws itself: a sunken edge; with no colour the text "None"
  // centred (greyed while disabled), else filled with 0xRRGGBB of `colour`;
  // a focus rectangle inside while focused.  colour 0 means none; any colour
  // with a non-zero top byte is a colour.
  virtual void SetSwatchColor(WindowHandle dialog, int id, uint32_t colour) = 0;

  // --- About box link ----------------------------------------------------------

  // Makes static `id` draw as a link (blue, underlined, transparent); the
  // toolkit owns the font and releases it with the dialog.  The dialog
  // forwards WM_CTLCOLORSTATIC here and returns the answer.
  virtual void MakeLink(WindowHandle dialog, int id) = 0;
  virtual MessageResult LinkColours(WindowHandle dialog, MessageParam first, LongParam second) = 0;
};

}  // namespace ui
