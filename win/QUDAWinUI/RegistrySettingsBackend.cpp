#include "win/QUDAWinUI/RegistrySettingsBackend.h"

#include <windows.h>
#include <shlwapi.h>

#include <limits>

namespace {

HKEY RootKey(SettingsRoot root) {
  return root == SettingsRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// The registry's own type codes are the backend's; any other type (an
// expandable or multi-string, a 64-bit number) is handed up as raw bytes, so
// a caller that accepts any 4-byte value still can, and one that asks for a
// number or a string does not mistake it for one.
SettingsType TypeFromRegistry(DWORD type) {
  switch (type) {
    case REG_SZ: return SettingsType::String;
    case REG_DWORD: return SettingsType::Number;
    default: return SettingsType::Binary;
  }
}

// RegQueryValueExA twice: the size, then the bytes.  A value that grows in
// between makes the second call fail, which reads as absent like any other
// failed read.
std::optional<std::vector<uint8_t>> QueryValueBytes(HKEY root, const std::string& keyPath, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  std::optional<std::vector<uint8_t>> bytes;
  DWORD size = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
    std::vector<uint8_t> data(size);
    if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, data.data(), &size) == ERROR_SUCCESS) {
      data.resize(size);
      bytes = std::move(data);
    }
  }
  RegCloseKey(key);
  return bytes;
}

}  // namespace

std::optional<SettingsValue> RegistrySettingsBackend::Read(SettingsRoot root, std::string_view name) const {
  const std::string nameZ(name);
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (SHGetValueA(RootKey(root), m_keyPath.c_str(), nameZ.c_str(), &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  SettingsValue value;
  value.type = TypeFromRegistry(type);
  if (type == REG_SZ) {
    auto bytes = QueryValueBytes(RootKey(root), m_keyPath, nameZ);
    if (!bytes) return std::nullopt;
    value.data = std::move(*bytes);
    return value;
  }
  value.data.resize(size);
  DWORD read = size;
  DWORD readType = REG_NONE;
  if (SHGetValueA(RootKey(root), m_keyPath.c_str(), nameZ.c_str(), &readType, value.data.data(), &read) !=
          ERROR_SUCCESS ||
      readType != type) {
    return std::nullopt;
  }
  value.data.resize(read);
  return value;
}

bool RegistrySettingsBackend::Write(std::string_view name, SettingsType type, std::span<const uint8_t> data) {
  if (data.size() > std::numeric_limits<DWORD>::max()) return false;
  const std::string nameZ(name);
  return SHSetValueA(HKEY_CURRENT_USER, m_keyPath.c_str(), nameZ.c_str(), static_cast<DWORD>(type), data.data(),
                     static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool RegistrySettingsBackend::Remove(std::string_view name) {
  const std::string nameZ(name);
  const LONG status = SHDeleteValueA(HKEY_CURRENT_USER, m_keyPath.c_str(), nameZ.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

std::unique_ptr<SettingsBackend> CreateUserSettingsBackend() { return std::make_unique<RegistrySettingsBackend>(); }
