// The base of every dialog of the module.
//
// A dialog is a small class that overrides only what it needs; the dialog
// procedure (DispatchDialogMessage, exported on Windows as GenericProc)
// finds the object in the dialog window's user slot and calls it:
//
//   Init        once the window and its controls exist, before it is shown
//   Command     every WM_COMMAND except OK and Cancel with code 0
//   Destroyed   when the window is destroyed
//   Ok / Cancel the OK / Cancel command (base: end with 1 / 2)
//   Message     every other message (base: 0, "not handled")
//   RunModal    shows the dialog and returns its result
//
// The virtual operations keep this slot order, and derived dialogs append
// their own after RunModal, never in between: the order is the layout other
// code of the module was built against.  The data members likewise keep
// their order; m_toolkit, which says which toolkit shows this dialog, comes
// after them.
//
// An object lives on the stack of whoever runs it: it exists before its
// window and outlives it.  m_hWnd is valid from Init to Destroyed.
#pragma once

#include <cstdint>

#include "ui/DialogToolkit.h"

namespace ui {

class ModalDialog {
 public:
  explicit ModalDialog(DialogToolkit& toolkit) : m_toolkit(&toolkit) {}
  ModalDialog(const ModalDialog&) = delete;
  ModalDialog& operator=(const ModalDialog&) = delete;

  virtual ~ModalDialog() = default;
  virtual void Init() {}
  virtual void Command(unsigned code, int id) { (void)code, (void)id; }
  virtual void Destroyed() {}
  virtual void Ok() { m_toolkit->EndDialog(m_hWnd, kIdOk); }
  virtual void Cancel() { m_toolkit->EndDialog(m_hWnd, kIdCancel); }
  virtual MessageResult Message(unsigned message, MessageParam first, LongParam second) {
    (void)message, (void)first, (void)second;
    return 0;
  }
  // Records the resource and the instance source, then shows template
  // `resource`.  1 OK, 2 Cancel, a dialog's own value, or -1 when the
  // template cannot be shown.  `name` is not used by either toolkit.
  virtual MessageResult RunModal(InstanceSource source, const char* name, int resource);

  DialogToolkit& Toolkit() const { return *m_toolkit; }
  int ResourceId() const { return m_resourceId; }
  InstanceSource Source() const { return m_instanceSource; }
  WindowHandle Window() const { return m_hWnd; }

  // Set by the dialog procedure at WM_INITDIALOG.
  void AttachWindow(WindowHandle window) { m_hWnd = window; }

 protected:
  uintptr_t m_reserved = 0;
  int m_resourceId = 0;
  WindowHandle m_hWnd = nullptr;
  InstanceSource m_instanceSource = nullptr;
  DialogToolkit* m_toolkit;
};

// The dialog procedure: routes one message of `window` to the object in its
// user slot, as described for each message in DialogDispatch.cpp.  Never
// lets an exception out, because on Windows it runs under system frames that
// cannot be unwound: an exception from a dialog ends that dialog with -1.
MessageResult DispatchDialogMessage(DialogToolkit& toolkit, WindowHandle window, unsigned message,
                                    MessageParam first, LongParam second);

}  // namespace ui
