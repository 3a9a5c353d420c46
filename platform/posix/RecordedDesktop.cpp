// The Linux desktop stand-in (see platform/DesktopServices.h).
#include "platform/DesktopServices.h"

namespace platform {
namespace {

std::mutex g_helpMutex;
std::vector<HelpRequest> g_helpRequests;

void* RecordHelpRequest(void* owner, const char* path, unsigned command, uintptr_t) {
  std::lock_guard lock(g_helpMutex);
  g_helpRequests.push_back({owner, path ? path : "", command});
  return nullptr;
}

// Any non-null value stands for the loaded library.
int g_helpLibrary;

}  // namespace

void RecordedDesktop::OpenWithShell(std::string_view target) {
  std::lock_guard lock(m_mutex);
  m_opened.emplace_back(target);
}

void RecordedDesktop::DebugOutput(std::string_view text) {
  std::lock_guard lock(m_mutex);
  m_debugLines.emplace_back(text);
}

std::optional<std::string> RecordedDesktop::ProductVersion() { return productVersion; }

std::optional<std::string> RecordedDesktop::BuildProductVersion() {
#ifdef VELKOR_PRODUCT_VERSION
  return std::string(VELKOR_PRODUCT_VERSION);
#else
  return std::nullopt;
#endif
}

std::optional<std::string> RecordedDesktop::RegisteredHelpServer() { return std::nullopt; }

void* RecordedDesktop::LoadHelpLibrary(const std::string&) { return &g_helpLibrary; }

HtmlHelpEntry RecordedDesktop::HelpEntryByOrdinal(void* library, int ordinal) {
  return library == &g_helpLibrary && ordinal == 14 ? RecordHelpRequest : nullptr;
}

std::vector<std::string> RecordedDesktop::Opened() const {
  std::lock_guard lock(m_mutex);
  return m_opened;
}

std::vector<std::string> RecordedDesktop::DebugLines() const {
  std::lock_guard lock(m_mutex);
  return m_debugLines;
}

std::vector<HelpRequest> RecordedDesktop::HelpRequests() {
  std::lock_guard lock(g_helpMutex);
  return g_helpRequests;
}

void RecordedDesktop::ClearHelpRequests() {
  std::lock_guard lock(g_helpMutex);
  g_helpRequests.clear();
}

DesktopServices& ModuleDesktop() {
  static RecordedDesktop desktop;
  return desktop;
}

}  // namespace platform
