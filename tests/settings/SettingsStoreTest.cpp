// The settings store over the real file store in a temporary home: the
// defaults with nothing stored, what each operation writes, that writes
// replace whole files or fail leaving the old value, and that damaged,
// mistyped or foreign files read as absent.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/VELKORPSUI/SettingsPacking.h"
#include "common/VELKORPSUI/SettingsStore.h"
#include "platform/posix/FileSettingsBackend.h"
#include "tests/settings/SettingsTestSupport.h"
#include "tests/support/Oracles.h"

namespace {

using namespace settings_test;
namespace fs = std::filesystem;
using Data = std::vector<uint8_t>;

const AdvancedOptions::Bytes kAdvancedDefaults = AdvancedOptions().Serialize();

class SettingsOnDisk : public ::testing::Test {
 protected:
  fs::path UserRoot() const { return m_home.path() / "config"; }
  fs::path MachineRoot(int i) const { return m_home.path() / ("xdg" + std::to_string(i)); }
  fs::path MachineFolder() const { return FileSettingsBackend::ModuleFolder(MachineRoot(1)); }
  fs::path UserFolder() const { return UserRoot() / "QuenburyImaging" / "VELKORPS"; }
  std::optional<SettingsValue> Stored(std::string_view name) const { return m_backend.Read(SettingsRoot::CurrentUser, name); }
  std::set<std::string> Listing() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(UserFolder())) names.insert(entry.path().filename().string());
    return names;
  }

  oracle::TempDir m_home;
  FileSettingsBackend m_backend{UserRoot(), {MachineRoot(1), MachineRoot(2)}};
  SettingsStore m_store{m_backend};
};

TEST_F(SettingsOnDisk, NoStoreAtAllGivesTheDefaults) {
  EXPECT_EQ(m_store.ReadDialogChoice(), kDialogChoiceSimple);
  uint32_t strategy = 3;  // the job's current strategy
  EXPECT_FALSE(m_store.ReadNumber(kStrategyValue, strategy));
  EXPECT_EQ(strategy, 3u);
  uint32_t limit = 0;
  EXPECT_FALSE(m_store.ReadNumber(kLimitPassesValue, limit));
  EXPECT_EQ(UnpackPassLimit(limit), 0) << "passes unlimited";
  KeepList list = ListOf({"gAMA"});
  EXPECT_FALSE(m_store.ReadKeepList(list));
  EXPECT_TRUE(list.IsEmpty()) << "no chunk kept";
  AdvancedOptions options;
  options.m_strategy = 4;
  EXPECT_FALSE(m_store.ReadAdvancedOptions(options));
  EXPECT_EQ(options.Serialize(), AdvancedOptions().Serialize());
  EXPECT_EQ(m_store.ReadInstallPath(), "");
  EXPECT_FALSE(fs::exists(UserRoot())) << "reads create nothing";
}

// Each value's stored type and bytes, and what reads back.
TEST_F(SettingsOnDisk, EachValueIsStoredInItsFormat) {
  AdvancedOptions options;
  options.m_colorType = 2;
  options.m_maxPasses = 3;
  const auto record = options.Serialize();
  ASSERT_TRUE(m_store.WriteDialogChoice(kDialogChoiceAdvanced));
  ASSERT_TRUE(m_store.WriteNumber(kLimitPassesValue, PackPassLimit(true, 5)));
  ASSERT_TRUE(m_store.WriteKeepList(ListOf({"iCCP", "vpAg,gIFx"})));
  ASSERT_TRUE(m_store.WriteAdvancedOptions(options));
  const std::pair<const char*, SettingsValue> expected[] = {
      {kSaveDialogValue, {SettingsType::Number, {0xF8, 0x03, 0x00, 0x00}}},
      {kLimitPassesValue, {SettingsType::Number, {0x05, 0x00, 0x01, 0x00}}},
      {kKeepChunksValue, {SettingsType::String, StringBytes("iCCP,vpAg,gIFx,")}},
      {kAdvancedOptionsValue, {SettingsType::Binary, Data(record.begin(), record.end())}},
  };
  for (const auto& [name, value] : expected) {
    const auto stored = Stored(name);
    ASSERT_TRUE(stored.has_value()) << name;
    EXPECT_EQ(std::pair(stored->type, stored->data), std::pair(value.type, value.data)) << name;
  }
  EXPECT_EQ(m_store.ReadDialogChoice(), kDialogChoiceAdvanced);
  KeepList list;
  ASSERT_TRUE(m_store.ReadKeepList(list));
  EXPECT_EQ(list.Entries(), (std::vector<std::string>{"iCCP", "vpAg", "gIFx"}));

  EXPECT_TRUE(m_store.WriteKeepList(KeepList()));  // an empty list removes the value
  EXPECT_FALSE(Stored(kKeepChunksValue).has_value());
  EXPECT_FALSE(m_store.ReadKeepList(list));
  EXPECT_TRUE(m_store.WriteKeepList(KeepList())) << "removing what is not there succeeds";
  options.m_size = 47;
  EXPECT_FALSE(m_store.WriteAdvancedOptions(options)) << "a record of the wrong size is not written";
}

// Values of another type or shape: the dialog choice takes any 4 bytes, the
// others read as absent; a stored text ends at its first zero.
TEST_F(SettingsOnDisk, MistypedValues) {
  const std::pair<SettingsValue, int> dialog[] = {
      {{SettingsType::Binary, {0xF8, 0x03, 0, 0}}, 1016}, {{SettingsType::String, {'a', 'b', 'c', 0}}, 0x00636261},
      {{SettingsType::Binary, {0xF8, 0x03}}, 1022},       {{SettingsType::Number, {0xFF, 0xFF, 0xFF, 0xFF}}, -1},
  };
  for (const auto& [value, choice] : dialog) {
    ASSERT_TRUE(m_backend.Write(kSaveDialogValue, value.type, value.data));
    EXPECT_EQ(m_store.ReadDialogChoice(), choice);
  }
  ASSERT_TRUE(m_backend.Write(kStrategyValue, SettingsType::Binary, Data{2, 0, 0, 0}));
  uint32_t strategy = 1;
  EXPECT_FALSE(m_store.ReadNumber(kStrategyValue, strategy));
  EXPECT_EQ(strategy, 1u);
  KeepList list;
  ASSERT_TRUE(m_backend.Write(kKeepChunksValue, SettingsType::Binary, Bytes("ALL,")));
  EXPECT_FALSE(m_store.ReadKeepList(list));
  ASSERT_TRUE(m_backend.Write(kKeepChunksValue, SettingsType::String, StringBytes(std::string("gAMA,\0sRGB,", 11))));
  ASSERT_TRUE(m_store.ReadKeepList(list));
  EXPECT_EQ(list.Entries(), std::vector<std::string>{"gAMA"});

  auto versionTwo = Data(kAdvancedDefaults.begin(), kAdvancedDefaults.end());
  versionTwo[0] = 2;
  versionTwo[8] = 6;  // must not leak into the result
  for (const SettingsValue& value : {SettingsValue{SettingsType::Binary, Data(40, 0)}, SettingsValue{SettingsType::Binary, versionTwo},
                                     SettingsValue{SettingsType::String, StringBytes(std::string(47, 'x'))}}) {
    ASSERT_TRUE(m_backend.Write(kAdvancedOptionsValue, value.type, value.data));
    AdvancedOptions options;
    options.m_filter = 3;
    EXPECT_FALSE(m_store.ReadAdvancedOptions(options));
    EXPECT_EQ(options.Serialize(), kAdvancedDefaults);
  }
}

TEST_F(SettingsOnDisk, DamagedFilesReadAsTheDefaultsUntilWrittenAgain) {
  ASSERT_TRUE(m_store.WriteDialogChoice(kDialogChoiceAdvanced));
  const fs::path folder = m_backend.UserFolder();
  const auto dialog = oracle::ReadFile(folder / kSaveDialogValue);  // cut off mid-write
  oracle::WriteFile(folder / kSaveDialogValue, Data(dialog.begin(), dialog.begin() + static_cast<long>(dialog.size() / 2)));
  oracle::WriteFile(folder / kStrategyValue, Bytes("\x7f" "ELF garbage garbage garbage"));
  oracle::WriteFile(folder / kKeepChunksValue, Data(70000, 0xFF));
  oracle::WriteFile(folder / kAdvancedOptionsValue, Data(64, 0));

  EXPECT_EQ(m_store.ReadDialogChoice(), kDialogChoiceSimple);
  uint32_t strategy = 1;
  EXPECT_FALSE(m_store.ReadNumber(kStrategyValue, strategy));
  EXPECT_EQ(strategy, 1u);
  KeepList list;
  AdvancedOptions options;
  EXPECT_FALSE(m_store.ReadKeepList(list));
  EXPECT_FALSE(m_store.ReadAdvancedOptions(options));
  ASSERT_TRUE(m_store.WriteNumber(kStrategyValue, 2));
  EXPECT_TRUE(m_store.ReadNumber(kStrategyValue, strategy));
  EXPECT_EQ(strategy, 2u);
}

// The install path comes from the first machine-wide folder holding a
// sound copy (never from the user's), with a separator added.
TEST_F(SettingsOnDisk, InstallPath) {
  const fs::path second = FileSettingsBackend::ModuleFolder(MachineRoot(2));
  ASSERT_TRUE(FileSettingsBackend::WriteValueFile(second, kInstallPathValue, SettingsType::String, StringBytes("/opt/b")));
  EXPECT_EQ(m_store.ReadInstallPath(), "/opt/b/");
  const std::pair<std::string, std::string> cases[] = {
      {"/opt/velkor", "/opt/velkor/"}, {"/opt/velkor/", "/opt/velkor/"}, {"", ""},  // 260 bytes with the zero fit, 261 do not
      {std::string(259, 'p'), std::string(259, 'p') + '/'}, {std::string(260, 'p'), ""},
  };
  for (const auto& [stored, expected] : cases) {
    ASSERT_TRUE(FileSettingsBackend::WriteValueFile(MachineFolder(), kInstallPathValue, SettingsType::String, StringBytes(stored)));
    EXPECT_EQ(m_store.ReadInstallPath(), expected) << stored;
  }
  ASSERT_TRUE(FileSettingsBackend::WriteValueFile(MachineFolder(), kInstallPathValue, SettingsType::Number, Data{1, 2, 3, 4}));
  EXPECT_EQ(m_store.ReadInstallPath(), "");
  oracle::WriteFile(MachineFolder() / kInstallPathValue, Bytes("damaged"));
  EXPECT_EQ(m_store.ReadInstallPath(), "/opt/b/");
  fs::remove_all(second);
  ASSERT_TRUE(m_backend.Write(kInstallPathValue, SettingsType::String, StringBytes("/home/u/velkor")));
  EXPECT_EQ(m_store.ReadInstallPath(), "") << "not taken from the user";
}

// A backend whose every change fails, to see that failures reach the caller.
class RefusingBackend : public SettingsBackend {
 public:
  std::optional<SettingsValue> Read(SettingsRoot, std::string_view) const override { return std::nullopt; }
  bool Write(std::string_view, SettingsType, std::span<const uint8_t>) override { return false; }
  bool Remove(std::string_view) override { return false; }
};

TEST(SettingsStoreFailures, FailedChangesAreReportedNotHidden) {
  RefusingBackend backend;
  SettingsStore store(backend);
  EXPECT_FALSE(store.WriteDialogChoice(kDialogChoiceAdvanced));
  EXPECT_FALSE(store.WriteNumber(kStrategyValue, 1));
  EXPECT_FALSE(store.WriteAdvancedOptions(AdvancedOptions()));
  EXPECT_FALSE(store.WriteKeepList(ListOf({"gAMA"})));
  EXPECT_FALSE(store.WriteKeepList(KeepList()));
}

TEST(SettingsPacking, PassLimitAndStrategy) {
  const std::tuple<bool, int, uint32_t> packs[] = {{false, 5, 0}, {true, 5, 0x10005}, {true, 0, 0x10000},
                                                   {true, 70000, 0x10000 | (70000 & 0xFFFF)}, {true, -1, 0x1FFFF}};
  for (const auto& [limited, passes, packed] : packs) EXPECT_EQ(PackPassLimit(limited, passes), packed) << passes;
  const std::pair<uint32_t, int> unpacks[] = {{0, 0},       {0x10000, 0}, {0x10005, 5},     {0x1FFFF, 0xFFFF},
                                              {0x20007, 7}, {0x0005, 0},  {0x80000003u, 3}};
  for (const auto& [stored, limit] : unpacks) EXPECT_EQ(UnpackPassLimit(stored), limit) << std::hex << stored;
  const std::pair<int, uint32_t> strategies[] = {{-1, 0}, {0, 0}, {1, 1}, {4, 4}, {5, 0}, {1000, 0}};
  for (const auto& [position, packed] : strategies) EXPECT_EQ(PackStrategy(position), packed) << position;
}

// A value is one file named after it, read back by a later process; a
// crash's leftover temporary file is ignored and ours are never left.
TEST_F(SettingsOnDisk, ValuesSurviveInFilesOfTheirOwn) {
  EXPECT_TRUE(m_backend.Remove("KeepChunks")) << "no folder yet";
  ASSERT_TRUE(m_backend.Write("Save Dialog", SettingsType::Number, Data{0xF8, 0x03, 0, 0}));
  oracle::WriteFile(UserFolder() / ".pending-abcdef", Bytes("half a value"));
  ASSERT_TRUE(m_backend.Write("Blob", SettingsType::Binary, Data(100, 1)));
  ASSERT_TRUE(m_backend.Write("Blob", SettingsType::Binary, Data(3, 2)));
  const auto blob = FileSettingsBackend(UserRoot(), {}).Read(SettingsRoot::CurrentUser, "Blob");
  ASSERT_TRUE(blob.has_value());
  EXPECT_EQ(std::pair(blob->type, blob->data), std::pair(SettingsType::Binary, Data(3, 2)));
  EXPECT_FALSE(m_backend.Read(SettingsRoot::LocalMachine, "Blob").has_value()) << "the roots are separate";
  fs::remove(UserFolder() / ".pending-abcdef");
  EXPECT_EQ(Listing(), (std::set<std::string>{"Save Dialog", "Blob"}));
}

TEST_F(SettingsOnDisk, ThingsThatAreNotValueFilesReadAsAbsent) {
  fs::create_directories(UserFolder() / "Strategy");
  EXPECT_FALSE(Stored("Strategy").has_value());
  EXPECT_FALSE(m_backend.Write("Strategy", SettingsType::Number, Data{1, 0, 0, 0})) << "a folder cannot be replaced";
  EXPECT_TRUE(fs::is_directory(UserFolder() / "Strategy"));
  ASSERT_EQ(::mkfifo((UserFolder() / "KeepChunks").c_str(), 0600), 0);  // would block a plain open
  EXPECT_FALSE(Stored("KeepChunks").has_value());
  ASSERT_TRUE(m_backend.Write("Limit Passes", SettingsType::Number, Data{2, 0, 0, 0}));
  fs::copy_file(UserFolder() / "Limit Passes", UserFolder() / "Other");
  EXPECT_FALSE(Stored("Other").has_value()) << "another value's file";
}

TEST_F(SettingsOnDisk, NamesThatAreNotOneFileNameAreRefused) {
  for (const std::string& name : {std::string(""), std::string("../escape"), std::string("a/b"), std::string(".pending-x"),
                                  std::string(".."), std::string("nul\0x", 5), std::string(256, 'n')}) {
    EXPECT_FALSE(m_backend.Write(name, SettingsType::Number, Data{1, 0, 0, 0})) << name;
    EXPECT_FALSE(Stored(name).has_value()) << name;
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
TEST_F(SettingsOnDisk, FullDiskKeepsTheOldValue) {
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
  const auto value = Stored("Blob");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->data, Data(10, 7));
  EXPECT_EQ(Listing(), std::set<std::string>{"Blob"});
}

TEST(SettingsLocations, FollowTheXdgRules) {
  struct Case { const char *configHome, *home, *configDirs, *userRoot; std::vector<fs::path> machineRoots; };
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
