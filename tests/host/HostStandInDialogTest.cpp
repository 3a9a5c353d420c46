// The module's about box as the host stand-in shows it, driven by a dialog
// script from outside the module; and a script that fails or does not
// finish fails the run, so that every suite driving the module's dialogs by
// script (here and under Wine) can fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "HostRunner.h"

namespace {

using hosttest::HostRun;
using hosttest::RunHost;

std::filesystem::path WriteScript(const std::string& name, const std::string& text) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path) << text;
  return path;
}

// The Linux module's own product version (the Windows one comes from its
// version resource, which the Wine suite reads back).
TEST(HostStandIn, AboutScriptReadsTheVersionLineAndClosesWithEnter) {
  const std::filesystem::path shots = std::filesystem::temp_directory_path() / "velkor-about-shots";
  std::filesystem::remove_all(shots);
  const auto script = WriteScript("velkor-about.script",
                                  "wait 16000\n"
                                  "expect 1006 https://quenbury-imaging.example/velkor/\n"
                                  "expect-state 1 hidden\nexpect-state 2 disabled\n"
                                  "shot about\nkey enter\n");
  const HostRun run = RunHost({"--dialog", script.string(), "--shots", shots.string(), "about"});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("selector 0 result 0"), std::string::npos) << run.output;
  std::stringstream shot;
  shot << std::ifstream(shots / "about.txt").rdbuf();
  // The version line is the build's product version, not the template text.
  EXPECT_NE(shot.str().find("-1 static \"VELKOR File Format Plugin "), std::string::npos) << shot.str();
  EXPECT_EQ(shot.str().find("\"VELKOR File Format Plugin\""), std::string::npos) << shot.str();
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
    const HostRun run = RunHost({"--dialog", script.string(), "about"});
    EXPECT_NE(run.exitCode, 0) << c.script;
    EXPECT_NE(run.output.find(c.reason), std::string::npos) << run.output;
  }
}

}  // namespace
