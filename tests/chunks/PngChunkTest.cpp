// The chunk record and its helpers: attaching and creating chunks, CRCs, the
// pHYs record, a bKGD's colour read and stored, and the block store.
#include "common/pngchunks/PngChunk.h"

#include <gtest/gtest.h>

#include "ChunkBytesForTests.h"
#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ChunkStore.h"
#include "platform/MessageBox.h"

namespace {

using chunks::MakeChunkType;
using chunks::PngChunk;
using namespace chunktest;

// A chunk created by the record under test, freed at the end of the test.
struct CreatedChunk {
  PngChunk record;
  uint8_t* raw;
  CreatedChunk(const char (&type)[5], uint32_t length) : raw(record.Create(MakeChunkType(type), length)) {}
  ~CreatedChunk() { chunks::FreeChunkBytes(raw); }
  Bytes Whole() const { return Bytes(raw, raw + 12 + record.m_Length); }
};

TEST(PngChunk, AttachCreateAndUpdateCrc) {
  Bytes raw = RawChunk("gAMA", {0, 0, 0xB1, 0x8F});
  PngChunk chunk(raw.data());
  EXPECT_EQ(chunk.m_pChunk, raw.data());
  EXPECT_EQ(chunk.m_Length, 4u);
  EXPECT_EQ(chunk.type, MakeChunkType("gAMA"));
  EXPECT_EQ(chunk.crc, Be32(raw.data() + 12));
  chunk.Attach(nullptr);
  EXPECT_EQ(chunk.m_Length, 0u);
  chunk.UpdateCrc();  // no chunk: nothing to do, nothing to crash on

  CreatedChunk created("tEXt", 3);
  ASSERT_NE(created.raw, nullptr);
  EXPECT_EQ(created.record.m_pChunk, created.raw);
  EXPECT_EQ(created.Whole(), RawChunk("tEXt", {0, 0, 0}));  // zero-filled, valid CRC
  EXPECT_EQ(created.record.crc, Be32(created.raw + 11));
  created.raw[8] = 'a';
  created.record.UpdateCrc();
  EXPECT_EQ(created.Whole(), RawChunk("tEXt", {'a', 0, 0}));
  EXPECT_EQ(CreatedChunk("IEND", 0).record.crc, 0xAE426082u);  // the well-known IEND CRC
}

TEST(PngChunkDeathTest, CreateOnAFilledRecordReportsTheAssertion) {
  Bytes raw = RawChunk("gAMA", {0, 0, 0, 1});
  PngChunk chunk(raw.data());
  EXPECT_DEATH(chunk.Create(MakeChunkType("bKGD"), 1),
               "Assertion failed: nullptr == m_pChunk, file .*common/pngchunks/PngChunk\\.cpp, line [0-9]+");
}

TEST(PhysChunk, BuildsItsOwnChunkAndReadsOnlyWholeOnes) {
  chunks::PhysChunk phys(2835, 11811, 1);
  ASSERT_NE(phys.m_pChunk, nullptr);
  const Bytes expected = RawChunk("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x2E, 0x23, 1});
  EXPECT_EQ(Bytes(phys.m_pChunk, phys.m_pChunk + expected.size()), expected);
  uint32_t x = 0, y = 0;
  uint8_t unit = 0;
  ASSERT_TRUE(phys.Read(x, y, unit));
  EXPECT_EQ((std::vector<uint32_t>{x, y, unit}), (std::vector<uint32_t>{2835, 11811, 1}));

  EXPECT_FALSE(chunks::PhysChunk().Read(x, y, unit));
  Bytes shortPhys = RawChunk("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B});
  chunks::PhysChunk attached;
  attached.Attach(shortPhys.data());
  EXPECT_FALSE(attached.Read(x, y, unit));
}

TEST(PngChunk, GetBackgroundColor) {
  struct Case {
    const char* name;
    Bytes data;
    int colorType, bitDepth;
    bool expected;
    uint16_t r, g, b;
  };
  const uint32_t palette[3] = {0xFF102030, 0x80A0B0C0, 0xFFFFFFFF};
  const Case cases[] = {
      {"2-bit grey 1", {0, 1}, 0, 2, true, 85, 85, 85},
      {"4-bit grey+alpha 15", {0, 15}, 4, 4, true, 255, 255, 255},
      {"16-bit grey is not taken", {0x12, 0x34}, 0, 16, false, 0, 0, 0},
      {"grey level above its depth", {0, 4}, 0, 2, false, 0, 0, 0},
      {"grey at depth 0", {0, 0}, 0, 0, false, 0, 0, 0},
      {"grey bKGD of the wrong length", {0, 1, 0}, 0, 8, false, 0, 0, 0},
      {"RGB values unscaled", {0x01, 0x02, 0x03, 0x04, 0x05, 0x06}, 2, 8, true, 0x0102, 0x0304, 0x0506},
      {"RGB of a 16-bit image", {0, 1, 0, 2, 0, 3}, 2, 16, false, 0, 0, 0},
      {"palette index 1 drops alpha", {1}, 3, 8, true, 0xA0, 0xB0, 0xC0},
      {"palette index past the palette", {3}, 3, 8, false, 0, 0, 0},
      {"palette bKGD of grey length", {0, 1}, 3, 8, false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes raw = RawChunk("bKGD", c.data);
    uint16_t r = 0, g = 0, b = 0;
    EXPECT_EQ(PngChunk(raw.data()).GetBackgroundColor(c.colorType, c.bitDepth, 3, palette, r, g, b), c.expected);
    if (c.expected) {
      EXPECT_EQ((std::vector<uint16_t>{r, g, b}), (std::vector<uint16_t>{c.r, c.g, c.b}));
    }
  }
  uint16_t r = 0, g = 0, b = 0;
  Bytes gama = RawChunk("gAMA", {0, 0, 0, 1});
  EXPECT_FALSE(PngChunk(gama.data()).GetBackgroundColor(0, 8, 0, nullptr, r, g, b));
  Bytes index = RawChunk("bKGD", {0});
  EXPECT_FALSE(PngChunk(index.data()).GetBackgroundColor(3, 8, 4, nullptr, r, g, b));
  EXPECT_FALSE(PngChunk().GetBackgroundColor(2, 8, 0, nullptr, r, g, b));
}

// Palette entries are 0xFF000000 | i below the count, except entry 0: the
// wanted colour 0x0000FF but transparent, so a search that ignored alpha
// would stop there.
TEST(PngChunk, SetBackgroundColor) {
  struct Case {
    const char* name;
    char type[5];
    uint32_t length;
    int colorType, bitDepth, count;
    uint16_t r, g, b;
    bool stored;
    Bytes data;
    int countAfter, depthAfter;
  };
  const Case cases[] = {
      {"RGB keeps 16 bits", "bKGD", 6, 2, 16, 0, 0x1234, 0x00FF, 0xABCD, true, {0x12, 0x34, 0, 0xFF, 0xAB, 0xCD}, 0, 16},
      {"found at 255 of 256", "bKGD", 1, 3, 8, 256, 0, 0, 255, true, {255}, 256, 8},
      {"new colour, 254 entries", "bKGD", 1, 3, 8, 254, 0x1FF, 2, 3, true, {254}, 255, 8},
      {"new colour, 255 entries", "bKGD", 1, 3, 8, 255, 1, 2, 3, false, {0}, 255, 8},
      {"grey stores red at depth 8", "bKGD", 2, 4, 2, 0, 0xC8, 7, 9, true, {0, 0xC8}, 0, 8},
      {"index chunk, RGB image", "bKGD", 1, 2, 4, 0, 1, 2, 3, false, {0}, 0, 4},
      {"index chunk, grey image", "bKGD", 1, 0, 4, 0, 1, 2, 3, false, {0}, 0, 4},
      {"not a bKGD", "gAMA", 2, 0, 4, 0, 1, 2, 3, false, {0, 0}, 0, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint32_t> palette(256, 0);
    for (int i = 1; i < c.count; ++i) palette[i] = 0xFF000000u | static_cast<uint32_t>(i);
    palette[0] = 0x000000FF;
    const std::vector<uint32_t> before = palette;
    platform::RecordedMessageBoxes boxes;
    platform::ScopedMessageBoxSink scope(boxes);
    CreatedChunk created(c.type, c.length);
    int count = c.count, depth = c.bitDepth;
    EXPECT_EQ(created.record.SetBackgroundColor(c.r, c.g, c.b, count, palette.data(), c.colorType, depth), c.stored);
    EXPECT_EQ(created.Whole(), RawChunk(c.type, c.data));
    EXPECT_EQ(count, c.countAfter);
    EXPECT_EQ(depth, c.depthAfter);
    if (c.count == 254) {
      EXPECT_EQ(palette[254], 0xFFFF0203u);  // the low bytes of the components
    } else {
      EXPECT_EQ(palette, before);
    }
    if (c.count == 255) {
      ASSERT_EQ(boxes.Boxes(), (std::vector<platform::MessageBoxEntry>{
                                   {"No room in palette for selected color", "Palette overflow"}}));
    } else {
      EXPECT_EQ(boxes.TotalShown(), 0u);
    }
  }
  int count = 0, depth = 4;
  EXPECT_FALSE(PngChunk().SetBackgroundColor(1, 2, 3, count, nullptr, 0, depth));
}

// The store frees the block it held when given another (the sanitizer build
// catches a double free, a use after free or a leak), never the same one.
TEST(ChunkStore, HoldsOneBlockAndFreesTheOldOneOnReplacement) {
  chunks::ChunkStore store;
  EXPECT_FALSE(store.Holds(nullptr));
  uint8_t* first = chunks::AllocateChunkBytes(16);
  store.Set(first);
  store.Set(first);
  first[15] = 42;
  EXPECT_TRUE(store.Holds(first));
  store.Set(chunks::AllocateChunkBytes(8));
  EXPECT_FALSE(store.Holds(first));
  store.Clear();
  EXPECT_EQ(store.block(), nullptr);
  store.Set(chunks::AllocateChunkBytes(4));  // freed by the destructor
}

}  // namespace
