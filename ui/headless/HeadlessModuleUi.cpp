// The Linux module's user interface: the headless toolkit on real threads,
// the recorded desktop.  A script installed through InstallModuleScript
// drives its dialogs; without one a dialog ends at once with -1.
#ifndef _WIN32

#include "ui/ModuleUi.h"
#include "ui/headless/HeadlessModuleUi.h"

namespace ui {

namespace headless {

HeadlessToolkit& ModuleToolkit() {
  // Every dialog is printed when it opens: off Windows that is the only way
  // to see what the module shows.
  static HeadlessToolkit toolkit(platform::SystemThreadServices());
  toolkit.echoDialogs = true;
  return toolkit;
}

}  // namespace headless

ModuleUi& TheModuleUi() {
  static HelpLauncher help(platform::ModuleDesktop());
  static ModuleUi ui{headless::ModuleToolkit(), platform::SystemThreadServices(), platform::ModuleDesktop(), help};
  return ui;
}

}  // namespace ui

#endif
