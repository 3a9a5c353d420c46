// The Windows build of the engine writes the same bytes as this one.  The
// folder encoder of both builds runs over the same images (the MinGW one
// under wine64, in a Wine prefix inside the build folder), at the default
// settings and with strategy 1, and every file must match byte for byte.
// The engine's floating steps (entropy table, split estimates) decide
// filters and block boundaries, so any platform difference in them shows
// up here as a different file.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Oracles.h"

namespace {

namespace fs = std::filesystem;

struct FolderCase {
  const char* label;
  fs::path folder;
};

void PrintTo(const FolderCase& c, std::ostream* out) { *out << c.label << " (" << c.folder.string() << ")"; }

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// Wine sees the Linux root as drive Z:.
std::string WindowsPath(const fs::path& path) { return "Z:" + fs::absolute(path).string(); }

std::string WineCommand(const std::string& arguments) {
  return "WINEPREFIX=" + Quoted(VELKOR_WINEPREFIX) + " WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' wine " +
         arguments;
}

std::map<std::string, std::vector<uint8_t>> FilesIn(const fs::path& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files[entry.path().filename().string()] = oracle::ReadFile(entry.path());
  }
  return files;
}

class CrossBuild : public ::testing::TestWithParam<FolderCase> {
 protected:
  static void TearDownTestSuite() { std::system(("WINEPREFIX=" + Quoted(VELKOR_WINEPREFIX) + " wineserver -w").c_str()); }
};

TEST_P(CrossBuild, WindowsEngineWritesTheLinuxBytes) {
  const FolderCase& c = GetParam();
  ASSERT_TRUE(fs::is_directory(c.folder)) << c.folder;
  oracle::TempDir work;
  const fs::path linuxOut = work.path() / "linux", windowsOut = work.path() / "windows";

  int windowsStatus = -1;
  std::thread windowsRun([&] {
    windowsStatus = std::system(WineCommand(Quoted(VELKOR_WINDOWS_ENCODER) + " " + Quoted(WindowsPath(c.folder)) +
                                            " " + Quoted(WindowsPath(windowsOut)) + " >/dev/null")
                                    .c_str());
  });
  const int linuxStatus = std::system(
      (Quoted(VELKOR_LINUX_ENCODER) + " " + Quoted(c.folder.string()) + " " + Quoted(linuxOut.string()) + " >/dev/null")
          .c_str());
  windowsRun.join();
  ASSERT_EQ(linuxStatus, 0);
  ASSERT_EQ(windowsStatus, 0) << "the Windows encoder under wine64";

  const auto linuxFiles = FilesIn(linuxOut), windowsFiles = FilesIn(windowsOut);
  ASSERT_GT(linuxFiles.size(), 0u);
  std::vector<std::string> missing, different;
  for (const auto& [name, bytes] : linuxFiles) {
    const auto found = windowsFiles.find(name);
    if (found == windowsFiles.end()) {
      missing.push_back(name);
    } else if (found->second != bytes) {
      different.push_back(name);
    }
  }
  EXPECT_EQ(windowsFiles.size(), linuxFiles.size());
  EXPECT_EQ(missing, std::vector<std::string>{});
  EXPECT_EQ(different, std::vector<std::string>{});
}

std::vector<FolderCase> Folders() {
  std::vector<FolderCase> folders = {{"PngSuite", fs::path(VELKOR_CORPUS_DIR) / "pngsuite"},
                                     {"Samples", fs::path(VELKOR_SOURCE_DIR) / "samples"}};
  // The team's shared sample images, where this machine has them.
  const fs::path shared = "/work/shared/corpus/samples";
  if (fs::is_directory(shared)) folders.push_back({"SharedCorpus", shared});
  return folders;
}

INSTANTIATE_TEST_SUITE_P(Folders, CrossBuild, ::testing::ValuesIn(Folders()),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
