// The value file format, checked against bytes built by hand with zlib's
// CRC-32 as the independent checksum.
#include "platform/posix/SettingsValueFile.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "tests/settings/SettingsTestSupport.h"

namespace {

using namespace settings_test;

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
  struct Case {
    const char* name;
    SettingsType type;
    uint8_t typeByte;  // the registry's type numbers
    std::vector<uint8_t> payload;
  };
  const Case cases[] = {
      {"Save Dialog", SettingsType::Number, 4, {0xF8, 0x03, 0, 0}},
      {"KeepChunks", SettingsType::String, 1, StringBytes("ALL,")},
      {"KeepChunks", SettingsType::String, 1, {0}},
      {"Advanced Options", SettingsType::Binary, 3, std::vector<uint8_t>(48, 0x5A)},
      {"Advanced Options", SettingsType::Binary, 3, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto handMade = HandMadeFile(c.name, c.typeByte, c.payload);
    EXPECT_EQ(EncodeSettingsValue(c.name, c.type, c.payload), handMade);
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
  const std::vector<uint8_t> three = {1, 2, 3};
  EXPECT_FALSE(EncodeSettingsValue("", SettingsType::Binary, {}).has_value());
  EXPECT_FALSE(EncodeSettingsValue(std::string(256, 'n'), SettingsType::Binary, {}).has_value());
  EXPECT_TRUE(EncodeSettingsValue(std::string(255, 'n'), SettingsType::Binary, {}).has_value());
  EXPECT_FALSE(EncodeSettingsValue("Strategy", SettingsType::Number, three).has_value());
  EXPECT_FALSE(EncodeSettingsValue("KeepChunks", SettingsType::String, three).has_value());
  EXPECT_FALSE(EncodeSettingsValue("Blob", SettingsType::Binary, std::vector<uint8_t>(kMaxSettingsPayload + 1)).has_value());
  const auto largest = EncodeSettingsValue("Blob", SettingsType::Binary, std::vector<uint8_t>(kMaxSettingsPayload));
  ASSERT_TRUE(largest.has_value());
  EXPECT_TRUE(DecodeSettingsValue("Blob", *largest).has_value());
}

}  // namespace
