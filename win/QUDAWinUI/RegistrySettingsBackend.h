// The settings store of Windows: values under one key path of the registry,
// HKEY_CURRENT_USER for the user's choices, HKEY_LOCAL_MACHINE for what the
// installer wrote.
//
// Numbers and binary records go through the shell's light-weight registry
// functions (SHGetValueA, SHSetValueA, SHDeleteValueA), which open and close
// the key around every call.  Strings are read with RegQueryValueExA (size,
// then data) because SHGetValueA would expand REG_EXPAND_SZ values and can
// touch the text; the bytes come back exactly as stored, terminator or not,
// and the store above decides where the text ends.  Nothing is cached.
#pragma once

#include <string>

#include "platform/SettingsBackend.h"

class RegistrySettingsBackend final : public SettingsBackend {
 public:
  // keyPath is below both roots; the module uses kSettingsKeyPath.
  explicit RegistrySettingsBackend(std::string keyPath = kSettingsKeyPath) : m_keyPath(std::move(keyPath)) {}

  std::optional<SettingsValue> Read(SettingsRoot root, std::string_view name) const override;
  bool Write(std::string_view name, SettingsType type, std::span<const uint8_t> data) override;
  bool Remove(std::string_view name) override;

 private:
  std::string m_keyPath;
};
