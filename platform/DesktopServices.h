// What the about box and the help launcher take from the desktop: the
// shell's "open" of a web address, the debugger's output, the module's own
// product version, and the HTML Help library.
//
// On Windows these are ShellExecuteA, OutputDebugStringA, the version
// resource and hhctrl.ocx.  On Linux nothing can be opened or shown, so the
// realisation records what would have happened (RecordedDesktop), which the
// tests and the host stand-in read back; the product version comes from the
// build, as the version resource does on Windows.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The HTML Help entry point (HtmlHelpA): owner window, file path with an
// optional "::/topic", command (0 displays a topic), command data.  It is a
// system function, so on 32-bit Windows it uses the system's convention.
#ifdef _WIN32
#define VELKOR_SYSTEM_CALL __stdcall
#else
#define VELKOR_SYSTEM_CALL
#endif
using HtmlHelpEntry = void*(VELKOR_SYSTEM_CALL*)(void* owner, const char* path, unsigned command, uintptr_t data);

class DesktopServices {
 public:
  virtual ~DesktopServices() = default;
  // Opens `target` with the shell's "open" verb, shown normally.
  virtual void OpenWithShell(std::string_view target) = 0;
  virtual void DebugOutput(std::string_view text) = 0;
  // "ProductVersion" of the module's "040904B0" version block, or nothing
  // when the resource cannot be read.
  virtual std::optional<std::string> ProductVersion() = 0;

  // The three steps of finding the HTML Help library (see ui/HelpLauncher.h).
  // The in-process server registered for the HTML Help control's class, read
  // bounded and terminated, or nothing.
  virtual std::optional<std::string> RegisteredHelpServer() = 0;
  // The loaded library, or null.
  virtual void* LoadHelpLibrary(const std::string& name) = 0;
  // The library's export with this ordinal, or null.
  virtual HtmlHelpEntry HelpEntryByOrdinal(void* library, int ordinal) = 0;
};

struct HelpRequest {
  void* owner;
  std::string path;
  unsigned command;
  bool operator==(const HelpRequest&) const = default;
};

// The Linux desktop: records links opened, debugger lines and help requests.
// Its help "library" loads under any name and its entry records the request.
class RecordedDesktop : public DesktopServices {
 public:
  void OpenWithShell(std::string_view target) override;
  void DebugOutput(std::string_view text) override;
  std::optional<std::string> ProductVersion() override;
  std::optional<std::string> RegisteredHelpServer() override;
  void* LoadHelpLibrary(const std::string& name) override;
  HtmlHelpEntry HelpEntryByOrdinal(void* library, int ordinal) override;

  std::vector<std::string> Opened() const;
  std::vector<std::string> DebugLines() const;
  // Help requests recorded by every RecordedDesktop's help entry.
  static std::vector<HelpRequest> HelpRequests();
  static void ClearHelpRequests();

  // What ProductVersion answers; the build's version unless replaced.
  std::optional<std::string> productVersion = BuildProductVersion();
  static std::optional<std::string> BuildProductVersion();

 private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_opened;
  std::vector<std::string> m_debugLines;
};

// The desktop of the platform the module runs on.
DesktopServices& ModuleDesktop();

}  // namespace platform
