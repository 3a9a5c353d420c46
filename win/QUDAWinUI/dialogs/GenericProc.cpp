#include "win/QUDAWinUI/dialogs/GenericProc.h"

#include "ui/ModalDialog.h"
#include "win/QUDAWinUI/dialogs/Win32Toolkit.h"

extern "C" INT_PTR CALLBACK GenericProc(HWND dialog, UINT message, WPARAM first, LPARAM second) {
  // Nothing may unwind out of here: the caller is the system's dialog
  // manager, whose frames cannot be unwound through (DispatchDialogMessage
  // catches the dialogs' exceptions; the toolkit's own handling throws none).
  ui::win32::Win32Toolkit& toolkit = ui::win32::ModuleWin32Toolkit();
  INT_PTR answer = 0;
  try {
    if (toolkit.HandleOwnMessage(dialog, message, first, second, answer)) return answer;
  } catch (...) {
    return 0;
  }
  answer = ui::DispatchDialogMessage(toolkit, dialog, message, first, second);
  if (message == WM_DESTROY) {
    try {
      toolkit.ForgetWindow(dialog);
    } catch (...) {
    }
  }
  return answer;
}
