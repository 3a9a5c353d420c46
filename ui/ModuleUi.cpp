#include "ui/ModuleUi.h"

#include <memory>

#include "common/VELKORPSUI/SettingsStore.h"

namespace ui {

void OpenHelp(WindowHandle owner, std::string_view topic) {
  const std::unique_ptr<SettingsBackend> backend = CreateUserSettingsBackend();
  const std::string folder = SettingsStore(*backend).ReadInstallPath();
  TheModuleUi().help.Open(owner, folder, topic);
}

}  // namespace ui
