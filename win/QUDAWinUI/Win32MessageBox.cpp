// Windows shows the module's boxes as real error boxes: stop icon, one OK
// button, owned by the window that is active in the host, so the box stays
// in front of the host and the host waits for it.
#include <windows.h>

#include <string>

#include "platform/PlatformMessageBox.h"

namespace platform {
namespace {

class Win32MessageBoxSink final : public MessageBoxSink {
 public:
  void Show(std::string_view text, std::string_view title) override {
    const std::string textZ(text);
    const std::string titleZ(title);
    MessageBoxA(GetActiveWindow(), textZ.c_str(), titleZ.c_str(), MB_OK | MB_ICONSTOP);
  }
};

}  // namespace

MessageBoxSink& PlatformDefaultMessageBoxSink() {
  static Win32MessageBoxSink sink;
  return sink;
}

}  // namespace platform
