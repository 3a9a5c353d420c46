// The Linux file store on a temporary configuration root: values survive in
// files of their own, writes replace whole files or fail leaving the old
// value, and whatever else is found on disk reads as absent.
#include "platform/posix/FileSettingsBackend.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/settings/SettingsTestSupport.h"
#include "tests/support/Oracles.h"

namespace {

using namespace settings_test;
namespace fs = std::filesystem;
using Data = std::vector<uint8_t>;

class FileSettingsBackendTest : public ::testing::Test {
 protected:
  fs::path UserRoot() const { return m_home.path() / "config"; }
  fs::path MachineRoot(int i) const { return m_home.path() / ("xdg" + std::to_string(i)); }
  fs::path UserFolder() const { return UserRoot() / "QuenburyImaging" / "VELKORPS"; }
  std::optional<SettingsValue> Read(std::string_view name) const { return m_backend.Read(SettingsRoot::CurrentUser, name); }
  std::set<std::string> Listing() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(UserFolder())) names.insert(entry.path().filename().string());
    return names;
  }

  oracle::TempDir m_home;
  FileSettingsBackend m_backend{UserRoot(), {MachineRoot(1), MachineRoot(2)}};
};

TEST_F(FileSettingsBackendTest, ValuesSurviveInFilesOfTheirOwnAndAreRemoved) {
  EXPECT_TRUE(m_backend.Remove("KeepChunks")) << "no folder yet";
  ASSERT_TRUE(m_backend.Write("Save Dialog", SettingsType::Number, Data{0xF8, 0x03, 0, 0}));
  ASSERT_TRUE(m_backend.Write("KeepChunks", SettingsType::String, StringBytes("gAMA,")));
  ASSERT_TRUE(m_backend.Write("Blob", SettingsType::Binary, Data(100, 1)));
  ASSERT_TRUE(m_backend.Write("Blob", SettingsType::Binary, Data(3, 2)));
  oracle::WriteFile(UserFolder() / ".pending-abcdef", Bytes("half a value"));  // left by a crash
  EXPECT_EQ(m_backend.UserFolder(), UserFolder());

  const FileSettingsBackend reopened(UserRoot(), {});
  const auto blob = reopened.Read(SettingsRoot::CurrentUser, "Blob");
  ASSERT_TRUE(blob.has_value());
  EXPECT_EQ(blob->type, SettingsType::Binary);
  EXPECT_EQ(blob->data, Data(3, 2));
  const auto keep = reopened.Read(SettingsRoot::CurrentUser, "KeepChunks");
  ASSERT_TRUE(keep.has_value());
  EXPECT_EQ(keep->type, SettingsType::String);
  EXPECT_EQ(keep->data, StringBytes("gAMA,"));
  EXPECT_FALSE(reopened.Read(SettingsRoot::LocalMachine, "KeepChunks").has_value()) << "the roots are separate";

  EXPECT_TRUE(m_backend.Remove("KeepChunks"));
  EXPECT_FALSE(Read("KeepChunks").has_value());
  EXPECT_TRUE(m_backend.Remove("KeepChunks")) << "already gone";
  ASSERT_TRUE(m_backend.Write("Blob", SettingsType::Binary, Data(4, 4)));
  fs::remove(UserFolder() / ".pending-abcdef");
  EXPECT_EQ(Listing(), (std::set<std::string>{"Save Dialog", "Blob"})) << "no temporary file of ours left";
}

TEST_F(FileSettingsBackendTest, ThingsThatAreNotValueFilesReadAsAbsent) {
  fs::create_directories(UserFolder() / "Strategy");
  EXPECT_FALSE(Read("Strategy").has_value());
  EXPECT_FALSE(m_backend.Write("Strategy", SettingsType::Number, Data{1, 0, 0, 0})) << "a folder cannot be replaced";
  EXPECT_TRUE(fs::is_directory(UserFolder() / "Strategy"));
  ASSERT_EQ(::mkfifo((UserFolder() / "KeepChunks").c_str(), 0600), 0);  // would block a plain open
  EXPECT_FALSE(Read("KeepChunks").has_value());
  ASSERT_TRUE(m_backend.Write("Limit Passes", SettingsType::Number, Data{2, 0, 0, 0}));
  fs::copy_file(UserFolder() / "Limit Passes", UserFolder() / "Other");
  EXPECT_FALSE(Read("Other").has_value()) << "another value's file";
}

TEST_F(FileSettingsBackendTest, NamesThatAreNotOneFileNameAreRefused) {
  for (const std::string& name : {std::string(""), std::string("../escape"), std::string("a/b"), std::string(".pending-x"),
                                  std::string(".."), std::string("nul\0x", 5), std::string(256, 'n')}) {
    EXPECT_FALSE(m_backend.Write(name, SettingsType::Number, Data{1, 0, 0, 0})) << name;
    EXPECT_FALSE(Read(name).has_value()) << name;
    EXPECT_FALSE(m_backend.Remove(name)) << name;
  }
  EXPECT_FALSE(fs::exists(m_home.path() / "escape"));
  FileSettingsBackend homeless(fs::path(), {MachineRoot(1)});
  EXPECT_FALSE(homeless.Write("Strategy", SettingsType::Number, Data{1, 0, 0, 0}));
  EXPECT_FALSE(homeless.Read(SettingsRoot::CurrentUser, "Strategy").has_value());
  EXPECT_FALSE(homeless.Remove("Strategy"));
}

// A write that runs out of space fails cleanly: old value intact, no
// temporary file left.  The file size limit makes write() fail as a full
// disk would.
TEST_F(FileSettingsBackendTest, FullDiskKeepsTheOldValue) {
  ASSERT_TRUE(m_backend.Write("Blob", SettingsType::Binary, Data(10, 7)));
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
  struct rlimit tight = saved;
  tight.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
  const bool written = m_backend.Write("Blob", SettingsType::Binary, Data(1000, 9));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_FALSE(written);
  const auto value = Read("Blob");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->data, Data(10, 7));
  EXPECT_EQ(Listing(), std::set<std::string>{"Blob"});
}

TEST_F(FileSettingsBackendTest, MachineValuesComeFromTheFirstSoundFolder) {
  const fs::path first = FileSettingsBackend::ModuleFolder(MachineRoot(1));
  EXPECT_EQ(first, MachineRoot(1) / "QuenburyImaging" / "VELKORPS");
  auto machinePath = [&] {
    const auto value = m_backend.Read(SettingsRoot::LocalMachine, "InstallPath");
    return value.has_value() ? value->data : Data{};
  };
  const auto second = FileSettingsBackend::ModuleFolder(MachineRoot(2));
  ASSERT_TRUE(FileSettingsBackend::WriteValueFile(second, "InstallPath", SettingsType::String, StringBytes("/opt/b")));
  EXPECT_EQ(machinePath(), StringBytes("/opt/b"));
  ASSERT_TRUE(FileSettingsBackend::WriteValueFile(first, "InstallPath", SettingsType::String, StringBytes("/opt/a")));
  EXPECT_EQ(machinePath(), StringBytes("/opt/a"));
  oracle::WriteFile(first / "InstallPath", Bytes("damaged"));
  EXPECT_EQ(machinePath(), StringBytes("/opt/b"));
}

TEST(SettingsLocations, FollowTheXdgRules) {
  struct Case {
    const char *configHome, *home, *configDirs, *userRoot;
    std::vector<fs::path> machineRoots;
  };
  const std::vector<fs::path> etc = {"/etc/xdg"};
  const Case cases[] = {
      {"/x/cfg", "/home/u", nullptr, "/x/cfg", etc},       {nullptr, "/home/u", nullptr, "/home/u/.config", etc},
      {"", "/home/u", "", "/home/u/.config", etc},         {"relative", "/home/u", nullptr, "/home/u/.config", etc},
      {nullptr, nullptr, nullptr, "", etc},                {nullptr, "relative", nullptr, "", etc},
      {"/x", nullptr, "/a::rel:/b:", "/x", {"/a", "/b"}},  {"/x", nullptr, ":", "/x", etc},
  };
  for (const auto& c : cases) {
    const SettingsLocations locations = ResolveSettingsLocations(c.configHome, c.home, c.configDirs);
    EXPECT_EQ(locations.userRoot, fs::path(c.userRoot)) << (c.configHome ? c.configHome : "(unset)");
    EXPECT_EQ(locations.machineRoots, c.machineRoots) << (c.configDirs ? c.configDirs : "(unset)");
  }
}

}  // namespace
