// The Windows desktop for the about box and help: ShellExecuteA, the
// debugger's output, the module's version resource and the HTML Help
// library.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/DesktopServices.h"
#include "win/QUDAWinUI/ThisModule.h"

namespace platform {
namespace {

constexpr char kHelpServerKey[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr DWORD kHelpServerBytes = 260;

class Win32Desktop final : public DesktopServices {
 public:
  void OpenWithShell(std::string_view target) override {
    ShellExecuteA(nullptr, "open", std::string(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }

  void DebugOutput(std::string_view text) override { OutputDebugStringA(std::string(text).c_str()); }

  std::optional<std::string> ProductVersion() override {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(ThisModule(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::nullopt;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return std::nullopt;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path, 0, size, block.data())) return std::nullopt;
    char query[64];
    wsprintfA(query, "\\StringFileInfo\\%s\\%s", "040904B0", "ProductVersion");
    char* value = nullptr;
    UINT valueLength = 0;
    if (!VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&value), &valueLength) || !value) {
      return std::nullopt;
    }
    // The length counts characters with the terminator; never read past it.
    return std::string(value, strnlen(value, valueLength));
  }

  std::optional<std::string> RegisteredHelpServer() override {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kHelpServerKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    char value[kHelpServerBytes + 1] = {};
    DWORD size = kHelpServerBytes;
    DWORD type = 0;
    const LONG status = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
    // A stored text need not end in a zero: terminate it where the read ended.
    value[std::min<DWORD>(size, kHelpServerBytes)] = '\0';
    return std::string(value);
  }

  void* LoadHelpLibrary(const std::string& name) override {
    return name.empty() ? nullptr : reinterpret_cast<void*>(LoadLibraryA(name.c_str()));
  }

  HtmlHelpEntry HelpEntryByOrdinal(void* library, int ordinal) override {
    const FARPROC entry = GetProcAddress(static_cast<HMODULE>(library), MAKEINTRESOURCEA(ordinal));
    return reinterpret_cast<HtmlHelpEntry>(reinterpret_cast<void*>(entry));
  }
};

}  // namespace

DesktopServices& ModuleDesktop() {
  static Win32Desktop desktop;
  return desktop;
}

}  // namespace platform
