// The on-disk form of one remembered value in the Linux settings store.
//
// Each value lives in a file of its own, named after the value.  One file per
// value keeps every write a single atomic rename and confines damage to the
// value that was hit.  The file is small, binary and checks itself, so that a
// truncated write, a stray editor, or a file that was never ours reads as
// "absent" rather than as a wrong setting:
//
//   offset  size  field
//   0       4     magic "VKSV"
//   4       1     format version, 1
//   5       1     type: 1 string, 3 binary, 4 number (the registry's codes)
//   6       2     name length N, 1..255, little-endian
//   8       4     payload length L, at most kMaxSettingsPayload, little-endian
//   12      N     the value's name, which must match the file's name
//   12+N    L     payload (a number is 4 bytes little-endian; a string ends
//                 in its zero byte)
//   12+N+L  4     CRC-32 (zlib's) of every byte before it, little-endian
//
// The name is inside the checksum so a file copied or renamed onto another
// value is refused.  The file must be exactly this long; trailing bytes mean
// it is not one of ours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/SettingsBackend.h"

// Our values are a few dozen bytes; the cap bounds what a hostile file can
// make the reader allocate.
inline constexpr size_t kMaxSettingsPayload = 65536;
inline constexpr size_t kMaxSettingsNameLength = 255;
inline constexpr size_t kSettingsFileOverhead = 16;  // header and checksum
inline constexpr size_t kMaxSettingsFileSize =
    kSettingsFileOverhead + kMaxSettingsNameLength + kMaxSettingsPayload;

// The file bytes for a value; nothing when the name or payload cannot be
// stored (too long, a number that is not 4 bytes, a string without its final
// zero byte).
std::optional<std::vector<uint8_t>> EncodeSettingsValue(std::string_view name, SettingsType type,
                                                        std::span<const uint8_t> payload);

// The value a file holds, or nothing when the bytes are not a well-formed
// value file for this name.
std::optional<SettingsValue> DecodeSettingsValue(std::string_view name, std::span<const uint8_t> file);

// CRC-32 with the reflected polynomial 0xEDB88320, as zlib and PNG compute it.
uint32_t SettingsCrc32(std::span<const uint8_t> bytes);
