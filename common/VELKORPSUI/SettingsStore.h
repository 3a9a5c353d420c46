// The user's remembered choices, as named operations over the settings backend.
//
// The options dialogs, the Keep Chunks dialog, the help launcher and the
// options runner of the write path remember and recall a few choices between
// saves.  This store is the only place that knows the value names, their
// types and sizes, and what each value means when it is absent; the backend
// below it (registry or per-user files) only stores named bytes.  Nothing in
// here is needed to save or open an image, so every read falls back to a
// default when the value is missing, of the wrong size or type, or damaged,
// and a failed write is reported to the caller only as a false result, which
// callers are free to ignore.  Nothing is cached: every operation goes to the
// backend, so two dialogs (or two host processes) see each other's writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/VELKORPSUI/AdvancedOptions.h"
#include "common/VELKORPSUI/KeepList.h"
#include "platform/SettingsBackend.h"

inline constexpr char kSaveDialogValue[] = "Save Dialog";
inline constexpr char kStrategyValue[] = "Strategy";
inline constexpr char kLimitPassesValue[] = "Limit Passes";
inline constexpr char kAdvancedOptionsValue[] = "Advanced Options";
inline constexpr char kKeepChunksValue[] = "KeepChunks";
inline constexpr char kInstallPathValue[] = "InstallPath";

// "Save Dialog" holds the command that opened the dialog confirmed last:
// the Advanced button, or anything else for the Simple dialog.
inline constexpr int kDialogChoiceAdvanced = 1016;
inline constexpr int kDialogChoiceSimple = 1022;

// The installation folder is at most this many bytes, its zero included.
inline constexpr size_t kMaxInstallPathBytes = 260;

class SettingsStore {
 public:
  explicit SettingsStore(SettingsBackend& backend) : m_backend(backend) {}

  // The dialog to open: the stored "Save Dialog" number, kDialogChoiceSimple
  // when there is none.  Any 4-byte value counts, whatever its type.
  int ReadDialogChoice() const;
  bool WriteDialogChoice(int choice);

  // Replaces value with the stored 32-bit number when there is one; leaves
  // the caller's default in place otherwise.  True when it was replaced.
  bool ReadNumber(std::string_view name, uint32_t& value) const;
  bool WriteNumber(std::string_view name, uint32_t value);

  // Stores the record as "Advanced Options".  A record whose m_size is not
  // the record size is refused (false) and nothing is written.
  bool WriteAdvancedOptions(const AdvancedOptions& options);
  // Sets options to the remembered record when a trustworthy one is stored
  // (true), else to the defaults (false).
  bool ReadAdvancedOptions(AdvancedOptions& options) const;

  // Sets list to the remembered keep list.  True when something was
  // remembered (the value exists and its text is not empty); on false the
  // list is empty.
  bool ReadKeepList(KeepList& list) const;
  // Remembers the list; an empty list removes the value instead.  True when
  // the store now holds the list.
  bool WriteKeepList(const KeepList& list);

  // The machine-wide installation folder with a path separator at its end,
  // or an empty text when none is recorded.
  std::string ReadInstallPath() const;

 private:
  SettingsBackend& m_backend;
};
