#include "ui/headless/HeadlessToolkit.h"

#include <algorithm>
#include <cstdio>

namespace ui::headless {
namespace {

HeadlessWindow& AsWindow(WindowHandle dialog) { return *static_cast<HeadlessWindow*>(dialog); }

bool IsAutoButton(ControlKind kind) {
  return kind == ControlKind::AutoCheckBox || kind == ControlKind::AutoRadioButton;
}

bool IsButton(ControlKind kind) {
  return kind == ControlKind::PushButton || kind == ControlKind::CheckBox || kind == ControlKind::RadioButton ||
         kind == ControlKind::OwnerDrawButton || IsAutoButton(kind);
}

// Dialog units of "MS Shell Dlg" 8 at 96 dots per inch.
int UnitsToPixelsX(int units) { return units * 6 / 4; }
int UnitsToPixelsY(int units) { return units * 13 / 8; }

}  // namespace

HeadlessToolkit::HeadlessToolkit(platform::ThreadServices& services) : m_services(services) {}
HeadlessToolkit::~HeadlessToolkit() = default;

HeadlessWindow* HeadlessToolkit::TopWindow() { return m_stack.empty() ? nullptr : m_stack.back().get(); }

MessageResult HeadlessToolkit::RunModal(ModalDialog& dialog, InstanceSource source, int resource) {
  (void)source;
  const DialogTemplate* tmpl = nullptr;
  for (const DialogTemplate& extra : m_extraTemplates) {
    if (extra.id == resource) tmpl = &extra;
  }
  if (!tmpl) tmpl = FindDialogTemplate(resource);
  if (!tmpl) {
    m_history.push_back({resource, -1});
    return -1;
  }
  m_stack.push_back(std::make_unique<HeadlessWindow>(*tmpl));
  HeadlessWindow& window = *m_stack.back();
  Dispatch(window, kWmInitDialog, 0, reinterpret_cast<LongParam>(&dialog));
  if (echoDialogs) {
    std::fputs(RenderWindowText(window).c_str(), stdout);
    std::fflush(stdout);
  }
  RunLoop(window);
  Dispatch(window, kWmDestroy, 0, 0);
  const MessageResult result = window.result;
  m_stack.pop_back();
  m_history.push_back({resource, result});
  return result;
}

void HeadlessToolkit::RunLoop(HeadlessWindow& window) {
  while (!window.ended) {
    if (!window.posted.empty()) {
      const PostedMessage next = window.posted.front();
      window.posted.pop_front();
      Deliver(window, next);
      continue;
    }
    const DialogDriver::Outcome outcome =
        m_driver ? m_driver->Step(*this, window) : DialogDriver::Outcome::Finished;
    if (outcome == DialogDriver::Outcome::Acted || window.ended) continue;
    if (!LetTimePass(window)) {
      if (outcome == DialogDriver::Outcome::Waiting) m_driver->GiveUp();
      m_problems.push_back("dialog " + std::to_string(window.source->id) + " has nothing left to end it");
      window.ended = true;
      window.result = -1;
    }
  }
}

bool HeadlessToolkit::LetTimePass(HeadlessWindow& window) {
  if (window.timers.empty()) return false;
  const auto next = std::min_element(window.timers.begin(), window.timers.end(),
                                     [](const HeadlessTimer& a, const HeadlessTimer& b) { return a.dueMs < b.dueMs; });
  const uint64_t now = m_services.NowMs();
  if (next->dueMs > now) m_services.Sleep(uint32_t(next->dueMs - now));
  const uint64_t after = m_services.NowMs();
  // A timer fires once however late it is, as WM_TIMER does.
  std::vector<unsigned> due;
  for (HeadlessTimer& timer : window.timers) {
    if (timer.dueMs <= after) {
      due.push_back(timer.id);
      timer.dueMs = after + timer.periodMs;
    }
  }
  for (unsigned id : due) {
    if (window.ended) break;
    Dispatch(window, kWmTimer, id, 0);
  }
  return true;
}

MessageResult HeadlessToolkit::Dispatch(HeadlessWindow& window, unsigned message, MessageParam first,
                                        LongParam second) {
  return DispatchDialogMessage(*this, &window, message, first, second);
}

void HeadlessToolkit::Deliver(HeadlessWindow& window, const PostedMessage& posted) {
  if (!posted.target) {
    Dispatch(window, posted.message, posted.first, posted.second);
  } else if (posted.message == kBmClick) {
    Click(window, *posted.target);
  }
}

void HeadlessToolkit::Click(HeadlessWindow& window, HeadlessControl& control) {
  if (!control.enabled) return;
  if (control.kind == ControlKind::AutoCheckBox) {
    control.check = control.check == ButtonState::Checked ? ButtonState::Unchecked : ButtonState::Checked;
  } else if (control.kind == ControlKind::AutoRadioButton) {
    // The group runs from the last control marked as a group start up to the
    // next one; only auto radio buttons in it are cleared.
    auto self = window.controls.begin() + (&control - window.controls.data());
    auto first = self;
    while (first != window.controls.begin() && !first->groupStart) --first;
    auto last = self + 1;
    while (last != window.controls.end() && !last->groupStart) ++last;
    for (auto it = first; it != last; ++it) {
      if (it->kind == ControlKind::AutoRadioButton) it->check = ButtonState::Unchecked;
    }
    control.check = ButtonState::Checked;
  }
  if (IsButton(control.kind) || control.notifies) {
    Dispatch(window, kWmCommand, MakeCommandParam(control.id, kBnClicked), reinterpret_cast<LongParam>(&control));
  }
}

bool HeadlessToolkit::UserClick(HeadlessWindow& window, int id) {
  HeadlessControl* control = window.Find(id);
  if (!control || !control->enabled || !control->visible) return false;
  window.posted.push_back({control, kBmClick, 0, 0});
  return true;
}

bool HeadlessToolkit::UserType(HeadlessWindow& window, int id, std::string_view text) {
  HeadlessControl* control = window.Find(id);
  if (!control || control->kind != ControlKind::Edit || !control->enabled) return false;
  std::string typed;
  for (char c : text) {
    // A digits-only edit refuses every other character the user types.
    if (!control->digitsOnly || (c >= '0' && c <= '9')) typed += c;
  }
  SetText(&window, id, typed);
  return true;
}

bool HeadlessToolkit::UserSlide(HeadlessWindow& window, int id, int pos) {
  HeadlessControl* control = window.Find(id);
  if (!control || control->kind != ControlKind::Slider || !control->enabled) return false;
  SetSliderPos(&window, id, pos);
  const MessageParam first = (MessageParam(uint16_t(control->sliderPos)) << 16) | kTrackbarThumbPosition;
  Dispatch(window, kWmHScroll, first, reinterpret_cast<LongParam>(control));
  return true;
}

bool HeadlessToolkit::UserKey(int virtualKey, bool keyUp) {
  if (!m_keyboardHook) return false;
  m_keyboardHook(virtualKey, keyUp);
  return true;
}

std::string HeadlessToolkit::TooltipText(WindowHandle dialog, int id) {
  HeadlessControl* control = Control(dialog, id);
  if (!control || !control->hasTooltip) return {};
  // The text comes from the string table when asked for, at most 255
  // characters as the tooltip's fixed buffer holds.
  const std::string_view text = FindString(id).value_or("");
  return std::string(text.substr(0, 255));
}

void HeadlessToolkit::EndDialog(WindowHandle dialog, MessageResult result) {
  HeadlessWindow& window = AsWindow(dialog);
  window.ended = true;
  window.result = result;
}

MessageResult HeadlessToolkit::SendToDialog(WindowHandle dialog, unsigned message, MessageParam first,
                                            LongParam second) {
  return Dispatch(AsWindow(dialog), message, first, second);
}

void HeadlessToolkit::PostToDialog(WindowHandle dialog, unsigned message, MessageParam first, LongParam second) {
  AsWindow(dialog).posted.push_back({nullptr, message, first, second});
}

ModalDialog* HeadlessToolkit::GetUserSlot(WindowHandle dialog) { return AsWindow(dialog).userSlot; }
void HeadlessToolkit::SetUserSlot(WindowHandle dialog, ModalDialog* object) { AsWindow(dialog).userSlot = object; }

MessageResult HeadlessToolkit::DefaultProcedure(WindowHandle, unsigned, MessageParam, LongParam) {
  ++m_defaultProcedureCalls;
  return 0;
}

void HeadlessToolkit::CentreOnOwner(WindowHandle dialog) {
  HeadlessWindow& window = AsWindow(dialog);
  PlacementInput in;
  in.area = screen;
  // The owner is the dialog below this one, if any.
  if (m_stack.size() >= 2 && m_stack[m_stack.size() - 1].get() == &window) {
    const HeadlessWindow& owner = *m_stack[m_stack.size() - 2];
    in.area = {owner.position.x, owner.position.y, owner.position.x + UnitsToPixelsX(owner.source->width),
               owner.position.y + UnitsToPixelsY(owner.source->height)};
  }
  in.dialogWidth = UnitsToPixelsX(window.source->width);
  in.dialogHeight = UnitsToPixelsY(window.source->height);
  in.screenWidth = screen.Width();
  in.screenHeight = screen.Height();
  in.captionButtonWidth = captionButtonWidth;
  in.hasSystemMenu = (window.source->style & style::kSystemMenu) != 0;
  window.position = CentreDialog(in);
}

void HeadlessToolkit::SetTitle(WindowHandle dialog, std::string_view text) { AsWindow(dialog).title = text; }
std::string HeadlessToolkit::GetTitle(WindowHandle dialog) { return AsWindow(dialog).title; }

HeadlessControl* HeadlessToolkit::Control(WindowHandle dialog, int id) {
  return dialog ? AsWindow(dialog).Find(id) : nullptr;
}

WindowHandle HeadlessToolkit::GetControl(WindowHandle dialog, int id) { return Control(dialog, id); }

int HeadlessToolkit::GetControlId(WindowHandle control) {
  return control ? static_cast<HeadlessControl*>(control)->id : 0;
}

void HeadlessToolkit::SetText(WindowHandle dialog, int id, std::string_view text) {
  HeadlessControl* control = Control(dialog, id);
  if (!control) return;
  control->text = text;
  if (control->kind == ControlKind::Edit) {
    Dispatch(AsWindow(dialog), kWmCommand, MakeCommandParam(id, kEnChange), reinterpret_cast<LongParam>(control));
  }
}

std::string HeadlessToolkit::GetText(WindowHandle dialog, int id, size_t maxBytes) {
  const HeadlessControl* control = Control(dialog, id);
  if (!control || maxBytes == 0) return {};
  return control->text.substr(0, maxBytes - 1);
}

void HeadlessToolkit::Enable(WindowHandle dialog, int id, bool enabled) {
  if (HeadlessControl* control = Control(dialog, id)) control->enabled = enabled;
}
bool HeadlessToolkit::IsEnabled(WindowHandle dialog, int id) {
  const HeadlessControl* control = Control(dialog, id);
  return control && control->enabled;
}
void HeadlessToolkit::Show(WindowHandle dialog, int id, bool visible) {
  if (HeadlessControl* control = Control(dialog, id)) control->visible = visible;
}
bool HeadlessToolkit::IsVisible(WindowHandle dialog, int id) {
  const HeadlessControl* control = Control(dialog, id);
  return control && control->visible;
}
void HeadlessToolkit::SetFocus(WindowHandle dialog, int id) {
  if (Control(dialog, id)) AsWindow(dialog).focusedId = id;
}

ButtonState HeadlessToolkit::GetCheck(WindowHandle dialog, int id) {
  const HeadlessControl* control = Control(dialog, id);
  return control ? control->check : ButtonState::Unchecked;
}
void HeadlessToolkit::SetCheck(WindowHandle dialog, int id, ButtonState state) {
  if (HeadlessControl* control = Control(dialog, id)) control->check = state;
}
void HeadlessToolkit::CheckRadio(WindowHandle dialog, int first, int last, int id) {
  for (HeadlessControl& control : AsWindow(dialog).controls) {
    if (control.id >= first && control.id <= last) {
      control.check = control.id == id ? ButtonState::Checked : ButtonState::Unchecked;
    }
  }
}

void HeadlessToolkit::PressButton(WindowHandle dialog, int id, bool post) {
  HeadlessControl* control = Control(dialog, id);
  if (!control) return;
  if (post) {
    AsWindow(dialog).posted.push_back({control, kBmClick, 0, 0});
  } else {
    Click(AsWindow(dialog), *control);
  }
}

int HeadlessToolkit::GetSliderPos(WindowHandle dialog, int id) {
  const HeadlessControl* control = Control(dialog, id);
  return control ? control->sliderPos : 0;
}
void HeadlessToolkit::SetSliderPos(WindowHandle dialog, int id, int pos) {
  if (HeadlessControl* control = Control(dialog, id)) {
    control->sliderPos = std::clamp(pos, control->sliderLow, std::max(control->sliderLow, control->sliderHigh));
  }
}
void HeadlessToolkit::SetSliderRange(WindowHandle dialog, int id, int low, int high) {
  if (HeadlessControl* control = Control(dialog, id)) {
    control->sliderLow = low;
    control->sliderHigh = high;
    control->sliderPos = std::clamp(control->sliderPos, low, std::max(low, high));
  }
}
void HeadlessToolkit::SetSliderBuddy(WindowHandle dialog, int id, int buddyId, bool atLeft) {
  if (HeadlessControl* control = Control(dialog, id)) (atLeft ? control->buddyLeft : control->buddyRight) = buddyId;
}
void HeadlessToolkit::SetProgress(WindowHandle dialog, int id, int pos) {
  if (HeadlessControl* control = Control(dialog, id)) control->progress = std::clamp(pos, 0, 100);
}

bool HeadlessToolkit::SetTimer(WindowHandle dialog, unsigned timerId, unsigned periodMs) {
  HeadlessWindow& window = AsWindow(dialog);
  KillTimer(dialog, timerId);
  window.timers.push_back({timerId, periodMs, m_services.NowMs() + periodMs});
  return true;
}
void HeadlessToolkit::KillTimer(WindowHandle dialog, unsigned timerId) {
  std::erase_if(AsWindow(dialog).timers, [timerId](const HeadlessTimer& t) { return t.id == timerId; });
}

bool HeadlessToolkit::InstallKeyboardHook(KeyboardHookFn hook) {
  m_keyboardHook = hook;
  return hook != nullptr;
}
void HeadlessToolkit::RemoveKeyboardHook() { m_keyboardHook = nullptr; }

bool HeadlessToolkit::CreateTooltips(WindowHandle dialog) {
  AsWindow(dialog).hasTooltips = true;
  return true;
}
void HeadlessToolkit::AddTooltip(WindowHandle dialog, int id) {
  HeadlessControl* control = Control(dialog, id);
  if (control && AsWindow(dialog).hasTooltips) control->hasTooltip = true;
}

ListRow* HeadlessToolkit::Row(WindowHandle dialog, int id, int row) {
  HeadlessControl* control = Control(dialog, id);
  if (!control || row < 0 || size_t(row) >= control->rows.size()) return nullptr;
  return &control->rows[size_t(row)];
}

void HeadlessToolkit::ListEnableCheckBoxes(WindowHandle dialog, int id) {
  if (HeadlessControl* control = Control(dialog, id)) control->listCheckBoxes = true;
}
void HeadlessToolkit::ListAddColumn(WindowHandle dialog, int id, std::string_view title, bool alignRight) {
  if (HeadlessControl* control = Control(dialog, id)) {
    control->columns.emplace_back(title);
    control->columnRight.push_back(alignRight);
  }
}
void HeadlessToolkit::ListFitColumns(WindowHandle dialog, int id) {
  HeadlessControl* control = Control(dialog, id);
  if (!control) return;
  control->columnWidths.assign(control->columns.size(), 0);
  for (size_t c = 0; c < control->columns.size(); ++c) {
    size_t width = control->columns[c].size();
    for (const ListRow& row : control->rows) {
      if (c < row.cells.size()) width = std::max(width, row.cells[c].size());
    }
    control->columnWidths[c] = int(width);
  }
}
int HeadlessToolkit::ListAddRow(WindowHandle dialog, int id, const void* data) {
  HeadlessControl* control = Control(dialog, id);
  if (!control) return -1;
  control->rows.push_back({std::vector<std::string>(std::max<size_t>(control->columns.size(), 1)), false, data});
  return int(control->rows.size()) - 1;
}
int HeadlessToolkit::ListRowCount(WindowHandle dialog, int id) {
  const HeadlessControl* control = Control(dialog, id);
  return control ? int(control->rows.size()) : 0;
}
void HeadlessToolkit::ListSetCell(WindowHandle dialog, int id, int row, int column, std::string_view text) {
  ListRow* r = Row(dialog, id, row);
  if (!r || column < 0) return;
  if (size_t(column) >= r->cells.size()) r->cells.resize(size_t(column) + 1);
  r->cells[size_t(column)] = text;
}
std::string HeadlessToolkit::ListGetCell(WindowHandle dialog, int id, int row, int column) {
  const ListRow* r = Row(dialog, id, row);
  if (!r || column < 0 || size_t(column) >= r->cells.size()) return {};
  return r->cells[size_t(column)];
}
bool HeadlessToolkit::ListIsRowChecked(WindowHandle dialog, int id, int row) {
  const ListRow* r = Row(dialog, id, row);
  return r && r->checked;
}
void HeadlessToolkit::ListSetRowChecked(WindowHandle dialog, int id, int row, bool checked) {
  if (ListRow* r = Row(dialog, id, row)) r->checked = checked;
}
const void* HeadlessToolkit::ListGetRowData(WindowHandle dialog, int id, int row) {
  const ListRow* r = Row(dialog, id, row);
  return r ? r->data : nullptr;
}
void HeadlessToolkit::ListSetRowData(WindowHandle dialog, int id, int row, const void* data) {
  if (ListRow* r = Row(dialog, id, row)) r->data = data;
}

void HeadlessToolkit::SetSwatchColor(WindowHandle dialog, int id, uint32_t colour) {
  if (HeadlessControl* control = Control(dialog, id)) control->swatch = colour;
}

void HeadlessToolkit::MakeLink(WindowHandle dialog, int id) {
  if (HeadlessControl* control = Control(dialog, id)) control->isLink = true;
}

// Nothing is painted off Windows; the answer "not handled" lets the default
// colours stand.
MessageResult HeadlessToolkit::LinkColours(WindowHandle, MessageParam, LongParam) { return 0; }

}  // namespace ui::headless
