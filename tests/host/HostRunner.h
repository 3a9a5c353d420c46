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

}  // namespace hosttest
