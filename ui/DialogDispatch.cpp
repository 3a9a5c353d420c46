// The dialog procedure shared by every dialog and both toolkits.
//
//   WM_INITDIALOG  centre the dialog; the creation parameter (second) is the
//                  object: store it in the user slot, give it the window,
//                  call Init and answer 1.  No object: answer 0.
//   WM_COMMAND     id = low word, code = high word of the first parameter.
//                  With an object: (1, 0) Ok, (2, 0) Cancel, anything else
//                  Command(code, id).  Then, object or not, (2, 0) ends the
//                  dialog with 2, so Cancel and Escape always close it even
//                  when the object's Cancel does not.  Answers 1.
//   WM_DESTROY     Destroyed, then the user slot is cleared; answers 0.
//   others         the object's Message; before WM_INITDIALOG (no object
//                  yet) the default window procedure.
#include <exception>

#include "ui/ModalDialog.h"

namespace ui {
namespace {

MessageResult Route(DialogToolkit& toolkit, WindowHandle window, unsigned message, MessageParam first,
                    LongParam second) {
  ModalDialog* object = toolkit.GetUserSlot(window);
  switch (message) {
    case kWmInitDialog: {
      toolkit.CentreOnOwner(window);
      object = reinterpret_cast<ModalDialog*>(second);
      toolkit.SetUserSlot(window, object);
      if (!object) return 0;
      object->AttachWindow(window);
      object->Init();
      return 1;
    }
    case kWmCommand: {
      const int id = int(first & 0xFFFF);
      const unsigned code = unsigned((first >> 16) & 0xFFFF);
      if (object) {
        if (id == kIdOk && code == 0) {
          object->Ok();
        } else if (id == kIdCancel && code == 0) {
          object->Cancel();
        } else {
          object->Command(code, id);
        }
      }
      if (id == kIdCancel && code == 0) toolkit.EndDialog(window, kIdCancel);
      return 1;
    }
    case kWmDestroy:
      if (object) object->Destroyed();
      toolkit.SetUserSlot(window, nullptr);
      return 0;
    default:
      if (object) return object->Message(message, first, second);
      return toolkit.DefaultProcedure(window, message, first, second);
  }
}

}  // namespace

MessageResult DispatchDialogMessage(DialogToolkit& toolkit, WindowHandle window, unsigned message,
                                    MessageParam first, LongParam second) {
  try {
    return Route(toolkit, window, message, first, second);
  } catch (...) {
    toolkit.EndDialog(window, -1);
    return 0;
  }
}

}  // namespace ui
