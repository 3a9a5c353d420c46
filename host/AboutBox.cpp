// Selector 0: the about box, shown with the module's own toolkit.
#include "host/Selectors.h"
#include "ui/AboutDialog.h"
#include "ui/ModuleUi.h"

namespace host {

void ShowAboutBox(HostContext& context, const AboutRecord& about) {
#ifdef _WIN32
  // The Win32 dialog toolkit is not built yet: refuse rather than pretend.
  (void)about;
  context.Fail(kNotBuiltErr);
#else
  (void)context;
  ui::ModuleUi& moduleUi = ui::TheModuleUi();
  ui::ShowAboutBox(moduleUi.toolkit, moduleUi.desktop, about.plugInRef);
#endif
}

}  // namespace host
