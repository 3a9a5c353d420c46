// The real dialogs under wine64 and a private Xvfb screen: the Windows
// build of velkor-host shows them and drives them with the same dialog
// script as the headless toolkit; every control reads back as its template
// describes it, and the screen is captured into build-win64/screenshots.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "WineScreenRun.h"

namespace {

namespace fs = std::filesystem;

using winetest::HostRun;
using winetest::RunWithScript;
using winetest::ShotFolder;
using winetest::ShotWritten;

TEST(WineDialogs, AboutBoxReadsBackAsDescribedWithTheVersionResourceLine) {
  for (const char* close : {"key escape", "key enter", "click"}) {
    const std::string shot = std::string("about-") + (close[0] == 'c' ? "click" : close + 4);
    fs::remove(ShotFolder() / (shot + ".png"));
    const HostRun run = RunWithScript("about",
                                      "wait 16000\n"
                                      "expect-description 16000 -1\n"
                                      "expect -1 VELKOR File Format Plugin 1.0.0 Build 0\n"
                                      "expect-state 1 hidden\nexpect-state 2 disabled\n"
                                      "shot " + shot + "\n" + close + "\n",
                                      "about");
    EXPECT_EQ(run.exitCode, 0) << close << "\n" << run.output;
    EXPECT_NE(run.output.find("selector 0 result 0"), std::string::npos) << run.output;
    EXPECT_TRUE(ShotWritten(shot)) << shot;
  }
}

TEST(WineDialogs, ProgressDialogStopsAfterThePassAndClosesItself) {
  fs::remove(ShotFolder() / "progress.png");
  const HostRun run = RunWithScript("progress",
                                    "wait 109\n"
                                    "expect-description 109 1104\n"
                                    "expect 1106 \"&Stop After This Pass \"\n"
                                    "shot progress\n"
                                    "press 1106\n"
                                    "expect-state 1106 disabled\n"
                                    "expect title Waiting for pass to complete\n"
                                    "shot progress-stopping\n",
                                    "progress 3 3000");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  // Stopped at the end of pass 0, with no code for the host.
  EXPECT_NE(run.output.find("progress result 1000 host result 0"), std::string::npos) << run.output;
  EXPECT_TRUE(ShotWritten("progress"));
  EXPECT_TRUE(ShotWritten("progress-stopping"));
}

TEST(WineDialogs, ProgressCancelIsACancellation) {
  const HostRun run = RunWithScript("cancel", "wait 109\npress 2\n", "progress 3 3000");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("progress result 2147483647 host result -128"), std::string::npos) << run.output;
}

}  // namespace
