// The chunk record and its helpers: attaching and creating chunks, CRCs, the
// pHYs record, a bKGD's colour read and stored, the block store, and the
// one-line descriptions of chunks, byte for byte, that never read past a
// malformed chunk.
#include "common/pngchunks/PngChunk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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
  EXPECT_EQ(std::tuple(chunk.m_Length, chunk.type, chunk.crc), std::tuple(4u, MakeChunkType("gAMA"), Be32(raw.data() + 12)));
  chunk.Attach(nullptr);
  chunk.UpdateCrc();  // no chunk: nothing to do, nothing to crash on

  CreatedChunk created("tEXt", 3);
  ASSERT_NE(created.raw, nullptr);
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
  const Bytes expected = RawChunk("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x2E, 0x23, 1});
  EXPECT_EQ(Bytes(phys.m_pChunk, phys.m_pChunk + expected.size()), expected);
  uint32_t x = 0, y = 0;
  uint8_t unit = 0;
  ASSERT_TRUE(phys.Read(x, y, unit));
  EXPECT_EQ((std::vector<uint32_t>{x, y, unit}), (std::vector<uint32_t>{2835, 11811, 1}));
  Bytes shortPhys = RawChunk("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B});
  phys.Attach(shortPhys.data());
  EXPECT_FALSE(phys.Read(x, y, unit));
}

// Palette entries are 0xFF000000 | i below the count, except entry 0: the
// wanted colour 0x0000FF but transparent, so a search that ignored alpha
// would stop there.
TEST(PngChunk, SetBackgroundColor) {
  struct Case { const char* name; char type[5]; uint32_t length; int colorType, bitDepth, count; uint16_t r, g, b;
                bool stored; Bytes data; int countAfter, depthAfter; };
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
    std::vector<uint32_t> before = palette;
    platform::RecordedMessageBoxes boxes;
    platform::ScopedMessageBoxSink scope(boxes);
    CreatedChunk created(c.type, c.length);
    int count = c.count, depth = c.bitDepth;
    EXPECT_EQ(created.record.SetBackgroundColor(c.r, c.g, c.b, count, palette.data(), c.colorType, depth), c.stored);
    EXPECT_EQ(created.Whole(), RawChunk(c.type, c.data));
    EXPECT_EQ(count, c.countAfter);
    EXPECT_EQ(depth, c.depthAfter);
    if (c.count == 254) before[254] = 0xFFFF0203u;  // the low bytes of the components
    EXPECT_EQ(palette, before);
    const std::vector<platform::MessageBoxEntry> overflow = {{"No room in palette for selected color", "Palette overflow"}};
    EXPECT_EQ(boxes.Boxes(), c.count == 255 ? overflow : std::vector<platform::MessageBoxEntry>{});
  }
  int count = 0, depth = 4;
  uint16_t r = 0, g = 0, b = 0;
  EXPECT_FALSE(PngChunk().SetBackgroundColor(1, 2, 3, count, nullptr, 0, depth));
  EXPECT_FALSE(PngChunk().GetBackgroundColor(2, 8, 0, nullptr, r, g, b));
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

constexpr const char* kUntouched = "(untouched)";

Bytes Be32s(std::initializer_list<uint32_t> values, Bytes tail = {}) {
  Bytes out;
  for (uint32_t v : values)
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

Bytes Time(int year, int month, int day, int hour, int minute, int second) {
  return {uint8_t(year >> 8), uint8_t(year), uint8_t(month), uint8_t(day), uint8_t(hour), uint8_t(minute), uint8_t(second)};
}

TEST(Describe, EveryChunkTypeAndMalformedOnes) {
  struct Case { const char* type; Bytes data; const char* expected; };
  const Case cases[] = {
      {"pHYs", Be32s({2835, 2835}, {1}), "2835x2835 pixels per meter (72.0x72.0 dpi)"},
      {"pHYs", Be32s({11811, 3937}, {1}), "11811x3937 pixels per meter (300.0x100.0 dpi)"},
      {"pHYs", Be32s({1, 4}, {0}), "1x4 pixels per unknown unit"}, {"pHYs", Be32s({3, 2}, {2}), "3x2 pixels per unknown unit"},
      {"sPLT", Text("six-cube\0\x08\0\0\0\0\0\0"), "Suggested palette: six-cube"},
      {"hIST", {0, 1, 0, 2}, "Palette histogram"}, {"sBIT", {5, 5, 5}, "Significant bits"},
      {"vpAg", Bytes(9, 0), "ImageMagick: virtual page width/height"},
      {"cHRM", Be32s({31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000}),
       "WP(0.3127, 0.329), R(0.64, 0.33), G(0.3, 0.6), B(0.15, 0.06)"},
      {"cHRM", Be32s({1, 100000, 123456789, 3333333, 0, 99999, 50000, 7}),
       "WP(1e-05, 1), R(1234.57, 33.3333), G(0, 0.99999), B(0.5, 7e-05)"},
      {"iCCP", Text("sRGB IEC61966-2.1\0\0x\x9c"), "sRGB IEC61966-2.1"},
      {"tRNS", {0, 0}, "Alpha values"},
      {"tIME", Time(1999, 12, 31, 23, 59, 59), "Image last-modification time: 12/31/99 23:59:59 UTC"},
      {"tIME", Time(2024, 2, 29, 7, 5, 0), "Image last-modification time: 02/29/24 07:05:00 UTC"},
      {"tIME", Time(2016, 12, 31, 23, 59, 60), "Image last-modification time: 12/31/16 23:59:60 UTC"},
      {"tIME", Time(2023, 2, 29, 7, 5, 0), "Image last-modification time"},  // no such day: no date
      {"tIME", Time(2000, 13, 1, 0, 0, 0), "Image last-modification time"},
      {"tIME", Time(2000, 4, 30, 24, 0, 0), "Image last-modification time: 04/30/00 UTC"},  // no such hour
      {"gAMA", Be32s({45455}), "File gamma=0.45455"}, {"gAMA", Be32s({100000}), "File gamma=1.00000"},
      {"sRGB", {0}, "Perceptual"}, {"sRGB", {1}, "Relative colorimetric"}, {"sRGB", {2}, "Saturation"},
      {"sRGB", {3}, "Absolute colorimetric"}, {"sRGB", {4}, kUntouched},
      {"bKGD", {0, 1}, "Background color"},
      {"tEXt", Text("Title\0Sunset"), "Title=Sunset"},
      {"tEXt", Text("Comment\0two\0parts"), "Comment=two"},
      {"iTXt", Text("Author\0\0\0en\0\0Willem"), "Author"},
      {"zTXt", Text("Copyright\0\0x\x9c\x03\0"), "Copyright"},
      {"prIv", {1, 2, 3}, "Unrecognized private chunk"}, {"BKGD", {0}, "Unrecognized private chunk"},
      // Text chunks that lack the zero byte ending their keyword, and chunks
      // too short for their numbers: nothing past the data is read (each
      // chunk sits in a block of exactly its size for the sanitizer build).
      {"tEXt", Text("NoZeroByte"), "NoZeroByte="}, {"tEXt", {}, "="},
      {"sPLT", Text("unterminated"), "Suggested palette: unterminated"},
      {"iCCP", Text("ICC"), "ICC"},
      {"iTXt", {}, ""}, {"zTXt", Text("kw"), "kw"},
      {"pHYs", Bytes(8, 1), kUntouched}, {"cHRM", Bytes(31, 1), kUntouched}, {"tIME", Bytes(6, 1), kUntouched},
      {"gAMA", Bytes(3, 1), kUntouched}, {"sRGB", {}, kUntouched},
  };
  for (const Case& c : cases) {
    Bytes raw = RawChunk(c.type, c.data);
    char text[256];
    std::strcpy(text, kUntouched);
    EXPECT_TRUE(PngChunk(raw.data()).Describe(text, sizeof text)) << c.type;
    EXPECT_STREQ(text, c.expected) << c.type;
  }
  char keep[16] = "keep";  // no chunk: nothing described
  EXPECT_FALSE(PngChunk().Describe(keep, sizeof keep));
  EXPECT_STREQ(keep, "keep");
}

TEST(Describe, TextIsCutToTheBuffer) {
  Bytes longText(600, 'a');
  longText[5] = 0;
  Bytes raw = RawChunk("tEXt", longText);
  PngChunk chunk(raw.data());
  char text[256];
  std::memset(text, 'x', sizeof text);
  ASSERT_TRUE(chunk.Describe(text, 8));
  EXPECT_STREQ(text, "aaaaa=a");
  ASSERT_TRUE(chunk.Describe(text, sizeof text));
  EXPECT_EQ(std::strlen(text), 255u);
  ASSERT_TRUE(chunk.Describe(text, 1));
  EXPECT_STREQ(text, "");
  text[0] = 'q';
  ASSERT_TRUE(chunk.Describe(text, 0));
  EXPECT_EQ(text[0], 'q');
}

// Deeper than 8 bits, the values are described as zero.
TEST(DescribeBackground, ByColourTypeAndLength) {
  struct Case { Bytes data; int colorType, bitDepth; const char* expected; };  // expected null: false
  const Case cases[] = {
      {{0, 1, 0, 2, 0x01, 0x03}, 2, 8, "Background = r(1), g(2), b(259)"}, {{0, 1, 0, 2, 0x01, 0x03}, 6, 16, "Background = r(0), g(0), b(0)"},
      {{0, 1, 0, 2, 0x01, 0x03}, 3, 8, "Background = r(1), g(2), b(259)"}, {{255}, 3, 1, "Background = Palette index 255"},
      {{0, 1}, 0, 2, "Background = Gray 85"}, {{0, 15}, 4, 4, "Background = Gray 255"}, {{0xAB, 0x84}, 4, 16, "Background = Gray 0"},
      {{0, 16}, 0, 4, nullptr}, {{0, 1}, 0, 0, nullptr}, {{0, 1}, 3, 8, nullptr},
      {{1}, 0, 8, nullptr},     {{1}, 2, 8, nullptr},    {{0, 1}, 5, 8, nullptr},
  };
  for (const Case& c : cases) {
    Bytes raw = RawChunk("bKGD", c.data);
    char text[256] = "";
    EXPECT_EQ(PngChunk(raw.data()).DescribeBackground(text, sizeof text, c.colorType, c.bitDepth), c.expected != nullptr);
    EXPECT_STREQ(text, c.expected != nullptr ? c.expected : "") << c.colorType << "/" << c.bitDepth << " #" << c.data.size();
  }
  Bytes gama = RawChunk("gAMA", {0, 0, 0, 1});
  char text[256];
  EXPECT_FALSE(PngChunk(gama.data()).DescribeBackground(text, sizeof text, 0, 8));
  EXPECT_FALSE(PngChunk().DescribeBackground(text, sizeof text, 0, 8));
}

}  // namespace
