// Arbitrary bytes as a dialog script (velkor-host --dialog reads it from a
// file): parsed, and when it parses, run against the Progress template with
// a dialog that ends itself after a few ticks, on a virtual clock.  The
// numbers in the text (ids, positions, row indices) reach the controls, so
// they are where an unchecked value would hurt.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/VirtualThreadServices.h"
#include "ui/ModalDialog.h"
#include "ui/headless/DialogScript.h"

namespace {

class TickingDialog final : public ui::ModalDialog {
 public:
  using ModalDialog::ModalDialog;
  void Init() override { m_toolkit->SetTimer(m_hWnd, 1, 1000); }
  ui::MessageResult Message(unsigned message, ui::MessageParam, ui::LongParam) override {
    if (message == ui::kWmTimer && ++m_ticks == 5) m_toolkit->EndDialog(m_hWnd, 1);
    return 0;
  }

 private:
  int m_ticks = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ui::headless::ParsedScript parsed = ui::headless::ParseDialogScript(text);
  if (!parsed.error.empty()) return 0;
  // Pictures are not written: a shot command would fill the disk.
  std::erase_if(parsed.commands, [](const ui::headless::ScriptCommand& c) { return c.verb == "shot"; });
  platform::VirtualThreadServices clock;
  ui::headless::HeadlessToolkit toolkit(clock);
  ui::headless::ScriptDriver driver(std::move(parsed.commands), "");
  toolkit.SetDriver(&driver);
  TickingDialog dialog(toolkit);
  dialog.RunModal(nullptr, "", 109);
  return 0;
}
