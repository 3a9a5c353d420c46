// The module's plug-in property list (PiPL 16000) and scripting terminology
// (AETE 16000), described once here.  The same bytes become the Windows
// module's resources (through the resource script the build generates with
// WriteResourceBytes) and the Linux module's exported resource lookup, so
// that both modules tell a host exactly the same things.
//
// Byte conventions are those of the platform's resource compiler: 16- and
// 32-bit numbers little-endian, four-character codes stored as 32-bit
// numbers and therefore byte-reversed ("8BIM" is stored M I B 8).
#pragma once

#include <cstdint>
#include <vector>

namespace resources {

constexpr int32_t kPiplId = 16000;
constexpr int32_t kAeteId = 16000;
constexpr int32_t kTerminologyId = 16000;

std::vector<uint8_t> BuildPipl();
std::vector<uint8_t> BuildAete();

}  // namespace resources
