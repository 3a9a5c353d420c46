// Saves under wine64 with the real Win32 dialogs, driven by messages from
// the dialog script: the Simple dialog, on to the Advanced one and RGB; the
// Keep Chunks dialog with Keep All; and a save long enough for the progress
// dialog.  Texts and states are read back from the windows, the dialogs are
// captured into build-win64/screenshots, and the Windows module's file must
// equal the Linux module's, saved with the same choices, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "WineScreenRun.h"
#include "support/Oracles.h"
#include "support/ShellCommand.h"

namespace {

namespace fs = std::filesystem;

std::string RunLinuxHost(const std::string& arguments, int& exitCode) {
  std::string output;
  exitCode = oracle::RunShellCommand(std::string(VELKOR_HOST) + " " + arguments, output);
  return output;
}

// Random enough that the engine takes longer than the two seconds after
// which the progress dialog shows.
void WriteSlowImage(const fs::path& path) {
  const std::string script =
      "from PIL import Image\nimport random\nrandom.seed(7)\nn = 1280\nim = Image.new('RGB', (n, n))\n"
      "im.putdata([(random.randrange(256), (x * 7) % 256, (x // 3) % 256) for x in range(n * n)])\n"
      "im.save('" + path.string() + "')\n";
  ASSERT_EQ(oracle::RunPython(script), 0);
}

std::vector<std::string> ChunkTypes(const std::vector<uint8_t>& png) {
  std::vector<oracle::Chunk> chunks;
  std::vector<std::string> types;
  if (!oracle::ListChunks(png, chunks)) return types;
  for (const oracle::Chunk& chunk : chunks) types.push_back(chunk.type);
  return types;
}

struct SaveCase {
  std::string name;
  fs::path input;
  std::string windowsScript;
  // The same choices for the headless dialogs (the progress dialog of a
  // fast Linux run may not show at all).
  std::string linuxScript;
  std::vector<std::string> shots;
  std::vector<std::string> chunkTypes;  // of the saved file
  uint8_t colourType;
};

TEST(WineSave, RealDialogsDrivenByMessagesWriteTheLinuxModulesBytes) {
  oracle::TempDir dir;
  const fs::path suite = oracle::DataDir() / "pngsuite";
  const fs::path slow = dir.path() / "slow.png";
  WriteSlowImage(slow);
  const std::string simpleToAdvancedRgb =
      "wait 105\nexpect 1012 Xtreme!\nexpect-state 1015 disabled\ncheck 1066\ntype 1015 25\nexpect 1015 25\nexpect-pos 1014 10\n"
      "shot dialog-105\npress 1016\nwait 106\nexpect 1056 256.000000\nexpect-state 1039 disabled\n"
      "expect-state 1041 enabled\npress 1041\nexpect-state 1041 checked\nshot dialog-106\npress 1\n";
  const std::string keepAll =
      "wait 105\npress 1071\nwait 107\nexpect 1101 \"Keep &All\"\nexpect 1075:1 cHRM\nexpect-state 1102 checked\npress 1101\n"
      "expect-state 1101 checked\nexpect-state 1079 checked\nexpect-state 1079 disabled\nshot dialog-107\npress 1\n"
      "wait 105\npress 1\n";
  const std::vector<SaveCase> cases = {
      {"simple-advanced-rgb", suite / "basn2c08.png", simpleToAdvancedRgb, simpleToAdvancedRgb,
       {"dialog-105", "dialog-106"}, {"IHDR", "IDAT", "IEND"}, 2},
      {"keep-all", suite / "ccwn2c08.png", keepAll, keepAll, {"dialog-107"},
       {"IHDR", "gAMA", "cHRM", "pHYs", "IDAT", "IEND"}, 2},
      {"progress", slow,
       "wait 105\npress 1\nwait 109\nexpect-description 109 1104\nexpect-state 1106 enabled\nshot dialog-109\n",
       "wait 105\npress 1\n", {"dialog-109"}, {"IHDR", "IDAT", "IEND"}, 2},
  };
  for (const SaveCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::string& shot : c.shots) fs::remove(winetest::ShotFolder() / (shot + ".png"));
    const fs::path onWindows = dir.path() / (c.name + "-windows.png");
    const fs::path onLinux = dir.path() / (c.name + "-linux.png");
    const winetest::HostRun windows = winetest::RunWithScript(
        "save-" + c.name, c.windowsScript, "save 'Z:" + c.input.string() + "' 'Z:" + onWindows.string() + "'");
    EXPECT_EQ(windows.exitCode, 0) << windows.output;
    EXPECT_NE(windows.output.find("save result 0\n"), std::string::npos) << windows.output;

    const fs::path script = dir.path() / (c.name + ".script");
    std::ofstream(script) << c.linuxScript;
    int linuxExit = -1;
    const std::string linux = RunLinuxHost("--dialog '" + script.string() + "' --shots '" + dir.path().string() +
                                               "' save '" + c.input.string() + "' '" + onLinux.string() + "'",
                                           linuxExit);
    EXPECT_EQ(linuxExit, 0) << linux;

    const std::vector<uint8_t> bytes = oracle::ReadFile(onWindows);
    ASSERT_GT(bytes.size(), 25u) << windows.output;
    EXPECT_EQ(bytes, oracle::ReadFile(onLinux));
    EXPECT_EQ(ChunkTypes(bytes), c.chunkTypes);
    EXPECT_EQ(bytes[25], c.colourType);
    oracle::Image saved, source;
    ASSERT_TRUE(oracle::DecodePng(bytes, saved));
    ASSERT_TRUE(oracle::DecodePng(oracle::ReadFile(c.input), source));
    EXPECT_TRUE(saved == source);
    for (const std::string& shot : c.shots) EXPECT_TRUE(winetest::ShotWritten(shot)) << shot;
  }
}

}  // namespace
