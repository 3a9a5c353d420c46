#include "ui/HelpLauncher.h"

namespace ui {

std::string HelpFilePath(std::string_view installFolder, std::string_view topic) {
  std::string path(installFolder);
  path += kHelpFileName;
  if (!topic.empty()) {
    path += "::/";
    path += topic;
  }
  return path;
}

platform::HtmlHelpEntry HelpLauncher::FindEntry() {
  if (m_entry || m_failed) return m_entry;
  void* library = nullptr;
  if (const std::optional<std::string> server = m_desktop.RegisteredHelpServer()) {
    library = m_desktop.LoadHelpLibrary(*server);
  }
  if (!library) library = m_desktop.LoadHelpLibrary(kHelpLibraryName);
  if (library) m_entry = m_desktop.HelpEntryByOrdinal(library, kHtmlHelpOrdinal);
  m_failed = m_entry == nullptr;
  return m_entry;
}

void HelpLauncher::Open(WindowHandle owner, std::string_view installFolder, std::string_view topic) {
  const platform::HtmlHelpEntry entry = FindEntry();
  if (!entry) return;
  const std::string path = HelpFilePath(installFolder, topic);
  entry(owner, path.c_str(), kHelpDisplayTopic, 0);
}

}  // namespace ui
