// The settings store over the real registry (run under Wine, in a prefix of
// its own): every remembered value round-trips through the module's key,
// lands with the registry type the installer and older versions expect, and
// anything missing, mistyped or of another size reads as the default.  What
// the store makes of a value whatever its backend (defaults, the dialog
// choice's any four bytes, the record's bytes) is the Linux suite's.  The
// raw registry calls below are the oracle: they read and plant values
// without going through the backend under test.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/VELKORPSUI/SettingsPacking.h"
#include "common/VELKORPSUI/SettingsStore.h"
#include "platform/SettingsBackend.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct RawValue { DWORD type = REG_NONE; Bytes data; };

// Reads a value straight from the registry; type REG_NONE when absent.
RawValue ReadRaw(HKEY root, const char* name) {
  RawValue value;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, kSettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.data.resize(size);
    RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &size);
  }
  RegCloseKey(key);
  return value;
}

bool PlantRaw(HKEY root, const char* name, DWORD type, const Bytes& data) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, kSettingsKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool ok = RegSetValueExA(key, name, 0, type, data.data(), DWORD(data.size())) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

Bytes Dword(uint32_t value) {
  Bytes bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  return bytes;
}

Bytes Text(const std::string& text) { return Bytes(text.c_str(), text.c_str() + text.size() + 1); }

KeepList ListOf(std::initializer_list<const char*> entries) {
  KeepList list;
  for (const char* entry : entries) list.Append(entry);
  return list;
}

class RegistryStore : public ::testing::Test {
 protected:
  void SetUp() override { RemoveKeys(); }
  void TearDown() override { RemoveKeys(); }
  static void RemoveKeys() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKeyPath);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
  }

  std::unique_ptr<SettingsBackend> m_backend = CreateUserSettingsBackend();
  SettingsStore m_store{*m_backend};
};

TEST_F(RegistryStore, NumbersRoundTripAsDwords) {
  struct Case { const char* name; uint32_t value; };
  for (const Case& c : {Case{kSaveDialogValue, uint32_t(kDialogChoiceAdvanced)}, Case{kStrategyValue, PackStrategy(4)},
                        Case{kLimitPassesValue, PackPassLimit(true, 7)}, Case{kLimitPassesValue, PackPassLimit(false, 7)},
                        Case{kStrategyValue, 0xFFFFFFFFu}}) {
    ASSERT_TRUE(m_store.WriteNumber(c.name, c.value)) << c.name;
    const RawValue raw = ReadRaw(HKEY_CURRENT_USER, c.name);
    EXPECT_EQ(raw.type, DWORD(REG_DWORD)) << c.name;
    EXPECT_EQ(raw.data, Dword(c.value)) << c.name;
    uint32_t back = 12345;
    EXPECT_TRUE(m_store.ReadNumber(c.name, back)) << c.name;
    EXPECT_EQ(back, c.value) << c.name;
  }
}

TEST_F(RegistryStore, MistypedOrMisSizedNumbersKeepTheCallersDefault) {
  struct Case { DWORD type; Bytes data; };
  for (const Case& c : {Case{REG_SZ, Text("3")}, Case{REG_BINARY, Dword(3)}, Case{REG_DWORD, Bytes{3, 0}},
                        Case{REG_QWORD, Bytes{3, 0, 0, 0, 0, 0, 0, 0}}}) {
    ASSERT_TRUE(PlantRaw(HKEY_CURRENT_USER, kStrategyValue, c.type, c.data));
    uint32_t strategy = 1;
    EXPECT_FALSE(m_store.ReadNumber(kStrategyValue, strategy)) << "type " << c.type;
    EXPECT_EQ(strategy, 1u) << "type " << c.type;
  }
}

TEST_F(RegistryStore, AdvancedRecordRoundTripsAsFortyEightBinaryBytes) {
  AdvancedOptions options;
  options.m_colorType = 3;
  options.m_filter = 5;
  options.m_bitDepth = 4;
  options.m_paletteOrder = kPaletteRegenerate;
  options.m_splitThreshold = 1024.0;
  options.m_strategy = 2;
  options.m_limitPasses = 1;
  options.m_maxPasses = 25;
  ASSERT_TRUE(m_store.WriteAdvancedOptions(options));
  const RawValue raw = ReadRaw(HKEY_CURRENT_USER, kAdvancedOptionsValue);
  EXPECT_EQ(raw.type, DWORD(REG_BINARY));
  const auto expected = options.Serialize();
  EXPECT_EQ(raw.data, Bytes(expected.begin(), expected.end()));
  AdvancedOptions back;
  EXPECT_TRUE(m_store.ReadAdvancedOptions(back));
  EXPECT_EQ(back.Serialize(), expected);

  AdvancedOptions wrongSize;
  wrongSize.m_size = 44;
  EXPECT_FALSE(m_store.WriteAdvancedOptions(wrongSize));
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, kAdvancedOptionsValue).data, raw.data) << "a refused record writes nothing";
}

TEST_F(RegistryStore, KeepListsRoundTripAsTerminatedStrings) {
  KeepList all;
  all.SetAll();
  struct Case { KeepList list; const char* stored; };
  for (const Case& c : {Case{all, "ALL,"}, Case{ListOf({"iCCP", "gAMA", "vpAg,gIFx"}), "iCCP,gAMA,vpAg,gIFx,"},
                        Case{ListOf({"tEXt", "tEXt"}), "tEXt,tEXt,"}}) {
    ASSERT_TRUE(m_store.WriteKeepList(c.list)) << c.stored;
    const RawValue raw = ReadRaw(HKEY_CURRENT_USER, kKeepChunksValue);
    EXPECT_EQ(raw.type, DWORD(REG_SZ)) << c.stored;
    EXPECT_EQ(raw.data, Text(c.stored)) << "stored with its terminating zero";
    KeepList back;
    EXPECT_TRUE(m_store.ReadKeepList(back)) << c.stored;
    EXPECT_EQ(back.Serialize(), c.stored);
  }
}

TEST_F(RegistryStore, EmptyKeepListRemovesTheValue) {
  ASSERT_TRUE(m_store.WriteKeepList(ListOf({"gAMA"})));
  EXPECT_TRUE(m_store.WriteKeepList(KeepList()));
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, kKeepChunksValue).type, DWORD(REG_NONE));
  KeepList list;
  EXPECT_FALSE(m_store.ReadKeepList(list));
  EXPECT_TRUE(m_store.WriteKeepList(KeepList())) << "removing what is not there succeeds";
}

TEST_F(RegistryStore, KeepChunksTextAsOtherProgramsStoreIt) {
  struct Case { DWORD type; Bytes stored; bool remembered; std::vector<std::string> entries; };
  const Case cases[] = {
      {REG_SZ, Text("gAMA,,sRGB,"), true, {"gAMA", "sRGB"}},  // the parsing itself: KeepList's tests
      {REG_SZ, Bytes{'g', 'A', 'M', 'A'}, true, {"gAMA"}},  // no terminator stored
      {REG_SZ, Bytes{0}, false, {}},
      {REG_SZ, Bytes{}, false, {}},
      {REG_BINARY, Text("gAMA,"), false, {}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(PlantRaw(HKEY_CURRENT_USER, kKeepChunksValue, c.type, c.stored));
    KeepList list = ListOf({"left", "over"});
    EXPECT_EQ(m_store.ReadKeepList(list), c.remembered) << std::string(c.stored.begin(), c.stored.end());
    EXPECT_EQ(list.Entries(), c.entries) << std::string(c.stored.begin(), c.stored.end());
  }
}

TEST_F(RegistryStore, InstallPathIsReadMachineWideWithATrailingBackslash) {
  struct Case { Bytes stored; const char* expected; };
  const Case cases[] = {
      {Text("C:\\Program Files\\VELKOR"), "C:\\Program Files\\VELKOR\\"},
      {Text("C:\\Tools\\"), "C:\\Tools\\"},
      {Text(""), ""},
      {Text(std::string(259, 'x')), nullptr},  // 260 bytes with the zero: still fits
      {Text(std::string(260, 'x')), ""},       // one byte too long: ignored
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(PlantRaw(HKEY_LOCAL_MACHINE, kInstallPathValue, REG_SZ, c.stored));
    const std::string expected = c.expected ? c.expected : std::string(259, 'x') + "\\";
    EXPECT_EQ(m_store.ReadInstallPath(), expected);
  }
  // The user's own copy of the value is not the installation's.
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
  ASSERT_TRUE(PlantRaw(HKEY_CURRENT_USER, kInstallPathValue, REG_SZ, Text("C:\\Mine")));
  EXPECT_EQ(m_store.ReadInstallPath(), "");
}

TEST_F(RegistryStore, WritesGoToTheCurrentUserOnly) {
  ASSERT_TRUE(m_store.WriteNumber(kStrategyValue, 3));
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, kStrategyValue).type, DWORD(REG_NONE));
  EXPECT_EQ(m_backend->Read(SettingsRoot::LocalMachine, kStrategyValue), std::nullopt);
}

}  // namespace
