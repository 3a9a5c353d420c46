#include "common/VELKORPSUI/AdvancedOptions.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

std::vector<uint8_t> ToVector(const AdvancedOptions::Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

TEST(AdvancedOptions, DefaultRecordIsTheDocumentedBytes) {
  const std::vector<uint8_t> expected = {
      0x01, 0x00, 0x00, 0x00,                          // version
      0x30, 0x00, 0x00, 0x00,                          // size 48
      0xFF, 0xFF, 0xFF, 0xFF,                          // colour type auto
      0xFF, 0xFF, 0xFF, 0xFF,                          // filter auto
      0xFF, 0xFF,                                      // bit depth auto
      0x01, 0x00,                                      // palette optimize
      0x00, 0x00, 0x00, 0x00,                          // reserved
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x70, 0x40,  // 256.0
      0x00, 0x00, 0x00, 0x00,                          // strategy Xtreme!
      0x00,                                            // no pass limit
      0x00, 0x00, 0x00,                                // reserved
      0x0A, 0x00, 0x00, 0x00,                          // 10 passes
      0x00, 0x00, 0x00, 0x00,                          // reserved
  };
  EXPECT_EQ(ToVector(AdvancedOptions().Serialize()), expected);
}

TEST(AdvancedOptions, EachMemberLandsAtItsOffsetLittleEndian) {
  struct Case {
    const char* member;
    std::function<void(AdvancedOptions&)> set;
    size_t offset;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"m_colorType", [](AdvancedOptions& r) { r.m_colorType = 6; }, 8, {6, 0, 0, 0}},
      {"m_filter", [](AdvancedOptions& r) { r.m_filter = 0x01020304; }, 12, {4, 3, 2, 1}},
      {"m_bitDepth", [](AdvancedOptions& r) { r.m_bitDepth = 0x0208; }, 16, {8, 2}},
      {"m_paletteOrder", [](AdvancedOptions& r) { r.m_paletteOrder = kPaletteRegenerate; }, 18, {2, 0}},
      {"m_splitThreshold", [](AdvancedOptions& r) { r.m_splitThreshold = 1.5; }, 24,
       {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}},
      {"m_strategy", [](AdvancedOptions& r) { r.m_strategy = 4; }, 32, {4, 0, 0, 0}},
      {"m_limitPasses", [](AdvancedOptions& r) { r.m_limitPasses = 1; }, 36, {1}},
      {"m_maxPasses", [](AdvancedOptions& r) { r.m_maxPasses = 0x7FFF0102; }, 40, {2, 1, 0xFF, 0x7F}},
  };
  const auto defaults = ToVector(AdvancedOptions().Serialize());
  for (const auto& c : cases) {
    AdvancedOptions record;
    c.set(record);
    auto expected = defaults;
    std::copy(c.bytes.begin(), c.bytes.end(), expected.begin() + static_cast<long>(c.offset));
    EXPECT_EQ(ToVector(record.Serialize()), expected) << c.member;
  }
}

TEST(AdvancedOptions, RoundTripsEveryMember) {
  AdvancedOptions record;
  record.m_colorType = 4;
  record.m_filter = 2;
  record.m_bitDepth = 8;
  record.m_paletteOrder = kPaletteRegenerate;
  record.m_splitThreshold = 1234.0625;
  record.m_strategy = 3;
  record.m_limitPasses = 1;
  record.m_maxPasses = 0;
  const auto back = AdvancedOptions::Deserialize(record.Serialize());
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(ToVector(back->Serialize()), ToVector(record.Serialize()));
  EXPECT_EQ(back->m_splitThreshold, 1234.0625);
  EXPECT_EQ(back->m_maxPasses, 0);
}

TEST(AdvancedOptions, RefusesRecordsItCannotTrust) {
  struct Case {
    const char* what;
    size_t offset;
    std::vector<uint8_t> bytes;
  };
  const uint64_t nan = std::bit_cast<uint64_t>(std::numeric_limits<double>::quiet_NaN());
  std::vector<uint8_t> nanBytes;
  for (int i = 0; i < 8; ++i) nanBytes.push_back(static_cast<uint8_t>(nan >> (8 * i)));
  const Case cases[] = {
      {"version 2", 0, {2}},
      {"version 0", 0, {0}},
      {"size 47", 4, {47}},
      {"size 0x130", 5, {1}},
      {"colour type 1", 8, {1, 0, 0, 0}},
      {"colour type 5", 8, {5, 0, 0, 0}},
      {"colour type -2", 8, {0xFE}},
      {"filter 6", 12, {6, 0, 0, 0}},
      {"filter -2", 12, {0xFE}},
      {"bit depth 16", 16, {16, 0}},
      {"bit depth 3", 16, {3, 0}},
      {"palette order 3", 18, {3, 0}},
      {"palette order -1", 18, {0xFF, 0xFF}},
      {"threshold NaN", 24, nanBytes},
      {"threshold +inf", 24, {0, 0, 0, 0, 0, 0, 0xF0, 0x7F}},
      {"strategy 5", 32, {5, 0, 0, 0}},
      {"strategy -1", 32, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"limit flag 2", 36, {2}},
      {"max passes -1", 40, {0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const auto& c : cases) {
    auto bytes = ToVector(AdvancedOptions().Serialize());
    std::copy(c.bytes.begin(), c.bytes.end(), bytes.begin() + static_cast<long>(c.offset));
    EXPECT_FALSE(AdvancedOptions::Deserialize(bytes).has_value()) << c.what;
  }

  auto bytes = ToVector(AdvancedOptions().Serialize());
  EXPECT_FALSE(AdvancedOptions::Deserialize(std::span(bytes).first(47)).has_value());
  bytes.push_back(0);
  EXPECT_FALSE(AdvancedOptions::Deserialize(bytes).has_value());
  EXPECT_FALSE(AdvancedOptions::Deserialize({}).has_value());
}

TEST(AdvancedOptions, ReservedBytesAreIgnoredOnReadAndZeroOnWrite) {
  auto bytes = ToVector(AdvancedOptions().Serialize());
  for (size_t offset : {20u, 21u, 22u, 23u, 37u, 38u, 39u, 44u, 45u, 46u, 47u}) bytes[offset] = 0xAA;
  const auto record = AdvancedOptions::Deserialize(bytes);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(ToVector(record->Serialize()), ToVector(AdvancedOptions().Serialize()));
}

TEST(AdvancedOptions, BuiltFromTheDialogControls) {
  AdvancedDialogValues values;
  values.colorType = 3;
  values.filter = 5;
  values.bitDepth = 4;
  values.regeneratePalette = true;
  values.thresholdText = "512.000000";
  values.strategyPosition = 2;
  values.limitPasses = true;
  values.passNumber = 7;
  const AdvancedOptions record = BuildAdvancedOptions(values);
  EXPECT_EQ(record.m_version, 1u);
  EXPECT_EQ(record.m_size, 48u);
  EXPECT_EQ(record.m_colorType, 3);
  EXPECT_EQ(record.m_filter, 5);
  EXPECT_EQ(record.m_bitDepth, 4);
  EXPECT_EQ(record.m_paletteOrder, kPaletteRegenerate);
  EXPECT_EQ(record.m_splitThreshold, 512.0);
  EXPECT_EQ(record.m_strategy, 2);
  EXPECT_EQ(record.m_limitPasses, 1);
  EXPECT_EQ(record.m_maxPasses, 7);
}

TEST(AdvancedOptions, DialogRulesForPaletteStrategyAndPasses) {
  struct Case {
    const char* what;
    bool optimize, regenerate;
    int strategy;
    bool limit;
    int passes;
    int16_t expectedOrder;
    int32_t expectedStrategy, expectedMaxPasses;
    uint8_t expectedLimit;
  };
  const Case cases[] = {
      {"optimize wins", true, true, 4, false, 3, kPaletteOptimize, 4, 10, 0},
      {"neither is preserve", false, false, 0, false, 3, kPalettePreserve, 0, 10, 0},
      {"strategy 5 keeps default", false, true, 5, false, 3, kPaletteRegenerate, 0, 10, 0},
      {"strategy -1 keeps default", false, false, -1, false, 3, kPalettePreserve, 0, 10, 0},
      {"passes ignored when not limited", false, false, 1, false, 99, kPalettePreserve, 1, 10, 0},
      {"negative passes become 0", false, false, 1, true, -4, kPalettePreserve, 1, 0, 1},
      {"large passes kept", false, false, 1, true, 300, kPalettePreserve, 1, 300, 1},
  };
  for (const auto& c : cases) {
    AdvancedDialogValues values;
    values.optimizePalette = c.optimize;
    values.regeneratePalette = c.regenerate;
    values.strategyPosition = c.strategy;
    values.limitPasses = c.limit;
    values.passNumber = c.passes;
    values.thresholdText = "256.000000";
    const AdvancedOptions record = BuildAdvancedOptions(values);
    EXPECT_EQ(record.m_paletteOrder, c.expectedOrder) << c.what;
    EXPECT_EQ(record.m_strategy, c.expectedStrategy) << c.what;
    EXPECT_EQ(record.m_maxPasses, c.expectedMaxPasses) << c.what;
    EXPECT_EQ(record.m_limitPasses, c.expectedLimit) << c.what;
    EXPECT_TRUE(record.HasValidMembers()) << c.what;
  }
}

TEST(AdvancedOptions, ThresholdTextReadsItsLeadingNumber) {
  struct Case {
    const char* text;
    double expected;
  };
  const Case cases[] = {
      {"256.000000", 256.0}, {"?", 0.0},          {"?1024", 0.0},     {"", 0.0},
      {"  12.5", 12.5},      {"12.5 bytes", 12.5}, {"+3", 3.0},        {"-2", -2.0},
      {"+-2", 0.0},          {"abc", 0.0},         {"inf", 0.0},       {"nan", 0.0},
      {"1e999", 0.0},        {"1e3", 1000.0},      {".5", 0.5},        {"0x10", 0.0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseThresholdText(c.text), c.expected) << '"' << c.text << '"';
}

}  // namespace
