// A dialog script that fails or does not finish fails the stand-in's run,
// so that every suite driving the module's dialogs by script (here and
// under Wine) can fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/ShellCommand.h"

#ifdef VELKOR_HOST

namespace {

struct HostRun { int status; std::string output; };

HostRun RunHost(const std::string& arguments) {
  HostRun run{-1, {}};
  run.status = oracle::RunShellCommand(std::string(VELKOR_HOST) + " " + arguments, run.output);
  return run;
}

std::filesystem::path WriteScript(const std::string& name, const std::string& text) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path) << text;
  return path;
}

TEST(HostStandIn, AFailingOrUnfinishedScriptFailsTheRun) {
  struct Case { const char* script; const char* reason; };
  const Case cases[] = {
      {"wait 16000\nexpect 1005 nothing\n", "expect 1005"},
      {"wait 16000\nkey escape\nwait 109\n", "1 script command(s) never ran"},
      {"jump\n", "unknown command"},
  };
  for (const Case& c : cases) {
    const auto script = WriteScript("velkor-bad.script", c.script);
    const HostRun run = RunHost("--dialog " + script.string() + " about");
    EXPECT_NE(run.status, 0) << c.script;
    EXPECT_NE(run.output.find(c.reason), std::string::npos) << run.output;
  }
}

}  // namespace

#endif
