// The Linux file store on a temporary configuration root: values survive,
// writes replace whole files, and whatever else is found on disk reads as
// absent instead of as a wrong setting.
#include "platform/posix/FileSettingsBackend.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/support/Oracles.h"
#include "tests/settings/SettingsTestSupport.h"

namespace {

using namespace settings_test;

namespace fs = std::filesystem;

std::set<std::string> FolderListing(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

class FileSettingsBackendTest : public ::testing::Test {
 protected:
  fs::path UserRoot() const { return m_home.path() / "config"; }
  fs::path MachineRoot(int i) const { return m_home.path() / ("xdg" + std::to_string(i)); }
  fs::path UserFolder() const { return UserRoot() / "QuenburyImaging" / "VELKORPS"; }

  oracle::TempDir m_home;
  FileSettingsBackend m_backend{UserRoot(), {MachineRoot(1), MachineRoot(2)}};
};

TEST_F(FileSettingsBackendTest, EmptyStoreReadsNothing) {
  for (const char* name : {"Save Dialog", "KeepChunks", "InstallPath"}) {
    EXPECT_FALSE(m_backend.Read(SettingsRoot::CurrentUser, name).has_value()) << name;
    EXPECT_FALSE(m_backend.Read(SettingsRoot::LocalMachine, name).has_value()) << name;
  }
  EXPECT_FALSE(fs::exists(UserRoot())) << "reading must not create folders";
}

TEST_F(FileSettingsBackendTest, ValuesOfEachTypeSurviveInTheirOwnFiles) {
  struct Case {
    const char* name;
    SettingsType type;
    std::vector<uint8_t> data;
  };
  const Case cases[] = {
      {"Save Dialog", SettingsType::Number, std::vector<uint8_t>{0xF8, 0x03, 0, 0}},
      {"Advanced Options", SettingsType::Binary, std::vector<uint8_t>(48, 0xA5)},
      {"KeepChunks", SettingsType::String, StringBytes("gAMA,")},
  };
  for (const auto& c : cases) ASSERT_TRUE(m_backend.Write(c.name, c.type, c.data)) << c.name;

  EXPECT_EQ(m_backend.UserFolder(), UserFolder());
  EXPECT_EQ(FolderListing(UserFolder()), (std::set<std::string>{"Save Dialog", "Advanced Options", "KeepChunks"}))
      << "no temporary file may be left behind";

  const FileSettingsBackend reopened(UserRoot(), {});
  for (const auto& c : cases) {
    const auto value = reopened.Read(SettingsRoot::CurrentUser, c.name);
    ASSERT_TRUE(value.has_value()) << c.name;
    EXPECT_EQ(value->type, c.type) << c.name;
    EXPECT_EQ(value->data, c.data) << c.name;
  }
}

TEST_F(FileSettingsBackendTest, WriteReplacesTheWholeValue) {
  ASSERT_TRUE(m_backend.Write("Blob", SettingsType::Binary, std::vector<uint8_t>(100, 1)));
  ASSERT_TRUE(m_backend.Write("Blob", SettingsType::Binary, std::vector<uint8_t>(3, 2)));
  const auto value = m_backend.Read(SettingsRoot::CurrentUser, "Blob");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->data, std::vector<uint8_t>(3, 2));
  EXPECT_EQ(FolderListing(UserFolder()), std::set<std::string>{"Blob"});
}

TEST_F(FileSettingsBackendTest, RemoveDeletesAndForgivesAbsence) {
  EXPECT_TRUE(m_backend.Remove("KeepChunks")) << "no folder yet";
  ASSERT_TRUE(m_backend.Write("KeepChunks", SettingsType::String, StringBytes("ALL,")));
  ASSERT_TRUE(m_backend.Write("Strategy", SettingsType::Number, std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_TRUE(m_backend.Remove("KeepChunks"));
  EXPECT_FALSE(m_backend.Read(SettingsRoot::CurrentUser, "KeepChunks").has_value());
  EXPECT_TRUE(m_backend.Read(SettingsRoot::CurrentUser, "Strategy").has_value());
  EXPECT_TRUE(m_backend.Remove("KeepChunks")) << "already gone";
}

TEST_F(FileSettingsBackendTest, FileCutOffAtAnyLengthReadsAsAbsent) {
  ASSERT_TRUE(m_backend.Write("KeepChunks", SettingsType::String, StringBytes("iCCP,gAMA,")));
  const fs::path path = UserFolder() / "KeepChunks";
  const auto whole = oracle::ReadFile(path);
  for (size_t length = 0; length < whole.size(); ++length) {
    oracle::WriteFile(path, std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(length)));
    EXPECT_FALSE(m_backend.Read(SettingsRoot::CurrentUser, "KeepChunks").has_value()) << length;
  }
}

TEST_F(FileSettingsBackendTest, GarbageAndForeignFilesReadAsAbsent) {
  std::mt19937 random(99);
  std::vector<uint8_t> noise(4096);
  for (auto& byte : noise) byte = static_cast<uint8_t>(random());
  fs::create_directories(UserFolder());
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"random bytes", noise},
      {"registry export text", Bytes("[HKEY_CURRENT_USER\\Software\\QuenburyImaging\\VELKORPS]\n\"Strategy\"=dword:1\n")},
      {"empty file", {}},
      {"larger than any value", std::vector<uint8_t>(70000, 'V')},
  };
  for (const auto& c : cases) {
    oracle::WriteFile(UserFolder() / "Strategy", c.bytes);
    EXPECT_FALSE(m_backend.Read(SettingsRoot::CurrentUser, "Strategy").has_value()) << c.what;
  }
}

TEST_F(FileSettingsBackendTest, AFileCopiedOntoAnotherValueIsRefused) {
  ASSERT_TRUE(m_backend.Write("Strategy", SettingsType::Number, std::vector<uint8_t>{2, 0, 0, 0}));
  fs::copy_file(UserFolder() / "Strategy", UserFolder() / "Limit Passes");
  EXPECT_FALSE(m_backend.Read(SettingsRoot::CurrentUser, "Limit Passes").has_value());
}

TEST_F(FileSettingsBackendTest, ThingsThatAreNotFilesReadAsAbsent) {
  fs::create_directories(UserFolder() / "Strategy");
  EXPECT_FALSE(m_backend.Read(SettingsRoot::CurrentUser, "Strategy").has_value());
  EXPECT_FALSE(m_backend.Write("Strategy", SettingsType::Number, std::vector<uint8_t>{1, 0, 0, 0}))
      << "a folder in the value's place cannot be replaced";
  EXPECT_TRUE(fs::is_directory(UserFolder() / "Strategy"));

  // A FIFO would block a plain open until a writer came along.
  ASSERT_EQ(::mkfifo((UserFolder() / "KeepChunks").c_str(), 0600), 0);
  EXPECT_FALSE(m_backend.Read(SettingsRoot::CurrentUser, "KeepChunks").has_value());
}

TEST_F(FileSettingsBackendTest, LeftoverTemporaryFilesAreIgnored) {
  ASSERT_TRUE(m_backend.Write("Strategy", SettingsType::Number, std::vector<uint8_t>{3, 0, 0, 0}));
  oracle::WriteFile(UserFolder() / ".pending-abcdef", Bytes("half a value"));
  const auto value = m_backend.Read(SettingsRoot::CurrentUser, "Strategy");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->data, (std::vector<uint8_t>{3, 0, 0, 0}));
  ASSERT_TRUE(m_backend.Write("Strategy", SettingsType::Number, std::vector<uint8_t>{4, 0, 0, 0}));
}

TEST_F(FileSettingsBackendTest, NamesThatAreNotOneFileNameAreRefused) {
  for (const std::string& name : {std::string(""), std::string("../escape"), std::string("a/b"),
                                 std::string(".pending-x"), std::string(".."), std::string("nul\0x", 5),
                                 std::string(256, 'n')}) {
    EXPECT_FALSE(m_backend.Write(name, SettingsType::Number, std::vector<uint8_t>{1, 0, 0, 0})) << name;
    EXPECT_FALSE(m_backend.Read(SettingsRoot::CurrentUser, name).has_value()) << name;
    EXPECT_FALSE(m_backend.Remove(name)) << name;
  }
  EXPECT_FALSE(fs::exists(m_home.path() / "escape"));
}

// A write that runs out of space must fail cleanly: old value intact, no
// temporary file left.  The file size limit makes write() fail as a full
// disk would.
TEST_F(FileSettingsBackendTest, FullDiskKeepsTheOldValue) {
  ASSERT_TRUE(m_backend.Write("Blob", SettingsType::Binary, std::vector<uint8_t>(10, 7)));

  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
  struct rlimit tight = saved;
  tight.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
  const bool written = m_backend.Write("Blob", SettingsType::Binary, std::vector<uint8_t>(1000, 9));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_FALSE(written);
  const auto value = m_backend.Read(SettingsRoot::CurrentUser, "Blob");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->data, std::vector<uint8_t>(10, 7));
  EXPECT_EQ(FolderListing(UserFolder()), std::set<std::string>{"Blob"});
}

TEST_F(FileSettingsBackendTest, ReadOnlyFolderKeepsTheOldValue) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  ASSERT_TRUE(m_backend.Write("Strategy", SettingsType::Number, std::vector<uint8_t>{1, 0, 0, 0}));
  fs::permissions(UserFolder(), fs::perms::owner_read | fs::perms::owner_exec);
  const bool written = m_backend.Write("Strategy", SettingsType::Number, std::vector<uint8_t>{2, 0, 0, 0});
  const bool removed = m_backend.Remove("Strategy");
  fs::permissions(UserFolder(), fs::perms::owner_all);
  EXPECT_FALSE(written);
  EXPECT_FALSE(removed);
  const auto value = m_backend.Read(SettingsRoot::CurrentUser, "Strategy");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->data, (std::vector<uint8_t>{1, 0, 0, 0}));
}

TEST_F(FileSettingsBackendTest, MachineValuesComeFromTheFirstSoundFolder) {
  const auto path = [](std::string_view text) { return StringBytes(text); };
  const fs::path first = FileSettingsBackend::ModuleFolder(MachineRoot(1));
  const fs::path second = FileSettingsBackend::ModuleFolder(MachineRoot(2));

  ASSERT_TRUE(FileSettingsBackend::WriteValueFile(second, "InstallPath", SettingsType::String, path("/opt/b")));
  auto value = m_backend.Read(SettingsRoot::LocalMachine, "InstallPath");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->data, path("/opt/b"));

  ASSERT_TRUE(FileSettingsBackend::WriteValueFile(first, "InstallPath", SettingsType::String, path("/opt/a")));
  value = m_backend.Read(SettingsRoot::LocalMachine, "InstallPath");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->data, path("/opt/a"));

  oracle::WriteFile(first / "InstallPath", Bytes("damaged"));
  value = m_backend.Read(SettingsRoot::LocalMachine, "InstallPath");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->data, path("/opt/b"));

  EXPECT_FALSE(m_backend.Read(SettingsRoot::CurrentUser, "InstallPath").has_value())
      << "the roots are separate";
}

TEST_F(FileSettingsBackendTest, WithoutAUserRootNothingIsStored) {
  FileSettingsBackend homeless(fs::path(), {MachineRoot(1)});
  EXPECT_TRUE(homeless.UserFolder().empty());
  EXPECT_FALSE(homeless.Write("Strategy", SettingsType::Number, std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_FALSE(homeless.Read(SettingsRoot::CurrentUser, "Strategy").has_value());
  EXPECT_FALSE(homeless.Remove("Strategy"));
}

TEST(SettingsLocations, FollowTheXdgRules) {
  struct Case {
    const char* configHome;
    const char* home;
    const char* configDirs;
    const char* userRoot;
    std::vector<fs::path> machineRoots;
  };
  const std::vector<fs::path> etc = {"/etc/xdg"};
  const Case cases[] = {
      {"/x/cfg", "/home/u", nullptr, "/x/cfg", etc},
      {nullptr, "/home/u", nullptr, "/home/u/.config", etc},
      {"", "/home/u", "", "/home/u/.config", etc},
      {"relative", "/home/u", nullptr, "/home/u/.config", etc},
      {nullptr, nullptr, nullptr, "", etc},
      {nullptr, "relative", nullptr, "", etc},
      {"/x", nullptr, "/a:/b", "/x", {"/a", "/b"}},
      {"/x", nullptr, "/a::rel:/b:", "/x", {"/a", "/b"}},
      {"/x", nullptr, "rel", "/x", etc},
      {"/x", nullptr, ":", "/x", etc},
  };
  for (const auto& c : cases) {
    const SettingsLocations locations = ResolveSettingsLocations(c.configHome, c.home, c.configDirs);
    EXPECT_EQ(locations.userRoot, fs::path(c.userRoot)) << (c.configHome ? c.configHome : "(unset)");
    EXPECT_EQ(locations.machineRoots, c.machineRoots) << (c.configDirs ? c.configDirs : "(unset)");
  }
}

TEST(SettingsLocations, ModuleFolderFollowsTheKeyPath) {
  EXPECT_EQ(FileSettingsBackend::ModuleFolder("/r"), fs::path("/r/QuenburyImaging/VELKORPS"));
}

}  // namespace
