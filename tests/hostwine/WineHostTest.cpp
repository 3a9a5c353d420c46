// The Windows module under wine64, driven by the Windows build of
// velkor-host: PngSuite opens give libpng's pixels, the module's resources
// read back through the Win32 resource functions equal the Linux module's
// bytes, and DllMain appends to the load log on drive C.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/Oracles.h"
#include "support/RgbaPam.h"
#include "support/ShellCommand.h"

namespace {

namespace fs = std::filesystem;

struct HostRun {
  int exitCode = -1;
  std::string output;
};

// The Windows runtime writes text with CR LF line ends; compare lines.
std::string WithoutCarriageReturns(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

HostRun RunCommand(const std::string& command) {
  HostRun run;
  run.exitCode = oracle::RunShellCommand(command, run.output);
  run.output = WithoutCarriageReturns(run.output);
  return run;
}

// Wine sees the Linux root as drive Z:.
std::string WindowsPath(const fs::path& path) { return "Z:" + fs::absolute(path).string(); }

HostRun RunWindowsHost(const std::string& arguments) {
  return RunCommand("WINEPREFIX='" VELKOR_WINEPREFIX "' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' wine '" +
                    std::string(VELKOR_WINDOWS_HOST) + "' " + arguments);
}

HostRun RunLinuxHost(const std::string& arguments) { return RunCommand(std::string(VELKOR_HOST) + " " + arguments); }

// Wine starts its own background programs (services, explorer, device
// hosts) with the first program of a session, and they inherit that
// program's output.  Whatever they print, up to a crash report when one of
// them fails while shutting down under load, then lands after the host's own
// output in the text compared below.  So the session is started first, with
// their output on /dev/null and a server that stays up between runs; killing
// it at the end leaves them nothing to print.
void StartWineSession() {
  std::system("WINEPREFIX='" VELKOR_WINEPREFIX "' wineserver -p </dev/null >/dev/null 2>&1; WINEPREFIX='" VELKOR_WINEPREFIX
              "' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' wine wineboot </dev/null >/dev/null 2>&1");
}

void EndWineSession() {
  std::system("WINEPREFIX='" VELKOR_WINEPREFIX "' wineserver -k >/dev/null 2>&1; WINEPREFIX='" VELKOR_WINEPREFIX
              "' wineserver -w");
}

// The processes other than this one that hold a descriptor on the pipe.
std::vector<std::string> PipeHolders(ino_t pipe) {
  const std::string target = "pipe:[" + std::to_string(pipe) + "]";
  const std::string self = std::to_string(getpid());
  std::vector<std::string> holders;
  std::error_code error;
  for (const auto& process : fs::directory_iterator("/proc", error)) {
    const std::string pid = process.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
    for (const auto& fd : fs::directory_iterator(process.path() / "fd", error)) {
      std::error_code linkError;
      if (fs::read_symlink(fd.path(), linkError).string() == target) {
        std::ifstream name(process.path() / "comm");
        std::string comm;
        std::getline(name, comm);
        holders.push_back(pid + " " + comm);
        break;
      }
    }
  }
  return holders;
}

class WineHost : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { StartWineSession(); }
  static void TearDownTestSuite() { EndWineSession(); }
};

// A run's output is the host's alone: once the host has exited, no program of
// Wine's own still holds it open to write into it.
TEST_F(WineHost, NothingButTheHostWritesARunsOutput) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  struct stat info {};
  ASSERT_EQ(fstat(ends[0], &info), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(ends[1], 1);
    dup2(ends[1], 2);
    close(ends[0]);
    close(ends[1]);
    setenv("WINEPREFIX", VELKOR_WINEPREFIX, 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    execlp("wine", "wine", VELKOR_WINDOWS_HOST, "version", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ends[1]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  const std::vector<std::string> holders = PipeHolders(info.st_ino);
  close(ends[0]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(holders.empty()) << holders.front() << " and " << holders.size() - 1 << " more";
}

TEST_F(WineHost, EveryValidPngSuiteFileOpensWithLibpngsPixels) {
  oracle::TempDir dir;
  const std::vector<fs::path> files = oracle::PngSuiteFiles(true);
  std::string arguments = "open-each '" + WindowsPath(dir.path()) + "'";
  for (const fs::path& file : files) arguments += " '" + WindowsPath(file) + "'";
  ASSERT_GT(files.size(), 100u);
  // One Wine process for all files: starting one costs seconds.
  const HostRun run = RunWindowsHost(arguments);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  size_t opened = 0;
  for (size_t at = 0; (at = run.output.find("open result 0", at)) != std::string::npos; ++at) ++opened;
  EXPECT_EQ(opened, files.size()) << run.output;
  for (const fs::path& file : files) {
    oracle::Image expected, actual;
    ASSERT_TRUE(oracle::DecodePng(oracle::ReadFile(file), expected)) << file;
    ASSERT_TRUE(oracle::ReadRgbaPam(dir.path() / (file.filename().string() + ".pam"), actual)) << file;
    EXPECT_TRUE(actual == expected) << file;
  }
}

TEST_F(WineHost, ResourcesReadBackEqualTheLinuxModulesBytes) {
  oracle::TempDir dir;
  for (const char* type : {"PiPL", "AETE"}) {
    const fs::path onWindows = dir.path() / (std::string(type) + ".win"), onLinux = dir.path() / (std::string(type) + ".lin");
    ASSERT_EQ(RunWindowsHost(std::string("resource ") + type + " 16000 '" + WindowsPath(onWindows) + "'").exitCode, 0);
    ASSERT_EQ(RunLinuxHost(std::string("resource ") + type + " 16000 '" + onLinux.string() + "'").exitCode, 0);
    EXPECT_EQ(oracle::ReadFile(onWindows), oracle::ReadFile(onLinux)) << type;
  }
  const HostRun onWindows = RunWindowsHost("version"), onLinux = RunLinuxHost("version");
  EXPECT_EQ(onWindows.output, onLinux.output);
  EXPECT_EQ(RunWindowsHost("pipl").output, RunLinuxHost("pipl").output);
}

TEST_F(WineHost, DllMainAppendsToTheLoadLogOnDriveC) {
  const fs::path log = fs::path(VELKOR_WINEPREFIX) / "drive_c" / "LoadLogTextFormat.txt";
  auto lines = [&] {
    std::vector<std::string> found;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) found.push_back(WithoutCarriageReturns(line));
    return found;
  };
  const size_t before = lines().size();
  ASSERT_EQ(RunWindowsHost("version").exitCode, 0);
  const std::vector<std::string> after = lines();
  ASSERT_GE(after.size(), before + 2);
  const std::regex attach("DLL_PROCESS_ATTACH DllMain: [A-Z][a-z]{2} [A-Z][a-z]{2} [0-3][0-9] [0-9:]{8} [0-9]{4}");
  EXPECT_TRUE(std::any_of(after.begin() + long(before), after.end(),
                          [&](const std::string& line) { return std::regex_match(line, attach); }));
  EXPECT_TRUE(std::regex_match(after.back(), std::regex("DLL_PROCESS_DETACH DllMain: .*"))) << after.back();
}

TEST_F(WineHost, TheSelectorTablesGiveTheLinuxResults) {
  const fs::path suite = oracle::DataDir() / "pngsuite";
  for (const std::string& arguments :
       {std::string("filter '") + WindowsPath(suite / "basn0g08.png") + "'",
        std::string("filter '") + WindowsPath(suite / "basn0g16.png") + "'",
        std::string("estimate 100x50 rgb --planes 4"), std::string("estimate 100x50 indexed --planes 1"),
        std::string("--fault no-advance-state call 1 2"),
        std::string("--fault refuse-buffer=1 open '") + WindowsPath(suite / "basn2c08.png") + "'",
        std::string("--fault seek-fails filter '") + WindowsPath(suite / "basn0g08.png") + "'",
        std::string("--fault read-fails open '") + WindowsPath(suite / "basn0g08.png") + "'",
        std::string("--fault descriptor=2 --fault close-error=-50 open '") + WindowsPath(suite / "basn0g08.png") +
            "'"}) {
    const HostRun onWindows = RunWindowsHost(arguments);
    std::string linuxArguments = std::regex_replace(arguments, std::regex("Z:/"), "/");
    const HostRun onLinux = RunLinuxHost(linuxArguments);
    EXPECT_EQ(onWindows.exitCode, onLinux.exitCode) << arguments;
    EXPECT_EQ(onWindows.output, onLinux.output) << arguments;
  }
}

}  // namespace
