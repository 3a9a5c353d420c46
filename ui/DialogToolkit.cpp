#include "ui/DialogToolkit.h"

namespace ui {

int32_t DialogToolkit::GetInteger(WindowHandle dialog, int id) {
  return ParseDialogInteger(GetText(dialog, id)).value_or(0);
}

double DialogToolkit::GetDecimal(WindowHandle dialog, int id) {
  return ParseDialogDecimal(GetText(dialog, id));
}

RangedInteger DialogToolkit::GetIntegerInRange(WindowHandle dialog, int id, int32_t low, int32_t high) {
  return ParseIntegerInRange(GetText(dialog, id), low, high);
}

}  // namespace ui
