// The value file format, checked against bytes built by hand with zlib's
// CRC-32 as the independent checksum.
#include "platform/posix/SettingsValueFile.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "tests/settings/SettingsTestSupport.h"

namespace {

using namespace settings_test;

void AppendLittleEndian(std::vector<uint8_t>& out, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void AppendZlibCrc(std::vector<uint8_t>& file) {
  AppendLittleEndian(file, static_cast<uint32_t>(crc32(0L, file.data(), static_cast<uInt>(file.size()))), 4);
}

// A value file assembled field by field, the checksum from zlib.
std::vector<uint8_t> HandMadeFile(std::string_view name, uint8_t type, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> file = Bytes("VKSV");
  file.push_back(1);
  file.push_back(type);
  AppendLittleEndian(file, static_cast<uint32_t>(name.size()), 2);
  AppendLittleEndian(file, static_cast<uint32_t>(payload.size()), 4);
  file.insert(file.end(), name.begin(), name.end());
  file.insert(file.end(), payload.begin(), payload.end());
  AppendZlibCrc(file);
  return file;
}

TEST(SettingsValueFile, EncodesTheDocumentedLayout) {
  const std::vector<uint8_t> payload = {3, 0, 1, 0};
  const auto file = EncodeSettingsValue("Strategy", SettingsType::Number, payload);
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(*file, HandMadeFile("Strategy", 4, payload));
  EXPECT_EQ(file->size(), 16u + 8u + 4u);
}

TEST(SettingsValueFile, DecodesHandMadeFilesOfEachType) {
  struct Case {
    const char* name;
    uint8_t type;
    std::vector<uint8_t> payload;
  };
  const Case cases[] = {
      {"Save Dialog", 4, {0xF8, 0x03, 0, 0}},
      {"KeepChunks", 1, StringBytes("ALL,")},
      {"KeepChunks", 1, {0}},
      {"Advanced Options", 3, std::vector<uint8_t>(48, 0x5A)},
      {"Advanced Options", 3, {}},
  };
  for (const auto& c : cases) {
    const auto value = DecodeSettingsValue(c.name, HandMadeFile(c.name, c.type, c.payload));
    ASSERT_TRUE(value.has_value()) << c.name;
    EXPECT_EQ(static_cast<int>(value->type), c.type);
    EXPECT_EQ(value->data, c.payload);
  }
}

TEST(SettingsValueFile, RefusesMalformedFilesEvenWithAGoodChecksum) {
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  };
  auto withMagic = [](const char* magic) {
    auto file = HandMadeFile("Strategy", 4, {1, 0, 0, 0});
    std::copy(magic, magic + 4, file.begin());
    file.resize(file.size() - 4);
    AppendZlibCrc(file);
    return file;
  };
  auto withVersion = [](uint8_t version) {
    auto file = HandMadeFile("Strategy", 4, {1, 0, 0, 0});
    file[4] = version;
    file.resize(file.size() - 4);
    AppendZlibCrc(file);
    return file;
  };
  auto withLengthField = [](uint32_t length) {
    std::vector<uint8_t> file = Bytes("VKSV");
    file.push_back(1);
    file.push_back(3);
    AppendLittleEndian(file, 8, 2);
    AppendLittleEndian(file, length, 4);
    for (char ch : std::string("Strategy")) file.push_back(static_cast<uint8_t>(ch));
    file.push_back(7);
    AppendZlibCrc(file);
    return file;
  };
  const Case cases[] = {
      {"foreign magic", withMagic("VKSW")},
      {"format version 2", withVersion(2)},
      {"type 0", HandMadeFile("Strategy", 0, {1, 0, 0, 0})},
      {"type 2 (expandable string)", HandMadeFile("Strategy", 2, {'a', 0})},
      {"type 11 (64-bit)", HandMadeFile("Strategy", 11, std::vector<uint8_t>(8, 0))},
      {"number of 3 bytes", HandMadeFile("Strategy", 4, {1, 0, 0})},
      {"number of 8 bytes", HandMadeFile("Strategy", 4, std::vector<uint8_t>(8, 0))},
      {"string without its zero", HandMadeFile("Strategy", 1, Bytes("ALL,"))},
      {"empty string", HandMadeFile("Strategy", 1, {})},
      {"another value's file", HandMadeFile("Limit Passes", 4, {1, 0, 0, 0})},
      {"name differing in case", HandMadeFile("strategy", 4, {1, 0, 0, 0})},
      {"payload length too long", withLengthField(2)},
      {"payload length too short", withLengthField(0)},
      {"payload length huge", withLengthField(0xFFFFFFFFu)},
      {"empty file", {}},
  };
  for (const auto& c : cases) EXPECT_FALSE(DecodeSettingsValue("Strategy", c.file).has_value()) << c.what;
}

TEST(SettingsValueFile, EveryTruncationAndEveryBitFlipIsRefused) {
  const auto file = *EncodeSettingsValue("KeepChunks", SettingsType::String, StringBytes("gAMA,sRGB,"));
  ASSERT_TRUE(DecodeSettingsValue("KeepChunks", file).has_value());
  for (size_t length = 0; length < file.size(); ++length) {
    EXPECT_FALSE(DecodeSettingsValue("KeepChunks", std::span(file).first(length)).has_value()) << length;
  }
  auto longer = file;
  longer.push_back(0);
  EXPECT_FALSE(DecodeSettingsValue("KeepChunks", longer).has_value());
  for (size_t i = 0; i < file.size(); ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      auto damaged = file;
      damaged[i] ^= static_cast<uint8_t>(1 << bit);
      EXPECT_FALSE(DecodeSettingsValue("KeepChunks", damaged).has_value()) << "byte " << i << " bit " << bit;
    }
  }
}

TEST(SettingsValueFile, EncoderRefusesWhatItCouldNotReadBack) {
  EXPECT_FALSE(EncodeSettingsValue("", SettingsType::Binary, {}).has_value());
  EXPECT_FALSE(EncodeSettingsValue(std::string(256, 'n'), SettingsType::Binary, {}).has_value());
  EXPECT_TRUE(EncodeSettingsValue(std::string(255, 'n'), SettingsType::Binary, {}).has_value());
  const std::vector<uint8_t> three = {1, 2, 3};
  EXPECT_FALSE(EncodeSettingsValue("Strategy", SettingsType::Number, three).has_value());
  EXPECT_FALSE(EncodeSettingsValue("KeepChunks", SettingsType::String, three).has_value());
  const std::vector<uint8_t> tooLarge(kMaxSettingsPayload + 1, 0);
  EXPECT_FALSE(EncodeSettingsValue("Blob", SettingsType::Binary, tooLarge).has_value());
  const std::vector<uint8_t> largest(kMaxSettingsPayload, 0);
  const auto file = EncodeSettingsValue("Blob", SettingsType::Binary, largest);
  ASSERT_TRUE(file.has_value());
  EXPECT_TRUE(DecodeSettingsValue("Blob", *file).has_value());
}

TEST(SettingsValueFile, ChecksumAgreesWithZlib) {
  std::mt19937 random(7);
  for (size_t size : {0u, 1u, 3u, 4u, 47u, 1000u}) {
    std::vector<uint8_t> data(size);
    for (auto& byte : data) byte = static_cast<uint8_t>(random());
    EXPECT_EQ(SettingsCrc32(data), crc32(0L, data.data(), static_cast<uInt>(data.size()))) << size;
  }
}

}  // namespace
