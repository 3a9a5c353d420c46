// The in-memory dialogs of the headless toolkit: one HeadlessWindow per
// running dialog, one HeadlessControl per control of its template.  Tests
// read them back directly; dialogs only ever see them through DialogToolkit.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/DialogPlacement.h"
#include "ui/DialogTemplates.h"
#include "ui/ModalDialog.h"

namespace ui::headless {

enum class ControlKind {
  Static,
  Icon,
  GroupBox,
  PushButton,
  CheckBox,      // BS_CHECKBOX: the dialog sets its state
  AutoCheckBox,  // a click toggles it
  RadioButton,
  AutoRadioButton,  // a click checks it and clears the rest of its group
  OwnerDrawButton,
  Edit,
  Slider,
  ProgressBar,
  ListView,
  Other,
};

ControlKind KindOf(const ControlTemplate& control);

struct ListRow {
  std::vector<std::string> cells;
  bool checked = false;
  const void* data = nullptr;
};

struct HeadlessControl {
  const ControlTemplate* source = nullptr;
  int id = 0;
  ControlKind kind = ControlKind::Other;
  std::string text;
  bool enabled = true;
  bool visible = true;
  bool groupStart = false;
  ButtonState check = ButtonState::Unchecked;
  int sliderLow = 0, sliderHigh = 100, sliderPos = 0;
  int buddyLeft = 0, buddyRight = 0;
  int progress = 0;
  bool digitsOnly = false;
  bool notifies = false;  // a static that reports clicks
  bool isLink = false;
  bool hasTooltip = false;
  uint32_t swatch = 0;
  bool listCheckBoxes = false;
  std::vector<std::string> columns;
  std::vector<bool> columnRight;
  std::vector<int> columnWidths;  // in characters, after ListFitColumns
  std::vector<ListRow> rows;
};

struct PostedMessage {
  HeadlessControl* target = nullptr;  // null: the dialog itself
  unsigned message = 0;
  MessageParam first = 0;
  LongParam second = 0;
};

struct HeadlessTimer {
  unsigned id = 0;
  unsigned periodMs = 0;
  uint64_t dueMs = 0;
};

struct HeadlessWindow {
  explicit HeadlessWindow(const DialogTemplate& source);

  HeadlessControl* Find(int id);
  const HeadlessControl* Find(int id) const;

  const DialogTemplate* source;
  std::string title;
  std::vector<HeadlessControl> controls;  // never resized after creation
  ModalDialog* userSlot = nullptr;
  bool ended = false;
  MessageResult result = 0;
  bool hasTooltips = false;
  int focusedId = 0;
  ScreenPoint position;
  std::deque<PostedMessage> posted;
  std::vector<HeadlessTimer> timers;
};

// A plain-text picture of the dialog: title, then one line per control
// with its id, kind, state and text.  What `shot` writes off Windows.
std::string RenderWindowText(const HeadlessWindow& window);

}  // namespace ui::headless
