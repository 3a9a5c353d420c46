// The Windows module's user interface: real dialogs, Win32 threads through
// the C++ runtime, the real desktop.
#include "ui/ModuleUi.h"
#include "win/QUDAWinUI/dialogs/Win32Toolkit.h"

namespace ui {

ModuleUi& TheModuleUi() {
  static HelpLauncher help(platform::ModuleDesktop());
  static ModuleUi ui{win32::ModuleWin32Toolkit(), platform::SystemThreadServices(), platform::ModuleDesktop(), help};
  return ui;
}

}  // namespace ui
