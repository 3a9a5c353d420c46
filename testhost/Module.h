// The loaded plug-in module: dlopen on Linux, LoadLibraryA on Windows, its
// PluginMain, and its resources (real resources on Windows, the exported
// lookup on Linux).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/HostInterface.h"

namespace testhost {

class Module {
 public:
  // Loads the module; Loaded() tells whether it worked, Error() why not.
  explicit Module(const std::string& path);
  // The module linked into this program (fuzzing, in-process tests).
  explicit Module(PluginMainProc entry) : m_entry(entry) {}
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  bool Loaded() const { return m_entry != nullptr; }
  const std::string& Error() const { return m_error; }

  void Call(int16_t selector, void* record, intptr_t* data, int16_t* result) const;
  std::optional<std::vector<uint8_t>> Resource(OSType type, int32_t id) const;
  // The version resource's "ProductVersion" in block "040904B0".
  std::optional<std::string> ProductVersion() const;
  // Routes the module's message boxes to the stand-in (Linux); on Windows
  // the boxes are real windows.
  void CaptureMessageBoxes() const;
  // An exported function of the module by name, or null.
  void* Symbol(const char* name) const;

 private:
  void* m_library = nullptr;
  PluginMainProc m_entry = nullptr;
  std::string m_error;
};

// The module next to the running stand-in.
std::string DefaultModulePath();

}  // namespace testhost
