// Selector 0: the about box, shown with the module's own toolkit.
#include "host/Selectors.h"
#include "ui/AboutDialog.h"
#include "ui/ModuleUi.h"

namespace host {

void ShowAboutBox(HostContext&, const AboutRecord& about) {
  ui::ModuleUi& moduleUi = ui::TheModuleUi();
  ui::ShowAboutBox(moduleUi.toolkit, moduleUi.desktop, about.plugInRef);
}

}  // namespace host
