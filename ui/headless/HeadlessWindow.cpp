#include "ui/headless/HeadlessWindow.h"

#include <sstream>

namespace ui::headless {

ControlKind KindOf(const ControlTemplate& control) {
  if (control.iconId != 0) return ControlKind::Icon;
  const uint32_t buttonType = control.style & style::kButtonTypeMask;
  if (control.className == "Static") return ControlKind::Static;
  if (control.className == "Edit") return ControlKind::Edit;
  if (control.className == "msctls_trackbar32") return ControlKind::Slider;
  if (control.className == "msctls_progress32") return ControlKind::ProgressBar;
  if (control.className == "SysListView32") return ControlKind::ListView;
  if (control.className != "Button") return ControlKind::Other;
  switch (buttonType) {
    case 0x0:
    case 0x1: return ControlKind::PushButton;
    case 0x2: return ControlKind::CheckBox;
    case 0x3: return ControlKind::AutoCheckBox;
    case 0x4: return ControlKind::RadioButton;
    case 0x7: return ControlKind::GroupBox;
    case 0x9: return ControlKind::AutoRadioButton;
    case 0xB: return ControlKind::OwnerDrawButton;
    default: return ControlKind::Other;
  }
}

HeadlessWindow::HeadlessWindow(const DialogTemplate& tmpl) : source(&tmpl), title(tmpl.title) {
  controls.reserve(tmpl.controls.size());
  for (const ControlTemplate& c : tmpl.controls) {
    HeadlessControl control;
    control.source = &c;
    control.id = c.id;
    control.kind = KindOf(c);
    control.text = std::string(c.text);
    control.enabled = (c.style & style::kDisabled) == 0;
    control.visible = (c.style & style::kVisible) != 0;
    control.groupStart = (c.style & style::kGroup) != 0;
    control.digitsOnly = control.kind == ControlKind::Edit && (c.style & style::kEditNumber) != 0;
    control.notifies = control.kind == ControlKind::Static && (c.style & style::kStaticNotify) != 0;
    controls.push_back(std::move(control));
  }
}

HeadlessControl* HeadlessWindow::Find(int id) {
  for (HeadlessControl& control : controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

const HeadlessControl* HeadlessWindow::Find(int id) const {
  return const_cast<HeadlessWindow*>(this)->Find(id);
}

namespace {

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::Static: return "static";
    case ControlKind::Icon: return "icon";
    case ControlKind::GroupBox: return "group";
    case ControlKind::PushButton: return "button";
    case ControlKind::CheckBox:
    case ControlKind::AutoCheckBox: return "check";
    case ControlKind::RadioButton:
    case ControlKind::AutoRadioButton: return "radio";
    case ControlKind::OwnerDrawButton: return "swatch";
    case ControlKind::Edit: return "edit";
    case ControlKind::Slider: return "slider";
    case ControlKind::ProgressBar: return "progress";
    case ControlKind::ListView: return "list";
    case ControlKind::Other: break;
  }
  return "control";
}

}  // namespace

std::string RenderWindowText(const HeadlessWindow& window) {
  std::ostringstream out;
  out << "[" << window.source->id << "] " << window.title << "\n";
  for (const HeadlessControl& c : window.controls) {
    out << "  " << c.id << " " << KindName(c.kind);
    if (!c.visible) out << " hidden";
    if (!c.enabled) out << " disabled";
    if (c.check == ButtonState::Checked) out << " checked";
    if (c.kind == ControlKind::Slider) out << " pos=" << c.sliderPos << " range=" << c.sliderLow << ".." << c.sliderHigh;
    if (c.kind == ControlKind::ProgressBar) out << " pos=" << c.progress;
    if (c.kind == ControlKind::OwnerDrawButton) out << " colour=" << std::hex << c.swatch << std::dec;
    if (c.kind == ControlKind::Icon) out << " icon=" << c.source->iconId;
    out << " \"" << c.text << "\"\n";
    for (const ListRow& row : c.rows) {
      out << "    [" << (row.checked ? 'x' : ' ') << "]";
      for (const std::string& cell : row.cells) out << " | " << cell;
      out << "\n";
    }
  }
  return out.str();
}

}  // namespace ui::headless
