#include "WineScreenRun.h"

#include <algorithm>
#include <fstream>

#include "support/ShellCommand.h"

namespace winetest {

namespace fs = std::filesystem;

namespace {
// Far above the slowest run (a few seconds), far below ctest's limit.
constexpr char kTimeLimit[] = "timeout -k 10 180 ";
}  // namespace

fs::path ShotFolder() { return fs::path(VELKOR_WINDOWS_HOST).parent_path().parent_path() / "screenshots"; }

HostRun RunWithScript(const std::string& name, const std::string& script, const std::string& command) {
  const fs::path scriptFile = fs::temp_directory_path() / ("velkor-" + name + ".script");
  std::ofstream(scriptFile) << script;
  fs::create_directories(ShotFolder());
  const std::string line = std::string(kTimeLimit) +
                           "xvfb-run -a -s '-screen 0 1024x768x24' env WINEPREFIX='" VELKOR_WINEPREFIX
                           "' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' wine '" VELKOR_WINDOWS_HOST
                           "' --dialog 'Z:" + scriptFile.string() + "' --shots '" + ShotFolder().string() + "' " +
                           command;
  HostRun run;
  run.exitCode = oracle::RunShellCommand(line, run.output);
  run.output.erase(std::remove(run.output.begin(), run.output.end(), '\r'), run.output.end());
  return run;
}

bool ShotWritten(const std::string& name) {
  const fs::path file = ShotFolder() / (name + ".png");
  return fs::exists(file) && fs::file_size(file) > 1000;
}

}  // namespace winetest
