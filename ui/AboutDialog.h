// The about box (template 16000): a borderless box with the product name
// and version, the maker's notice and a link to the maker's web page.
//
// The version line is built from the module's own "ProductVersion" text
// ("2, 5, 0, 31" shows as "VELKOR File Format Plugin 2.5.0 Build 31"); a
// version that cannot be read, or holds fewer than four numbers, leaves the
// template's text.  Enter, Escape or a click on the box closes it; a click
// on the link opens the page and leaves the box open.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/DesktopServices.h"
#include "ui/ModalDialog.h"

namespace ui {

inline constexpr int kAboutDialogId = 16000;
inline constexpr int kAboutVersionId = -1;  // the first unnamed static
inline constexpr int kAboutNoticeId = 1005;
inline constexpr int kAboutLinkId = 1006;
inline constexpr int kAboutIconId = 1008;

// "VELKOR File Format Plugin %d.%d.%d Build %d" from "%d, %d, %d, %d", or
// nothing when the text does not hold four numbers.
std::optional<std::string> AboutVersionLine(std::string_view productVersion);

class AboutDialog : public ModalDialog {
 public:
  AboutDialog(DialogToolkit& toolkit, platform::DesktopServices& desktop)
      : ModalDialog(toolkit), m_desktop(desktop) {}

  void Init() override;
  void Command(unsigned code, int id) override;
  void Ok() override;
  void Cancel() override;
  MessageResult Message(unsigned message, MessageParam first, LongParam second) override;

 private:
  platform::DesktopServices& m_desktop;
};

// Selector 0: shows the about box and returns when it closes.
void ShowAboutBox(DialogToolkit& toolkit, platform::DesktopServices& desktop, InstanceSource source);

}  // namespace ui
