// The settings store of Linux: one small file per value in a per-user folder.
//
// The user's values live in <config home>/QuenburyImaging/VELKORPS/, where the
// config home is $XDG_CONFIG_HOME, or ~/.config when that is unset, empty or
// relative (the XDG base directory rules).  The machine-wide values (the
// installation folder, written by the installer) are looked up in the same
// sub-folder of each of $XDG_CONFIG_DIRS in order, /etc/xdg when that is
// unset; the first folder holding a sound copy wins.  The sub-folder comes
// from the module's key path with its "Software" root dropped.
//
// Each value is a self-checking file (SettingsValueFile.h) named after the
// value.  A write goes to a temporary file in the same folder, is flushed to
// disk, and then renamed over the old file, so a crash or a full disk leaves
// either the old value or the new one, never a torn one.  A file that is
// damaged, foreign, not a regular file, or unreadable reads as absent.
#pragma once

#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "platform/SettingsBackend.h"

// Where the store lives, resolved from the environment.  userRoot is empty
// when neither a config home nor a home folder is known; the store then
// reads nothing and refuses writes.
struct SettingsLocations {
  std::filesystem::path userRoot;
  std::vector<std::filesystem::path> machineRoots;
};

// Applies the XDG rules to the given variables (null when unset).
SettingsLocations ResolveSettingsLocations(const char* xdgConfigHome, const char* home,
                                           const char* xdgConfigDirs);

class FileSettingsBackend final : public SettingsBackend {
 public:
  // The roots are configuration roots (like ~/.config and /etc/xdg); the
  // store keeps its files in the module's sub-folder of each.
  FileSettingsBackend(const std::filesystem::path& userRoot,
                      const std::vector<std::filesystem::path>& machineRoots);
  explicit FileSettingsBackend(const SettingsLocations& locations)
      : FileSettingsBackend(locations.userRoot, locations.machineRoots) {}

  std::optional<SettingsValue> Read(SettingsRoot root, std::string_view name) const override;
  bool Write(std::string_view name, SettingsType type, std::span<const uint8_t> data) override;
  bool Remove(std::string_view name) override;

  // The folder holding the current user's value files (empty when unknown).
  const std::filesystem::path& UserFolder() const { return m_userFolder; }

  // The module's sub-folder below a configuration root.
  static std::filesystem::path ModuleFolder(const std::filesystem::path& configRoot);

  // Stores one value file atomically in a folder, creating the folder when
  // needed.  Used for the user's values, and by installers and tests to put
  // machine-wide values in place.
  static bool WriteValueFile(const std::filesystem::path& folder, std::string_view name,
                             SettingsType type, std::span<const uint8_t> data);

 private:
  std::filesystem::path m_userFolder;
  std::vector<std::filesystem::path> m_machineFolders;
};
