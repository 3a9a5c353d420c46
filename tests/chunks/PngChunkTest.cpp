#include "common/pngchunks/PngChunk.h"

#include <gtest/gtest.h>

#include "ChunkBytesForTests.h"
#include "common/pngchunks/ChunkBytes.h"
#include "platform/MessageBox.h"

namespace {

using chunks::MakeChunkType;
using chunks::PhysChunk;
using chunks::PngChunk;
using chunktest::Bytes;
using chunktest::RawChunk;

// A chunk created by the record under test, freed at the end of the test.
struct CreatedChunk {
  PngChunk record;
  uint8_t* raw;
  CreatedChunk(const char (&type)[5], uint32_t length) : raw(record.Create(MakeChunkType(type), length)) {}
  ~CreatedChunk() { chunks::FreeChunkBytes(raw); }
};

TEST(PngChunk, AttachReadsLengthTypeAndStoredCrc) {
  Bytes raw = RawChunk("gAMA", {0, 0, 0xB1, 0x8F});
  PngChunk chunk(raw.data());
  EXPECT_EQ(chunk.m_pChunk, raw.data());
  EXPECT_EQ(chunk.m_Length, 4u);
  EXPECT_EQ(chunk.type, MakeChunkType("gAMA"));
  EXPECT_EQ(chunk.crc, chunktest::Be32(raw.data() + 12));

  chunk.Attach(nullptr);
  EXPECT_EQ(chunk.m_pChunk, nullptr);
  EXPECT_EQ(chunk.m_Length, 0u);
}

TEST(PngChunk, CreateMakesAZeroFilledChunkWithAValidCrc) {
  CreatedChunk created("bKGD", 6);
  ASSERT_NE(created.raw, nullptr);
  EXPECT_EQ(created.record.m_pChunk, created.raw);
  EXPECT_EQ(created.record.m_Length, 6u);
  EXPECT_EQ(chunktest::Be32(created.raw), 6u);
  EXPECT_EQ(chunktest::TypeOf(created.raw), "bKGD");
  for (int i = 0; i < 6; ++i) EXPECT_EQ(created.raw[8 + i], 0) << i;
  EXPECT_TRUE(chunktest::CrcIsValid(created.raw));
  EXPECT_EQ(created.record.crc, chunktest::Be32(created.raw + 14));
}

TEST(PngChunk, CreateOfAnEmptyChunk) {
  CreatedChunk created("IEND", 0);
  ASSERT_NE(created.raw, nullptr);
  EXPECT_EQ(created.record.crc, 0xAE426082u);  // the well-known IEND CRC
}

TEST(PngChunk, UpdateCrcFollowsChangedData) {
  CreatedChunk created("tEXt", 3);
  ASSERT_NE(created.raw, nullptr);
  created.raw[8] = 'a';
  created.raw[10] = 'z';
  EXPECT_FALSE(chunktest::CrcIsValid(created.raw));
  created.record.UpdateCrc();
  EXPECT_TRUE(chunktest::CrcIsValid(created.raw));

  PngChunk empty;
  empty.UpdateCrc();  // no chunk: nothing to do, nothing to crash on
  EXPECT_EQ(empty.m_pChunk, nullptr);
}

TEST(PngChunkDeathTest, CreateOnAFilledRecordReportsTheAssertion) {
  Bytes raw = RawChunk("gAMA", {0, 0, 0, 1});
  PngChunk chunk(raw.data());
  EXPECT_DEATH(chunk.Create(MakeChunkType("bKGD"), 1),
               "Assertion failed: nullptr == m_pChunk, file .*common/pngchunks/PngChunk\\.cpp, line [0-9]+");
}

TEST(PhysChunk, BuildsANinBytePhysChunkOfItsOwn) {
  PhysChunk phys(2835, 11811, 1);
  ASSERT_NE(phys.m_pChunk, nullptr);
  const Bytes expected = RawChunk("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x2E, 0x23, 1});
  EXPECT_EQ(Bytes(phys.m_pChunk, phys.m_pChunk + expected.size()), expected);

  uint32_t x = 0, y = 0;
  uint8_t unit = 0;
  ASSERT_TRUE(phys.Read(x, y, unit));
  EXPECT_EQ(x, 2835u);
  EXPECT_EQ(y, 11811u);
  EXPECT_EQ(unit, 1);
}

TEST(PhysChunk, ReadRefusesAMissingOrShortChunk) {
  uint32_t x = 7, y = 7;
  uint8_t unit = 7;
  PhysChunk empty;
  EXPECT_FALSE(empty.Read(x, y, unit));

  Bytes shortPhys = RawChunk("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B});
  PhysChunk attached;
  attached.Attach(shortPhys.data());
  EXPECT_FALSE(attached.Read(x, y, unit));
  EXPECT_EQ(x, 7u);

  Bytes fileOne = RawChunk("pHYs", {0, 0, 0, 3, 0, 0, 0, 4, 0});
  attached.Attach(fileOne.data());
  ASSERT_TRUE(attached.Read(x, y, unit));
  EXPECT_EQ(x, 3u);
  EXPECT_EQ(y, 4u);
  EXPECT_EQ(unit, 0);
}

struct GetBackgroundCase {
  const char* name;
  Bytes data;
  int colorType;
  int bitDepth;
  bool expected;
  uint16_t r, g, b;
};

TEST(PngChunk, GetBackgroundColor) {
  const uint32_t palette[3] = {0xFF102030, 0x80A0B0C0, 0xFFFFFFFF};
  const GetBackgroundCase cases[] = {
      {"2-bit grey 3 is white", {0, 3}, 0, 2, true, 255, 255, 255},
      {"2-bit grey 1", {0, 1}, 0, 2, true, 85, 85, 85},
      {"4-bit grey+alpha 15", {0, 15}, 4, 4, true, 255, 255, 255},
      {"8-bit grey 0x80", {0, 0x80}, 0, 8, true, 0x80, 0x80, 0x80},
      {"16-bit grey is not taken", {0x12, 0x34}, 0, 16, false, 0, 0, 0},
      {"grey level above its depth", {0, 4}, 0, 2, false, 0, 0, 0},
      {"grey at depth 0", {0, 0}, 0, 0, false, 0, 0, 0},
      {"grey bKGD of the wrong length", {0, 1, 0}, 0, 8, false, 0, 0, 0},
      {"RGB values unscaled", {0x01, 0x02, 0x03, 0x04, 0x05, 0x06}, 2, 8, true, 0x0102, 0x0304, 0x0506},
      {"RGB of a 16-bit image", {0, 1, 0, 2, 0, 3}, 2, 16, false, 0, 0, 0},
      {"palette index 1 drops alpha", {1}, 3, 8, true, 0xA0, 0xB0, 0xC0},
      {"palette index 0", {0}, 3, 4, true, 0x10, 0x20, 0x30},
      {"palette index past the palette", {3}, 3, 8, false, 0, 0, 0},
      {"palette bKGD of grey length", {0, 1}, 3, 8, false, 0, 0, 0},
      {"one byte for an RGB image", {1}, 2, 8, false, 0, 0, 0},
  };
  for (const GetBackgroundCase& c : cases) {
    Bytes raw = RawChunk("bKGD", c.data);
    uint16_t r = 0, g = 0, b = 0;
    EXPECT_EQ(PngChunk(raw.data()).GetBackgroundColor(c.colorType, c.bitDepth, 3, palette, r, g, b), c.expected)
        << c.name;
    if (c.expected) {
      EXPECT_EQ(r, c.r) << c.name;
      EXPECT_EQ(g, c.g) << c.name;
      EXPECT_EQ(b, c.b) << c.name;
    }
  }
}

TEST(PngChunk, GetBackgroundColorNeedsABkgdAndAPalette) {
  uint16_t r = 0, g = 0, b = 0;
  Bytes gama = RawChunk("gAMA", {0, 0, 0, 1});
  EXPECT_FALSE(PngChunk(gama.data()).GetBackgroundColor(0, 8, 0, nullptr, r, g, b));
  Bytes index = RawChunk("bKGD", {0});
  EXPECT_FALSE(PngChunk(index.data()).GetBackgroundColor(3, 8, 4, nullptr, r, g, b));
  EXPECT_FALSE(PngChunk().GetBackgroundColor(2, 8, 0, nullptr, r, g, b));
}

class SetBackground : public ::testing::Test {
 protected:
  platform::RecordedMessageBoxes boxes;
  platform::ScopedMessageBoxSink scope{boxes};
};

TEST_F(SetBackground, RgbStoresTheFullSixteenBitValues) {
  CreatedChunk created("bKGD", 6);
  int count = 0;
  int depth = 16;
  EXPECT_TRUE(created.record.SetBackgroundColor(0x1234, 0x00FF, 0xABCD, count, nullptr, 2, depth));
  EXPECT_EQ(Bytes(created.raw + 8, created.raw + 14), (Bytes{0x12, 0x34, 0x00, 0xFF, 0xAB, 0xCD}));
  EXPECT_TRUE(chunktest::CrcIsValid(created.raw));
  EXPECT_EQ(depth, 16);
}

TEST_F(SetBackground, ColourAlreadyAtIndex255OfAFullPalette) {
  std::vector<uint32_t> palette(256);
  for (int i = 0; i < 256; ++i) palette[i] = 0xFF000000u | static_cast<uint32_t>(i);
  CreatedChunk created("bKGD", 1);
  int count = 256;
  int depth = 8;
  EXPECT_TRUE(created.record.SetBackgroundColor(0, 0, 255, count, palette.data(), 3, depth));
  EXPECT_EQ(created.raw[8], 255);
  EXPECT_EQ(count, 256);
  EXPECT_TRUE(chunktest::CrcIsValid(created.raw));
  EXPECT_EQ(boxes.TotalShown(), 0u);
}

TEST_F(SetBackground, NewColourWith255EntriesOverflows) {
  std::vector<uint32_t> palette(256, 0);
  for (int i = 0; i < 255; ++i) palette[i] = 0xFF000000u | static_cast<uint32_t>(i);
  const std::vector<uint32_t> before = palette;
  CreatedChunk created("bKGD", 1);
  created.raw[8] = 7;
  created.record.UpdateCrc();
  const Bytes chunkBefore(created.raw, created.raw + 13);
  int count = 255;
  int depth = 8;
  EXPECT_FALSE(created.record.SetBackgroundColor(1, 2, 3, count, palette.data(), 3, depth));
  EXPECT_EQ(count, 255);
  EXPECT_EQ(palette, before);
  EXPECT_EQ(Bytes(created.raw, created.raw + 13), chunkBefore);
  ASSERT_EQ(boxes.TotalShown(), 1u);
  EXPECT_EQ(*boxes.Last(), (platform::MessageBoxEntry{"No room in palette for selected color", "Palette overflow"}));
}

TEST_F(SetBackground, NewColourWith254EntriesIsAppended) {
  std::vector<uint32_t> palette(256, 0);
  for (int i = 0; i < 254; ++i) palette[i] = 0xFF000000u | static_cast<uint32_t>(i);
  CreatedChunk created("bKGD", 1);
  int count = 254;
  int depth = 8;
  EXPECT_TRUE(created.record.SetBackgroundColor(0x1FF, 0x02, 0x03, count, palette.data(), 3, depth));
  EXPECT_EQ(count, 255);
  EXPECT_EQ(palette[254], 0xFFFF0203u);  // low bytes of the components
  EXPECT_EQ(created.raw[8], 254);
  EXPECT_TRUE(chunktest::CrcIsValid(created.raw));
  EXPECT_EQ(boxes.TotalShown(), 0u);
}

TEST_F(SetBackground, PaletteSearchComparesAlphaToo) {
  uint32_t palette[4] = {0x00FF0000, 0xFFFF0000, 0, 0};
  CreatedChunk created("bKGD", 1);
  int count = 2;
  int depth = 8;
  EXPECT_TRUE(created.record.SetBackgroundColor(255, 0, 0, count, palette, 3, depth));
  EXPECT_EQ(created.raw[8], 1);
  EXPECT_EQ(count, 2);
}

TEST_F(SetBackground, GreyStoresRedAndSetsDepth8) {
  CreatedChunk created("bKGD", 2);
  int count = 0;
  int depth = 2;
  EXPECT_TRUE(created.record.SetBackgroundColor(0x00C8, 7, 9, count, nullptr, 4, depth));
  EXPECT_EQ(depth, 8);
  EXPECT_EQ(created.raw[8], 0x00);
  EXPECT_EQ(created.raw[9], 0xC8);
  EXPECT_TRUE(chunktest::CrcIsValid(created.raw));
}

TEST_F(SetBackground, ChunksThatDoNotFitAreLeftAlone) {
  int count = 0;
  int depth = 4;
  {  // a palette-length chunk with no palette, for an RGB image
    CreatedChunk created("bKGD", 1);
    EXPECT_FALSE(created.record.SetBackgroundColor(1, 2, 3, count, nullptr, 2, depth));
    EXPECT_EQ(created.raw[8], 0);
    EXPECT_TRUE(chunktest::CrcIsValid(created.raw));
  }
  {  // a palette-length chunk read as grey would write past its data
    CreatedChunk created("bKGD", 1);
    EXPECT_FALSE(created.record.SetBackgroundColor(1, 2, 3, count, nullptr, 0, depth));
    EXPECT_TRUE(chunktest::CrcIsValid(created.raw));
  }
  {  // not a bKGD at all
    CreatedChunk created("gAMA", 2);
    EXPECT_FALSE(created.record.SetBackgroundColor(1, 2, 3, count, nullptr, 0, depth));
    EXPECT_EQ(created.raw[9], 0);
  }
  PngChunk empty;
  EXPECT_FALSE(empty.SetBackgroundColor(1, 2, 3, count, nullptr, 0, depth));
  EXPECT_EQ(depth, 4);
  EXPECT_EQ(boxes.TotalShown(), 0u);
}

}  // namespace
