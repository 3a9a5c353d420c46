// Replacing a file so that an interrupted run never leaves it damaged or
// missing: the bytes go to a temporary file in the target's folder, are
// flushed to disk, and only then renamed over the target.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Writes bytes to target atomically.  When modeFrom names an existing file,
// the new file takes its permission bits, and its owner and group where the
// system allows.  False with a reason on failure; the target is then
// untouched and no temporary file is left behind.
bool WriteFileAtomically(const std::filesystem::path& target, const std::vector<uint8_t>& bytes,
                         const std::filesystem::path& modeFrom, std::string& error);

// Reads a whole file; false with a reason on failure.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes, std::string& error);
