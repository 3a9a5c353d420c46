// The user-interface services of the running module: the toolkit that shows
// its dialogs, threads, the desktop and the help launcher.  One set per
// loaded module, chosen by the platform: the Win32 toolkit on Windows, the
// headless toolkit on Linux (driven by a script the host stand-in installs).
#pragma once

#include <string_view>

#include "platform/DesktopServices.h"
#include "platform/ThreadServices.h"
#include "ui/DialogToolkit.h"
#include "ui/HelpLauncher.h"

namespace ui {

struct ModuleUi {
  DialogToolkit& toolkit;
  platform::ThreadServices& threads;
  platform::DesktopServices& desktop;
  HelpLauncher& help;
};

ModuleUi& TheModuleUi();

// Opens `topic` of the help file in the installation folder the settings
// name, owned by `owner` (the dialog's window).
void OpenHelp(WindowHandle owner, std::string_view topic);

}  // namespace ui
