// The store's operations over the real file store in a temporary home: the
// defaults with nothing stored, what each operation writes, and that damaged
// or mistyped values fall back to the defaults.
#include "common/VELKORPSUI/SettingsStore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Oracles.h"
#include "common/VELKORPSUI/SettingsPacking.h"
#include "platform/posix/FileSettingsBackend.h"
#include "tests/settings/SettingsTestSupport.h"

namespace {

using namespace settings_test;

namespace fs = std::filesystem;

class SettingsStoreTest : public ::testing::Test {
 protected:
  fs::path UserRoot() const { return m_home.path() / "config"; }
  fs::path MachineRoot() const { return m_home.path() / "etc-xdg"; }
  fs::path UserFolder() const { return FileSettingsBackend::ModuleFolder(UserRoot()); }
  fs::path MachineFolder() const { return FileSettingsBackend::ModuleFolder(MachineRoot()); }

  std::optional<SettingsValue> Stored(std::string_view name) const {
    return m_backend.Read(SettingsRoot::CurrentUser, name);
  }

  oracle::TempDir m_home;
  FileSettingsBackend m_backend{UserRoot(), {MachineRoot()}};
  SettingsStore m_store{m_backend};
};

TEST_F(SettingsStoreTest, NoStoreAtAllGivesTheDefaults) {
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

TEST_F(SettingsStoreTest, DialogChoiceRoundTripsAsANumber) {
  ASSERT_TRUE(m_store.WriteDialogChoice(kDialogChoiceAdvanced));
  EXPECT_EQ(m_store.ReadDialogChoice(), kDialogChoiceAdvanced);
  const auto stored = Stored(kSaveDialogValue);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->type, SettingsType::Number);
  EXPECT_EQ(stored->data, (std::vector<uint8_t>{0xF8, 0x03, 0x00, 0x00}));
  ASSERT_TRUE(m_store.WriteDialogChoice(kDialogChoiceSimple));
  EXPECT_EQ(m_store.ReadDialogChoice(), kDialogChoiceSimple);
}

TEST_F(SettingsStoreTest, DialogChoiceTakesAnyFourByteValue) {
  struct Case {
    const char* what;
    SettingsType type;
    std::vector<uint8_t> data;
    int expected;
  };
  const Case cases[] = {
      {"binary of 4 bytes", SettingsType::Binary, std::vector<uint8_t>{0xF8, 0x03, 0, 0}, 1016},
      {"string of 4 bytes", SettingsType::String, std::vector<uint8_t>{'a', 'b', 'c', 0}, 0x00636261},
      {"binary of 2 bytes", SettingsType::Binary, std::vector<uint8_t>{0xF8, 0x03}, 1022},
      {"binary of 8 bytes", SettingsType::Binary, std::vector<uint8_t>{0xF8, 0x03, 0, 0, 0, 0, 0, 0}, 1022},
      {"negative number", SettingsType::Number, std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}, -1},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(m_backend.Write(kSaveDialogValue, c.type, c.data)) << c.what;
    EXPECT_EQ(m_store.ReadDialogChoice(), c.expected) << c.what;
  }
}

TEST_F(SettingsStoreTest, NumbersAreLittleEndianAndTyped) {
  ASSERT_TRUE(m_store.WriteNumber(kLimitPassesValue, PackPassLimit(true, 5)));
  const auto stored = Stored(kLimitPassesValue);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->type, SettingsType::Number);
  EXPECT_EQ(stored->data, (std::vector<uint8_t>{0x05, 0x00, 0x01, 0x00}));
  uint32_t value = 0;
  ASSERT_TRUE(m_store.ReadNumber(kLimitPassesValue, value));
  EXPECT_EQ(UnpackPassLimit(value), 5);

  ASSERT_TRUE(m_backend.Write(kStrategyValue, SettingsType::Binary, std::vector<uint8_t>{2, 0, 0, 0}));
  uint32_t strategy = 1;
  EXPECT_FALSE(m_store.ReadNumber(kStrategyValue, strategy)) << "a binary value is not a number";
  EXPECT_EQ(strategy, 1u);
}

TEST_F(SettingsStoreTest, KeepListIsStoredAsItsTextWithTheZero) {
  ASSERT_TRUE(m_store.WriteKeepList(ListOf({"gAMA", "vpAg"})));
  auto stored = Stored(kKeepChunksValue);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->type, SettingsType::String);
  EXPECT_EQ(stored->data, StringBytes("gAMA,vpAg,"));

  KeepList all;
  all.SetAll();
  ASSERT_TRUE(m_store.WriteKeepList(all));
  stored = Stored(kKeepChunksValue);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->data, StringBytes("ALL,"));
  KeepList read;
  ASSERT_TRUE(m_store.ReadKeepList(read));
  EXPECT_TRUE(read.IsAll());
}

TEST_F(SettingsStoreTest, PrivateStringRoundTripsAsSeparateTypes) {
  ASSERT_TRUE(m_store.WriteKeepList(ListOf({"iCCP", "gAMA", "vpAg,gIFx"})));
  EXPECT_EQ(Stored(kKeepChunksValue)->data, StringBytes("iCCP,gAMA,vpAg,gIFx,"));
  KeepList read;
  ASSERT_TRUE(m_store.ReadKeepList(read));
  EXPECT_EQ(read.Entries(), (std::vector<std::string>{"iCCP", "gAMA", "vpAg", "gIFx"}));
}

TEST_F(SettingsStoreTest, RememberedTextIsParsedOnRead) {
  struct Case {
    std::string text;
    bool remembered;
    bool all;
    size_t count;
  };
  const Case cases[] = {
      {"ALL", true, true, 1},
      {"all,", true, false, 0},
      {"gAMAx,sRGB,", true, false, 1},
      {"", false, false, 0},
      {std::string("gAMA,\0sRGB,", 11), true, false, 1},  // the text ends at its first zero
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(m_backend.Write(kKeepChunksValue, SettingsType::String, StringBytes(c.text)));
    KeepList list = ListOf({"stale"});
    EXPECT_EQ(m_store.ReadKeepList(list), c.remembered) << c.text;
    EXPECT_EQ(list.IsAll(), c.all) << c.text;
    EXPECT_EQ(list.Count(), c.count) << c.text;
  }
}

TEST_F(SettingsStoreTest, KeepListOfAnotherTypeIsNotRemembered) {
  ASSERT_TRUE(m_backend.Write(kKeepChunksValue, SettingsType::Binary, Bytes("ALL,")));
  KeepList list;
  EXPECT_FALSE(m_store.ReadKeepList(list));
  EXPECT_TRUE(list.IsEmpty());
}

TEST_F(SettingsStoreTest, WritingAnEmptyListRemovesTheValue) {
  ASSERT_TRUE(m_store.WriteKeepList(ListOf({"gAMA"})));
  ASSERT_TRUE(Stored(kKeepChunksValue).has_value());
  EXPECT_TRUE(m_store.WriteKeepList(KeepList()));
  EXPECT_FALSE(Stored(kKeepChunksValue).has_value());
  KeepList list;
  EXPECT_FALSE(m_store.ReadKeepList(list));
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_TRUE(m_store.WriteKeepList(KeepList())) << "removing what is not there succeeds";
}

TEST_F(SettingsStoreTest, AdvancedRecordIsStoredAsItsBytes) {
  AdvancedOptions options;
  options.m_colorType = 2;
  options.m_limitPasses = 1;
  options.m_maxPasses = 3;
  ASSERT_TRUE(m_store.WriteAdvancedOptions(options));
  const auto stored = Stored(kAdvancedOptionsValue);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->type, SettingsType::Binary);
  const auto expected = options.Serialize();
  EXPECT_EQ(stored->data, std::vector<uint8_t>(expected.begin(), expected.end()));

  AdvancedOptions read;
  ASSERT_TRUE(m_store.ReadAdvancedOptions(read));
  EXPECT_EQ(read.Serialize(), options.Serialize());
}

TEST_F(SettingsStoreTest, AdvancedRecordWithAWrongSizeIsNotWritten) {
  AdvancedOptions options;
  options.m_size = 47;
  EXPECT_FALSE(m_store.WriteAdvancedOptions(options));
  EXPECT_FALSE(Stored(kAdvancedOptionsValue).has_value());
}

TEST_F(SettingsStoreTest, UntrustworthyAdvancedRecordsReadAsTheDefaults) {
  const auto good = AdvancedOptions().Serialize();
  auto versionTwo = std::vector<uint8_t>(good.begin(), good.end());
  versionTwo[0] = 2;
  versionTwo[8] = 6;  // must not leak into the result
  struct Case {
    const char* what;
    SettingsType type;
    std::vector<uint8_t> data;
  };
  const Case cases[] = {
      {"short", SettingsType::Binary, std::vector<uint8_t>(good.begin(), good.begin() + 40)},
      {"long", SettingsType::Binary, std::vector<uint8_t>(60, 0)},
      {"version 2", SettingsType::Binary, versionTwo},
      {"a string", SettingsType::String, StringBytes(std::string(47, 'x'))},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(m_backend.Write(kAdvancedOptionsValue, c.type, c.data)) << c.what;
    AdvancedOptions options;
    options.m_filter = 3;
    EXPECT_FALSE(m_store.ReadAdvancedOptions(options)) << c.what;
    EXPECT_EQ(options.Serialize(), AdvancedOptions().Serialize()) << c.what;
  }
}

TEST_F(SettingsStoreTest, DamagedFilesReadAsTheDefaults) {
  ASSERT_TRUE(m_store.WriteDialogChoice(kDialogChoiceAdvanced));
  ASSERT_TRUE(m_store.WriteNumber(kStrategyValue, 4));
  ASSERT_TRUE(m_store.WriteKeepList(ListOf({"gAMA"})));
  ASSERT_TRUE(m_store.WriteAdvancedOptions(AdvancedOptions()));

  // One file cut off mid-write, the others overwritten with garbage.
  const auto dialog = oracle::ReadFile(UserFolder() / kSaveDialogValue);
  oracle::WriteFile(UserFolder() / kSaveDialogValue,
                    std::vector<uint8_t>(dialog.begin(), dialog.begin() + static_cast<long>(dialog.size() / 2)));
  oracle::WriteFile(UserFolder() / kStrategyValue, Bytes("\x7f" "ELF garbage garbage garbage"));
  oracle::WriteFile(UserFolder() / kKeepChunksValue, std::vector<uint8_t>(300, 0xFF));
  oracle::WriteFile(UserFolder() / kAdvancedOptionsValue, std::vector<uint8_t>(64, 0));

  EXPECT_EQ(m_store.ReadDialogChoice(), kDialogChoiceSimple);
  uint32_t strategy = 1;
  EXPECT_FALSE(m_store.ReadNumber(kStrategyValue, strategy));
  EXPECT_EQ(strategy, 1u);
  KeepList list;
  EXPECT_FALSE(m_store.ReadKeepList(list));
  EXPECT_TRUE(list.IsEmpty());
  AdvancedOptions options;
  EXPECT_FALSE(m_store.ReadAdvancedOptions(options));

  // And the store recovers on the next write.
  ASSERT_TRUE(m_store.WriteNumber(kStrategyValue, 2));
  EXPECT_TRUE(m_store.ReadNumber(kStrategyValue, strategy));
  EXPECT_EQ(strategy, 2u);
}

TEST_F(SettingsStoreTest, InstallPathGetsItsSeparator) {
  struct Case {
    std::string stored;
    std::string expected;
  };
  const Case cases[] = {
      {"/opt/velkor", "/opt/velkor/"},
      {"/opt/velkor/", "/opt/velkor/"},
      {"", ""},
      {std::string(259, 'p'), std::string(259, 'p') + '/'},  // 260 bytes with the zero
      {std::string(260, 'p'), ""},                           // too long for the buffer
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(FileSettingsBackend::WriteValueFile(MachineFolder(), kInstallPathValue, SettingsType::String,
                                                    StringBytes(c.stored)));
    EXPECT_EQ(m_store.ReadInstallPath(), c.expected) << c.stored;
  }
  ASSERT_TRUE(FileSettingsBackend::WriteValueFile(MachineFolder(), kInstallPathValue, SettingsType::Number,
                                                  std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(m_store.ReadInstallPath(), "");
}

TEST_F(SettingsStoreTest, InstallPathIsNotTakenFromTheUser) {
  ASSERT_TRUE(m_backend.Write(kInstallPathValue, SettingsType::String, StringBytes("/home/u/velkor")));
  EXPECT_EQ(m_store.ReadInstallPath(), "");
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

TEST(SettingsPacking, PassLimit) {
  struct Case {
    bool limited;
    int passes;
    uint32_t packed;
  };
  const Case packs[] = {
      {false, 5, 0}, {true, 5, 0x10005}, {true, 0, 0x10000}, {true, 70000, 0x10000 | (70000 & 0xFFFF)},
      {true, -1, 0x1FFFF},
  };
  for (const auto& c : packs) EXPECT_EQ(PackPassLimit(c.limited, c.passes), c.packed) << c.passes;

  struct Unpack {
    uint32_t stored;
    int limit;
  };
  const Unpack unpacks[] = {
      {0, 0}, {0x10000, 0}, {0x10005, 5}, {0x1FFFF, 0xFFFF}, {0x20007, 7}, {0x80000003u, 3}, {0x0005, 0},
  };
  for (const auto& c : unpacks) EXPECT_EQ(UnpackPassLimit(c.stored), c.limit) << std::hex << c.stored;
}

TEST(SettingsPacking, Strategy) {
  const std::pair<int, uint32_t> cases[] = {{-1, 0}, {0, 0}, {1, 1}, {4, 4}, {5, 0}, {1000, 0}};
  for (const auto& [position, packed] : cases) EXPECT_EQ(PackStrategy(position), packed) << position;
}

}  // namespace
