// The key-value store under the user's remembered choices.
//
// The plug-in keeps a handful of named values per user (which options dialog
// opened last, the strategy, the pass limit, the Advanced record, the chunk
// types to keep) and reads one value machine-wide (the installation folder).
// On Windows these live in the registry under one key path; on Linux in a
// per-user folder of small files.  This interface is the common ground: named
// values of three types (32-bit number, binary, string), read from either
// root, written and removed only for the current user.  Every value is read
// whole and written whole, so a realisation can make each write atomic and a
// reader never sees half a value.  What a value means, its size and its
// default are the business of the settings store above, not of the backend.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// The one key path of the module.  The registry uses it as is under both
// roots; the file store turns it into a folder below its configuration roots.
inline constexpr char kSettingsKeyPath[] = "Software\\QuenburyImaging\\VELKORPS";

enum class SettingsRoot {
  CurrentUser,   // remembered choices of the user running the host
  LocalMachine,  // written by the installer; read only
};

// The numbers are the registry's type codes, so both realisations agree on
// what a stored type means.
enum class SettingsType : uint32_t {
  String = 1,  // 8-bit text followed by one zero byte
  Binary = 3,  // raw bytes
  Number = 4,  // 32-bit unsigned, little-endian
};

struct SettingsValue {
  SettingsType type = SettingsType::Binary;
  std::vector<uint8_t> data;
};

class SettingsBackend {
 public:
  virtual ~SettingsBackend() = default;

  // The stored value, or nothing when it is absent, unreadable or damaged.
  // Never throws: a broken store is an empty store.
  virtual std::optional<SettingsValue> Read(SettingsRoot root, std::string_view name) const = 0;

  // Replaces a value of the current user as a whole; false when it could not
  // be stored, in which case the previous value is still in place.
  virtual bool Write(std::string_view name, SettingsType type, std::span<const uint8_t> data) = 0;

  // Removes a value of the current user.  True when the value is gone
  // afterwards, including when it never existed.
  virtual bool Remove(std::string_view name) = 0;
};

// The realisation of the platform the module is built for, rooted at the
// locations of the user running it.  Never null.
std::unique_ptr<SettingsBackend> CreateUserSettingsBackend();
