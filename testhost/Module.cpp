#include "testhost/Module.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "host/ModuleExports.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace testhost {

#ifdef _WIN32

std::string DefaultModulePath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return (std::filesystem::path(path).parent_path() / "VELKOR.8bi").string();
}

Module::Module(const std::string& path) {
  HMODULE library = LoadLibraryA(path.c_str());
  if (library == nullptr) {
    m_error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  m_library = library;
  m_entry = reinterpret_cast<PluginMainProc>(reinterpret_cast<void*>(GetProcAddress(library, "PluginMain")));
  if (m_entry == nullptr) m_error = path + " exports no PluginMain";
}

Module::~Module() {
  if (m_library != nullptr) FreeLibrary(static_cast<HMODULE>(m_library));
}

std::optional<std::vector<uint8_t>> Module::Resource(OSType type, int32_t id) const {
  if (m_library == nullptr) return std::nullopt;
  char typeName[5] = {char(type >> 24), char(type >> 16), char(type >> 8), char(type), 0};
  HMODULE library = static_cast<HMODULE>(m_library);
  HRSRC found = FindResourceA(library, MAKEINTRESOURCEA(id), typeName);
  if (found == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(library, found);
  const auto* bytes = static_cast<const uint8_t*>(LockResource(loaded));
  if (bytes == nullptr) return std::nullopt;
  return std::vector<uint8_t>(bytes, bytes + SizeofResource(library, found));
}

std::optional<std::string> Module::ProductVersion() const {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(static_cast<HMODULE>(m_library), path, MAX_PATH);
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return std::nullopt;
  std::vector<char> info(size);
  if (!GetFileVersionInfoA(path, 0, size, info.data())) return std::nullopt;
  char* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\ProductVersion", reinterpret_cast<void**>(&value),
                      &length) ||
      value == nullptr)
    return std::nullopt;
  return std::string(value);
}

void Module::CaptureMessageBoxes() const {}

#else

namespace {

void PrintBox(void*, const char* text, const char* title) {
  std::string escaped;
  for (const char* p = text; *p != 0; ++p) escaped += *p == '\n' ? std::string("\\n") : std::string(1, *p);
  std::printf("box \"%s\": %s\n", title, escaped.c_str());
  std::fflush(stdout);
}

}  // namespace

std::string DefaultModulePath() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return (self.parent_path() / "VELKOR.so").string();
}

Module::Module(const std::string& path) {
  m_library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (m_library == nullptr) {
    m_error = dlerror();
    return;
  }
  m_entry = reinterpret_cast<PluginMainProc>(dlsym(m_library, "PluginMain"));
  if (m_entry == nullptr) m_error = path + " exports no PluginMain";
}

Module::~Module() {
  if (m_library != nullptr) dlclose(m_library);
}

std::optional<std::vector<uint8_t>> Module::Resource(OSType type, int32_t id) const {
  if (m_library == nullptr) return std::nullopt;
  auto lookup = reinterpret_cast<ModuleResourceProc>(dlsym(m_library, kModuleResourceSymbol));
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  if (lookup == nullptr || lookup(type, id, &bytes, &size) == 0) return std::nullopt;
  return std::vector<uint8_t>(bytes, bytes + size);
}

std::optional<std::string> Module::ProductVersion() const {
  auto bytes = Resource(kProductVersionResource, 1);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

void Module::CaptureMessageBoxes() const {
  if (m_library == nullptr) return;
  auto install = reinterpret_cast<SetMessageBoxCallbackProc>(dlsym(m_library, kMessageBoxCallbackSymbol));
  if (install != nullptr) install(PrintBox, nullptr);
}

#endif

void* Module::Symbol(const char* name) const {
#ifdef _WIN32
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(m_library), name));
#else
  return dlsym(m_library, name);
#endif
}

void Module::Call(int16_t selector, void* record, intptr_t* data, int16_t* result) const {
  m_entry(selector, record, data, result);
}

}  // namespace testhost
