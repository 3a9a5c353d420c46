// Context help: each options dialog opens its own topic of VELKORPS.chm in
// the installation folder.
//
// The HTML Help library is found once per module load: the server
// registered for the HTML Help control's class, else "hhctrl.ocx" by name;
// then its export with ordinal 14 (HtmlHelpA).  A failure is remembered too,
// so a machine without the library is asked only once.
#pragma once

#include <string>
#include <string_view>

#include "platform/DesktopServices.h"
#include "ui/WindowMessages.h"

namespace ui {

inline constexpr char kHelpFileName[] = "VELKORPS.chm";
inline constexpr char kHelpLibraryName[] = "hhctrl.ocx";
inline constexpr int kHtmlHelpOrdinal = 14;
inline constexpr unsigned kHelpDisplayTopic = 0;

// installFolder (ending in a separator, or empty) + "VELKORPS.chm", then
// "::/" + topic when there is a topic.
std::string HelpFilePath(std::string_view installFolder, std::string_view topic);

class HelpLauncher {
 public:
  explicit HelpLauncher(platform::DesktopServices& desktop) : m_desktop(desktop) {}

  // The help entry point, or null when there is no usable library.
  platform::HtmlHelpEntry FindEntry();

  // Shows `topic` (none: the file's default page) owned by `owner`; does
  // nothing visible without the library.
  void Open(WindowHandle owner, std::string_view installFolder, std::string_view topic);

 private:
  platform::DesktopServices& m_desktop;
  platform::HtmlHelpEntry m_entry = nullptr;
  bool m_failed = false;
};

}  // namespace ui
