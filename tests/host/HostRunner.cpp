#include "HostRunner.h"

#include <sstream>

#include "support/ShellCommand.h"

namespace hosttest {

std::optional<int> HostRun::ResultOf(int selector) const {
  std::optional<int> result;
  const std::string prefix = "selector " + std::to_string(selector) + " result ";
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(prefix, 0) == 0) result = std::stoi(line.substr(prefix.size()));
  return result;
}

std::optional<std::string> HostRun::LineAfter(const std::string& prefix) const {
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
  return std::nullopt;
}

HostRun RunHost(const std::vector<std::string>& arguments, const std::string& environment) {
  std::string command = environment.empty() ? "" : environment + " ";
  command += VELKOR_HOST;
  for (const std::string& argument : arguments) command += " '" + argument + "'";
  HostRun run;
  run.exitCode = oracle::RunShellCommand(command, run.output);
  return run;
}

std::optional<long long> Field(const std::string& line, const std::string& key) {
  std::istringstream words(line);
  for (std::string word; words >> word;) {
    if (word != key) continue;
    long long value = 0;
    if (words >> value) return value;
  }
  return std::nullopt;
}

}  // namespace hosttest
