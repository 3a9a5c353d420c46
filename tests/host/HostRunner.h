// Runs the velkor-host stand-in as a separate process, as a host runs the
// module, and reads back what it printed.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hosttest {

struct HostRun {
  int exitCode = -1;
  std::string output;  // stdout and stderr

  // The result the host saw for a selector (the last call of it).
  std::optional<int> ResultOf(int selector) const;
  // The first line that starts with `prefix`, without it; nothing if none.
  std::optional<std::string> LineAfter(const std::string& prefix) const;
  bool Contains(const std::string& text) const { return output.find(text) != std::string::npos; }
  // Whether the host found anything held at a sequence end or a bad request.
  bool HostProblems() const { return Contains("HOST PROBLEM"); }
};

// `arguments` are passed to velkor-host as they are (no spaces inside one).
HostRun RunHost(const std::vector<std::string>& arguments, const std::string& environment = "");

// The value after "key " in a line of "key value key value ..." words.
std::optional<long long> Field(const std::string& line, const std::string& key);

// The data of a pHYs chunk: pixels per unit across and down, the unit (1: metre).
inline std::vector<uint8_t> PhysData(uint32_t x, uint32_t y, uint8_t unit = 1) {
  return {uint8_t(x >> 24), uint8_t(x >> 16), uint8_t(x >> 8), uint8_t(x),   uint8_t(y >> 24),
          uint8_t(y >> 16), uint8_t(y >> 8),  uint8_t(y),      unit};
}

}  // namespace hosttest
