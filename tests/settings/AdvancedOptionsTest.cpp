// The 48-byte Advanced Options record: its exact little-endian bytes, the
// records refused on read, and the record built from the dialog's controls.
#include "common/VELKORPSUI/AdvancedOptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

std::vector<uint8_t> ToVector(const AdvancedOptions::Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

const std::vector<uint8_t> kDefaultRecord = {
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

// Each member at its offset, and read back from there.
TEST(AdvancedOptions, DefaultRecordAndEachMemberAtItsOffset) {
  EXPECT_EQ(ToVector(AdvancedOptions().Serialize()), kDefaultRecord);
  struct Case {
    std::function<void(AdvancedOptions&)> set;
    size_t offset;
    std::vector<uint8_t> bytes;
  };
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
    SCOPED_TRACE(c.offset);
    AdvancedOptions record;
    c.set(record);
    auto expected = kDefaultRecord;
    std::copy(c.bytes.begin(), c.bytes.end(), expected.begin() + static_cast<long>(c.offset));
    EXPECT_EQ(ToVector(record.Serialize()), expected);
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

TEST(AdvancedOptions, BuiltFromTheDialogControls) {
  struct Case {
    bool optimize, regenerate;
    int strategy;
    bool limit;
    int passes;
    int16_t order;
    int32_t expectedStrategy, maxPasses;
    uint8_t limitFlag;
  };
  const Case cases[] = {
      {true, true, 4, false, 3, kPaletteOptimize, 4, 10, 0},       // optimize wins
      {false, false, 0, false, 3, kPalettePreserve, 0, 10, 0},     // neither is preserve
      {false, true, 5, false, 3, kPaletteRegenerate, 0, 10, 0},    // strategy out of range keeps the default
      {false, false, -1, false, 3, kPalettePreserve, 0, 10, 0},
      {false, false, 1, false, 99, kPalettePreserve, 1, 10, 0},    // passes ignored when not limited
      {false, false, 1, true, -4, kPalettePreserve, 1, 0, 1},      // negative passes become 0
      {false, false, 2, true, 300, kPalettePreserve, 2, 300, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.strategy << " " << c.passes);
    AdvancedDialogValues values{3, 5, 4, c.optimize, c.regenerate, "512.000000", c.strategy, c.limit, c.passes};
    const AdvancedOptions record = BuildAdvancedOptions(values);
    EXPECT_EQ((std::vector<int>{record.m_colorType, record.m_filter, record.m_bitDepth, record.m_paletteOrder,
                                record.m_strategy, record.m_limitPasses, record.m_maxPasses}),
              (std::vector<int>{3, 5, 4, c.order, c.expectedStrategy, c.limitFlag, c.maxPasses}));
    EXPECT_EQ(record.m_splitThreshold, 512.0);
    EXPECT_EQ((std::vector<uint32_t>{record.m_version, record.m_size}), (std::vector<uint32_t>{1, 48}));
    EXPECT_TRUE(record.HasValidMembers());
  }
}

// The threshold box is read like atof, whatever the locale's decimal point;
// only finite values count.
TEST(AdvancedOptions, ThresholdTextReadsItsLeadingNumber) {
  const std::pair<const char*, double> cases[] = {
      {"256.000000", 256.0}, {"?1024", 0.0}, {"", 0.0},   {"  12.5 bytes", 12.5}, {"+3", 3.0},    {"-2", -2.0},
      {"+-2", 0.0},          {"inf", 0.0},   {"nan", 0.0}, {"1e999", 0.0},        {"1e3", 1000.0}, {".5", 0.5},
      {"0x10", 0.0},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(ParseThresholdText(text), expected) << '"' << text << '"';
}

}  // namespace
