// The stored formats of the settings: the keep list's remembered text, the
// 48-byte Advanced Options record (exact little-endian bytes), and the value
// file, checked against bytes built by hand with zlib's CRC-32.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>
#include <vector>

#include "common/VELKORPSUI/AdvancedOptions.h"
#include "common/VELKORPSUI/KeepList.h"
#include "platform/posix/SettingsValueFile.h"
#include "tests/settings/SettingsTestSupport.h"

namespace {

using namespace settings_test;
using Entries = std::vector<std::string>;

// Keep-all is the one entry "ALL".
TEST(KeepList, ParsesRememberedText) {
  const std::tuple<const char*, bool, Entries> cases[] = {
      {"", false, {}},
      {"ALL,", true, {"ALL"}},
      {"ALL", true, {"ALL"}},                  // the comma is supplied first
      {"all,", true, {}},                      // case matters; a 3-letter piece is dropped
      {"ALL,ALL,", true, {}},
      {"gAMA,sRGB", true, {"gAMA", "sRGB"}},
      {"gAMA,,sRGB,", true, {"gAMA", "sRGB"}},
      {"gAMAx,sRGB,", true, {"sRGB"}},
      {"gAMA ,sRGB", true, {"sRGB"}},
      {",,,", true, {}},
      {"tEXt,tEXt,a bc,", true, {"tEXt", "tEXt", "a bc"}},  // duplicates and spaces stay
  };
  for (const auto& [text, remembered, entries] : cases) {
    KeepList list = ListOf({"stale"});
    EXPECT_EQ(list.Parse(text), remembered) << text;
    EXPECT_EQ(list.Entries(), entries) << text;
    EXPECT_EQ(list.IsAll(), entries == Entries{"ALL"}) << text;
  }
}

TEST(KeepList, SerialisesAndRoundTrips) {
  EXPECT_EQ(KeepList().Serialize(), "");
  KeepList all = ListOf({"gAMA"});
  all.SetAll();
  EXPECT_EQ(all.Serialize(), "ALL,");
  KeepList read;
  ASSERT_TRUE(read.Parse(ListOf({"iCCP", "gAMA", "vpAg,gIFx"}).Serialize()));  // the private-chunk text is one entry
  EXPECT_EQ(read.Entries(), (Entries{"iCCP", "gAMA", "vpAg", "gIFx"}));
}

std::vector<uint8_t> ToVector(const AdvancedOptions::Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

// version 1, size 48, colour type/filter auto, depth auto, palette optimize,
// reserved, 256.0, strategy Xtreme!, no pass limit, reserved, 10 passes, reserved.
const std::vector<uint8_t> kDefaultRecord = {
    0x01, 0, 0, 0, 0x30, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0x70, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0, 0, 0};

// Each member at its offset, and read back from there.
TEST(AdvancedOptions, DefaultRecordAndEachMemberAtItsOffset) {
  EXPECT_EQ(ToVector(AdvancedOptions().Serialize()), kDefaultRecord);
  struct Case { std::function<void(AdvancedOptions&)> set; size_t offset; std::vector<uint8_t> bytes; };
  const Case cases[] = {
      {[](AdvancedOptions& r) { r.m_colorType = 6; }, 8, {6, 0, 0, 0}},
      {[](AdvancedOptions& r) { r.m_filter = 5; }, 12, {5, 0, 0, 0}},
      {[](AdvancedOptions& r) { r.m_bitDepth = 8; }, 16, {8, 0}},
      {[](AdvancedOptions& r) { r.m_paletteOrder = kPaletteRegenerate; }, 18, {2, 0}},
      {[](AdvancedOptions& r) { r.m_splitThreshold = 1234.0625; }, 24, {0, 0, 0, 0, 0x40, 0x48, 0x93, 0x40}},
      {[](AdvancedOptions& r) { r.m_strategy = 4; }, 32, {4, 0, 0, 0}},
      {[](AdvancedOptions& r) { r.m_limitPasses = 1; }, 36, {1}},
      {[](AdvancedOptions& r) { r.m_maxPasses = 0x7FFF0102; }, 40, {2, 1, 0xFF, 0x7F}},
  };
  for (const auto& c : cases) {
    AdvancedOptions record;
    c.set(record);
    auto expected = kDefaultRecord;
    std::copy(c.bytes.begin(), c.bytes.end(), expected.begin() + static_cast<long>(c.offset));
    EXPECT_EQ(ToVector(record.Serialize()), expected) << c.offset;
    const auto back = AdvancedOptions::Deserialize(expected);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(ToVector(back->Serialize()), expected);
  }
}

TEST(AdvancedOptions, RefusesRecordsItCannotTrustAndIgnoresReservedBytes) {
  const std::pair<size_t, std::vector<uint8_t>> cases[] = {
      {0, {2}},          {0, {0}},    {4, {47}},        {5, {1}},       // version, size
      {8, {1, 0, 0, 0}}, {8, {5, 0, 0, 0}}, {8, {0xFE}}, {12, {6, 0, 0, 0}}, {12, {0xFE}},  // colour type, filter
      {16, {16, 0}},     {16, {3, 0}},      {18, {3}},   {18, {0xFF, 0xFF}},                 // depth, palette order
      {30, {0xF8, 0x7F}}, {30, {0xF0, 0x7F}},                                           // NaN, +inf threshold
      {32, {5}},         {32, {0xFF, 0xFF, 0xFF, 0xFF}}, {36, {2}},  {43, {0xFF}},     // strategy, limit, passes
  };
  for (const auto& [offset, bytes] : cases) {
    auto record = kDefaultRecord;
    std::copy(bytes.begin(), bytes.end(), record.begin() + static_cast<long>(offset));
    EXPECT_FALSE(AdvancedOptions::Deserialize(record).has_value()) << offset << " " << int{bytes[0]};
  }
  EXPECT_FALSE(AdvancedOptions::Deserialize(std::span(kDefaultRecord).first(47)).has_value());
  auto longer = kDefaultRecord;
  longer.push_back(0);
  EXPECT_FALSE(AdvancedOptions::Deserialize(longer).has_value());

  auto reserved = kDefaultRecord;
  for (size_t offset : {20u, 23u, 37u, 39u, 44u, 47u}) reserved[offset] = 0xAA;
  const auto record = AdvancedOptions::Deserialize(reserved);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(ToVector(record->Serialize()), kDefaultRecord);
}

void AppendLittleEndian(std::vector<uint8_t>& out, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Magic, version, type, name length, payload length, name, payload, then
// zlib's CRC-32 of all that; lengthField overrides the payload length.
std::vector<uint8_t> HandMadeFile(std::string_view name, uint8_t type, const std::vector<uint8_t>& payload,
                                  const char* magic = "VKSV", uint8_t version = 1, int64_t lengthField = -1) {
  std::vector<uint8_t> file(magic, magic + 4);
  file.push_back(version);
  file.push_back(type);
  AppendLittleEndian(file, static_cast<uint32_t>(name.size()), 2);
  AppendLittleEndian(file, static_cast<uint32_t>(lengthField < 0 ? payload.size() : lengthField), 4);
  file.insert(file.end(), name.begin(), name.end());
  file.insert(file.end(), payload.begin(), payload.end());
  AppendLittleEndian(file, static_cast<uint32_t>(crc32(0L, file.data(), static_cast<uInt>(file.size()))), 4);
  return file;
}

TEST(SettingsValueFile, EncodesAndDecodesTheDocumentedLayout) {
  struct Case { const char* name; SettingsType type; uint8_t typeByte; std::vector<uint8_t> payload; };  // registry type numbers
  const Case cases[] = {
      {"Save Dialog", SettingsType::Number, 4, {0xF8, 0x03, 0, 0}},
      {"KeepChunks", SettingsType::String, 1, StringBytes("ALL,")},
      {"KeepChunks", SettingsType::String, 1, {0}},
      {"Advanced Options", SettingsType::Binary, 3, std::vector<uint8_t>(48, 0x5A)},
      {"Advanced Options", SettingsType::Binary, 3, {}},
  };
  for (const auto& c : cases) {
    const auto handMade = HandMadeFile(c.name, c.typeByte, c.payload);
    EXPECT_EQ(EncodeSettingsValue(c.name, c.type, c.payload), handMade) << c.name;
    const auto value = DecodeSettingsValue(c.name, handMade);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, c.type);
    EXPECT_EQ(value->data, c.payload);
  }
}

TEST(SettingsValueFile, RefusesMalformedFilesEvenWithAGoodChecksum) {
  const std::vector<uint8_t> one = {1, 0, 0, 0};
  const std::pair<const char*, std::vector<uint8_t>> cases[] = {
      {"foreign magic", HandMadeFile("Strategy", 4, one, "VKSW")},
      {"format version 2", HandMadeFile("Strategy", 4, one, "VKSV", 2)},
      {"type 0", HandMadeFile("Strategy", 0, one)},
      {"type 2 (expandable string)", HandMadeFile("Strategy", 2, {'a', 0})},
      {"number of 3 bytes", HandMadeFile("Strategy", 4, {1, 0, 0})},
      {"string without its zero", HandMadeFile("Strategy", 1, Bytes("ALL,"))},
      {"empty string", HandMadeFile("Strategy", 1, {})},
      {"another value's file", HandMadeFile("Limit Passes", 4, one)},
      {"name differing in case", HandMadeFile("strategy", 4, one)},
      {"payload length too long", HandMadeFile("Strategy", 3, {7}, "VKSV", 1, 2)},
      {"payload length too short", HandMadeFile("Strategy", 3, {7}, "VKSV", 1, 0)},
      {"payload length huge", HandMadeFile("Strategy", 3, {7}, "VKSV", 1, 0xFFFFFFFF)},
      {"empty file", {}},
  };
  for (const auto& [what, file] : cases) EXPECT_FALSE(DecodeSettingsValue("Strategy", file).has_value()) << what;
}

// A file cut off mid-write, grown, or with any one bit flipped reads as absent.
TEST(SettingsValueFile, EveryTruncationAndEveryBitFlipIsRefused) {
  const auto file = *EncodeSettingsValue("KeepChunks", SettingsType::String, StringBytes("gAMA,sRGB,"));
  for (size_t length = 0; length < file.size(); ++length) {
    EXPECT_FALSE(DecodeSettingsValue("KeepChunks", std::span(file).first(length)).has_value()) << length;
  }
  auto longer = file;
  longer.push_back(0);
  EXPECT_FALSE(DecodeSettingsValue("KeepChunks", longer).has_value());
  for (size_t bit = 0; bit < 8 * file.size(); ++bit) {
    auto damaged = file;
    damaged[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
    EXPECT_FALSE(DecodeSettingsValue("KeepChunks", damaged).has_value()) << "bit " << bit;
  }
}

TEST(SettingsValueFile, EncoderRefusesWhatItCouldNotReadBack) {
  const std::tuple<std::string, SettingsType, std::vector<uint8_t>> refused[] = {
      {"", SettingsType::Binary, {}}, {std::string(256, 'n'), SettingsType::Binary, {}}, {"Strategy", SettingsType::Number, {1, 2, 3}},
      {"KeepChunks", SettingsType::String, Bytes("ALL,")}, {"Blob", SettingsType::Binary, std::vector<uint8_t>(kMaxSettingsPayload + 1)}};
  for (const auto& [name, type, payload] : refused) EXPECT_FALSE(EncodeSettingsValue(name, type, payload).has_value()) << name;
  const auto largest = EncodeSettingsValue("Blob", SettingsType::Binary, std::vector<uint8_t>(kMaxSettingsPayload));
  ASSERT_TRUE(largest.has_value());
  EXPECT_TRUE(DecodeSettingsValue("Blob", *largest).has_value());
}

}  // namespace
