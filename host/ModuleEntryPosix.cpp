// The Linux module's load and unload: the same load log line as the Windows
// module writes from DllMain, into the temporary folder (there is no C:\),
// and the module's base address as its instance.  The other exports stand
// in for what a Windows host gets from the platform (host/ModuleExports.h).
#ifndef _WIN32

#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

#include "host/LoadLog.h"
#include "host/ModuleInstance.h"
#include "host/ModuleExports.h"
#include "platform/MessageBox.h"
#include "resources/PluginResources.h"

namespace {

constexpr unsigned long kProcessDetach = 0;
constexpr unsigned long kProcessAttach = 1;

std::string LoadLogPath() {
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) folder = "/tmp";
  return (folder / "LoadLogTextFormat.txt").string();
}

__attribute__((constructor)) void OnModuleLoad() {
  host::AppendLoadLog(LoadLogPath(), kProcessAttach);
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OnModuleLoad), &info) != 0) host::SetModuleInstance(info.dli_fbase);
}

__attribute__((destructor)) void OnModuleUnload() { host::AppendLoadLog(LoadLogPath(), kProcessDetach); }

const std::vector<uint8_t>& ResourceBytes(OSType type) {
  static const std::vector<uint8_t> pipl = resources::BuildPipl();
  static const std::vector<uint8_t> aete = resources::BuildAete();
  static const std::string_view versionText = VELKOR_PRODUCT_VERSION;
  static const std::vector<uint8_t> version(versionText.begin(), versionText.end());
  static const std::vector<uint8_t> none;
  if (type == FourCC("PiPL")) return pipl;
  if (type == FourCC("AETE")) return aete;
  if (type == kProductVersionResource) return version;
  return none;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int VelkorModuleResource(OSType type, int32_t id,
                                                                            const uint8_t** bytes, size_t* size) {
  const bool known = (type == FourCC("PiPL") && id == resources::kPiplId) ||
                     (type == FourCC("AETE") && id == resources::kAeteId) || (type == kProductVersionResource && id == 1);
  if (!known || bytes == nullptr || size == nullptr) return 0;
  const std::vector<uint8_t>& found = ResourceBytes(type);
  *bytes = found.data();
  *size = found.size();
  return 1;
}

namespace {

// Forwards the module's boxes to the host stand-in's callback.
class CallbackSink final : public platform::MessageBoxSink {
 public:
  CallbackSink(MessageBoxCallback callback, void* context) : m_callback(callback), m_context(context) {}
  void Show(std::string_view text, std::string_view title) override {
    m_callback(m_context, std::string(text).c_str(), std::string(title).c_str());
  }

 private:
  MessageBoxCallback m_callback;
  void* m_context;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) void VelkorSetMessageBoxCallback(MessageBoxCallback callback,
                                                                                    void* context) {
  static std::unique_ptr<CallbackSink> installed;
  platform::InstallMessageBoxSink(nullptr);
  installed.reset();
  if (callback == nullptr) return;
  installed = std::make_unique<CallbackSink>(callback, context);
  platform::InstallMessageBoxSink(installed.get());
}

#endif
