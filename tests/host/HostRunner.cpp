#include "HostRunner.h"

#include <sys/wait.h>

#include <cstdio>
#include <sstream>

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
  command += " 2>&1";
  HostRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, got);
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
