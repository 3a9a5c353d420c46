// Where a dialog opens: centred horizontally over its owner and a third of
// the way down, kept on the screen.
//
// A pure function of the rectangles and the system metric involved, so the
// rule is tested without a screen; each toolkit gathers the numbers and moves
// the window.
#pragma once

namespace ui {

struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

struct ScreenPoint {
  int x = 0;
  int y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

struct PlacementInput {
  ScreenRect area;          // owner's client area on the screen, or the desktop's
  int dialogWidth = 0;
  int dialogHeight = 0;
  int screenWidth = 0;
  int screenHeight = 0;
  int captionButtonWidth = 0;  // SM_CXSIZE
  bool hasSystemMenu = true;
};

// The dialog's new top-left corner.  The offset to the left leaves room for
// the caption buttons' width (two thirds of it without a system menu).  Only
// the right and bottom screen edges are enforced: a position left of the
// screen stays as computed.
ScreenPoint CentreDialog(const PlacementInput& in);

}  // namespace ui
