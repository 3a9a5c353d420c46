#include "ui/DialogPlacement.h"

#include <algorithm>

namespace ui {

ScreenPoint CentreDialog(const PlacementInput& in) {
  int offset = in.captionButtonWidth;
  if (!in.hasSystemMenu) offset -= offset / 3;

  ScreenPoint at;
  at.x = in.area.left + std::max(in.area.Width() - in.dialogWidth, 0) / 2 - offset;
  if (at.x + in.dialogWidth > in.screenWidth) at.x = std::max(in.screenWidth - in.dialogWidth, 0);
  at.y = in.area.top + std::max(in.area.Height() - in.dialogHeight, 0) / 3;
  if (at.y + in.dialogHeight > in.screenHeight) at.y = std::max(in.screenHeight - in.dialogHeight, 0);
  return at;
}

}  // namespace ui
