#include "ui/AboutDialog.h"

#include <cstdio>

namespace ui {

std::optional<std::string> AboutVersionLine(std::string_view productVersion) {
  const std::string text(productVersion);
  int major = 0, minor = 0, patch = 0, build = 0;
  if (std::sscanf(text.c_str(), "%d, %d, %d, %d", &major, &minor, &patch, &build) != 4) return std::nullopt;
  char line[128];
  std::snprintf(line, sizeof line, "VELKOR File Format Plugin %d.%d.%d Build %d", major, minor, patch, build);
  return std::string(line);
}

void AboutDialog::Init() {
  if (const std::optional<std::string> version = m_desktop.ProductVersion()) {
    m_desktop.DebugOutput(*version);
    if (const std::optional<std::string> line = AboutVersionLine(*version)) {
      m_toolkit->SetText(m_hWnd, kAboutVersionId, *line);
    }
  }
  m_toolkit->MakeLink(m_hWnd, kAboutLinkId);
}

void AboutDialog::Command(unsigned code, int id) {
  if (id == kAboutLinkId && code == kStnClicked) m_desktop.OpenWithShell(m_toolkit->GetText(m_hWnd, kAboutLinkId));
}

// Enter and Escape may arrive as the dialog manager's OK and Cancel commands
// rather than as characters; either way the box closes.
void AboutDialog::Ok() { m_toolkit->EndDialog(m_hWnd, 0); }
void AboutDialog::Cancel() { m_toolkit->EndDialog(m_hWnd, 0); }

MessageResult AboutDialog::Message(unsigned message, MessageParam first, LongParam second) {
  switch (message) {
    case kWmChar:
      if (first == kKeyEscape || first == kKeyReturn) m_toolkit->EndDialog(m_hWnd, 0);
      return 0;
    case kWmLButtonDown:
      m_toolkit->EndDialog(m_hWnd, 0);
      return 0;
    case kWmCtlColorStatic:
      if (m_toolkit->GetControlId(reinterpret_cast<WindowHandle>(second)) == kAboutLinkId) {
        return m_toolkit->LinkColours(m_hWnd, first, second);
      }
      return 0;
    default:
      return 0;
  }
}

void ShowAboutBox(DialogToolkit& toolkit, platform::DesktopServices& desktop, InstanceSource source) {
  AboutDialog about(toolkit, desktop);
  about.RunModal(source, "Generic About Box", kAboutDialogId);
}

}  // namespace ui
