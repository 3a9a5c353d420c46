// The chunk selection below the Keep Chunks dialog: what the dialog suite
// cannot reach (unreadable backgrounds, a copy's own chunks, a second pick)
// and the flattening of kept items.
#include "common/VELKORPSUI/ChunkSelection.h"

#include <gtest/gtest.h>

#include <memory>

#include "chunks/ChunkBytesForTests.h"
#include "common/pngchunks/ChunkBytes.h"
#include "engine/EncodeJob.h"

using chunktest::Be32;
using chunktest::Bytes;
using chunktest::RawChunk;
using chunktest::TypeOf;

namespace {

// A job whose kept chunks are given per group, each chunk in its own block.
struct JobWithChunks {
  std::vector<Bytes> blocks;
  std::vector<uint8_t*> array;
  std::vector<uint32_t> palette = std::vector<uint32_t>(256, 0);
  EncodeJob job{};

  JobWithChunks(std::vector<std::vector<std::pair<const char*, Bytes>>> groups, int palcount = 0) {
    int bound[4] = {0, 0, 0, 0};
    for (size_t g = 0; g < 3; ++g) {
      for (const auto& [type, data] : groups[g]) blocks.push_back(RawChunk(type, data));
      bound[g + 1] = static_cast<int>(blocks.size());
    }
    for (Bytes& block : blocks) array.push_back(block.data());
    job.chunkpre = bound[0];
    job.chunkmid = bound[1];
    job.chunkpost = bound[2];
    job.chunkcount = bound[3];
    job.chunks = array.data();
    job.pal = palette.data();
    job.palcount = palcount;
  }
};

std::vector<std::string> Types(const ChunkSelection& s) {
  std::vector<std::string> types;
  for (const ChunkItem& item : s.m_items) types.push_back(TypeOf(item.chunk) + (item.keep ? "+" : "-"));
  return types;
}

Bytes ChunkBytes(const uint8_t* raw) { return Bytes(raw, raw + Be32(raw) + 12); }

KeepList ListOf(std::initializer_list<const char*> entries) {
  KeepList list;
  for (const char* entry : entries) list.Append(entry);
  return list;
}

struct FlatOwner {
  chunks::FlatChunks flat;
  ~FlatOwner() {
    if (flat.chunks != nullptr) {
      chunks::FreeChunkBytes(flat.chunks[0]);
      chunks::FreeChunkArray(flat.chunks);
    }
  }
};

}  // namespace

TEST(ChunkSelection, BuildLeavesOutABackgroundItCannotRead) {
  struct Case { Bytes data; uint8_t colorType, bitDepth; int palcount; };
  for (const Case& c : std::vector<Case>{{{5}, 3, 8, 2},          // index past the palette
                                         {{0, 1}, 0, 16, 0},      // grey at 16 bits
                                         {{0, 1, 0, 2, 0, 3}, 2, 16, 0}}) {
    JobWithChunks source({{}, {{"bKGD", c.data}}, {}}, c.palcount);
    const ChunkSelection s = ChunkSelection::Build(source.job, c.colorType, c.bitDepth);
    EXPECT_TRUE(s.m_items.empty()) << int(c.colorType);
    EXPECT_EQ(s.m_background, 0u);
  }
}

TEST(ChunkSelection, ApplyKeepList) {
  struct Case { KeepList list; std::vector<std::string> types; std::string text; };
  KeepList all;
  all.SetAll();
  for (const Case& c : std::vector<Case>{
           {KeepList{}, {"tEXt-", "zTXt-", "vpAg-", "tEXt-"}, ""},
           {all, {"tEXt+", "zTXt+", "vpAg+", "tEXt+"}, "ALL,"},
           {ListOf({"tEXt"}), {"tEXt+", "zTXt-", "vpAg-", "tEXt+"}, "tEXt,"},
           {ListOf({"vpAg", "gIFx", "zTXt"}), {"tEXt-", "zTXt+", "vpAg+", "tEXt-"}, "vpAg,gIFx,zTXt,"},
           {ListOf({"vpAg,gIFx"}), {"tEXt-", "zTXt-", "vpAg-", "tEXt-"}, "vpAg,gIFx,"},
       }) {
    JobWithChunks source({{}, {}, {{"tEXt", {}}, {"zTXt", {}}, {"vpAg", {}}, {"tEXt", {}}}});
    ChunkSelection s = ChunkSelection::Build(source.job, 2, 8);
    s.ApplyKeepList(all);  // a later list replaces every flag
    s.ApplyKeepList(c.list);
    EXPECT_EQ(Types(s), c.types) << c.text;
    EXPECT_EQ(s.m_keepText, c.text);
  }
}

TEST(ChunkSelection, SetBackgroundWithoutBkgdAppendsAnRgbOne) {
  JobWithChunks source({{{"gAMA", {0, 0, 0xB1, 0x8F}}}, {}, {}});
  ChunkSelection s = ChunkSelection::Build(source.job, 255, 0);
  const uint8_t* created = s.SetBackground(0x12, 0x34, 0x56);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(Types(s), (std::vector<std::string>{"gAMA-", "bKGD-"}));
  EXPECT_EQ(s.m_items[1].chunk, created);
  EXPECT_EQ(s.m_items[1].group, chunks::BeforePalette);
  EXPECT_EQ(ChunkBytes(created), RawChunk("bKGD", {0, 0x12, 0, 0x34, 0, 0x56}));
  EXPECT_EQ(s.m_background, 0xFF123456u);
  // A second pick reuses the chunk the first one made.
  EXPECT_EQ(s.SetBackground(1, 2, 3), created);
  EXPECT_EQ(ChunkBytes(created), RawChunk("bKGD", {0, 1, 0, 2, 0, 3}));
  EXPECT_EQ(s.m_items.size(), 2u);
}

// The source file's own bKGD, whatever its length, is replaced by a chunk
// of the selection's, never written into.
TEST(ChunkSelection, SetBackgroundReplacesASourceBkgdWithoutTouchingIt) {
  struct Case { Bytes data; uint8_t colorType, bitDepth; };
  for (const Case& c : std::vector<Case>{{{1}, 3, 8}, {{0, 3}, 0, 2}, {{0, 9, 0, 8, 0, 7}, 2, 8}}) {
    JobWithChunks source({{}, {{"bKGD", c.data}, {"hIST", {0, 1, 0, 1}}}, {}}, 2);
    const Bytes original = source.blocks[0];
    ChunkSelection s = ChunkSelection::Build(source.job, c.colorType, c.bitDepth);
    s.m_items[0].keep = 1;
    const uint8_t* created = s.SetBackground(0xAA, 0xBB, 0xCC);
    ASSERT_NE(created, nullptr);
    EXPECT_NE(created, source.blocks[0].data());
    EXPECT_EQ(s.m_items[0], (ChunkItem{const_cast<uint8_t*>(created), chunks::BeforeImageData, 1}));
    EXPECT_EQ(ChunkBytes(created), RawChunk("bKGD", {0, 0xAA, 0, 0xBB, 0, 0xCC}));
    EXPECT_EQ(source.blocks[0], original) << int(c.colorType);
  }
}

TEST(ChunkSelection, ACopyOwnsItsOwnCreatedChunks) {
  JobWithChunks source({{}, {}, {}});
  auto original = std::make_unique<ChunkSelection>(ChunkSelection::Build(source.job, 2, 8));
  original->SetBackground(1, 1, 1);
  ChunkSelection copy = *original;
  ASSERT_EQ(copy.m_items.size(), 1u);
  EXPECT_NE(copy.m_items[0].chunk, original->m_items[0].chunk);
  // The dialog picks in its copy; the original keeps its colour.
  copy.SetBackground(9, 9, 9);
  EXPECT_EQ(ChunkBytes(original->m_items[0].chunk), RawChunk("bKGD", {0, 1, 0, 1, 0, 1}));
  original.reset();  // the copy's chunk outlives the original (ASan checks)
  EXPECT_EQ(ChunkBytes(copy.m_items[0].chunk), RawChunk("bKGD", {0, 9, 0, 9, 0, 9}));
  // Copying back on OK.
  ChunkSelection back;
  back = copy;
  EXPECT_TRUE(back.Owns(back.m_items[0].chunk));
  EXPECT_FALSE(back.Owns(copy.m_items[0].chunk));
}

TEST(ChunkSelection, BuildKeptChunksFlattensKeptItemsIntoTheirGroups) {
  JobWithChunks source({{{"gAMA", {0, 0, 0xB1, 0x8F}}, {"pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x13, 1}}},
                        {{"bKGD", {1}}},
                        {{"tEXt", chunktest::Text("k\0v")}, {"vpAg", {1, 2}}}},
                       2);
  source.palette[1] = 0xFF808080;
  ChunkSelection s = ChunkSelection::Build(source.job, 3, 8);
  s.ApplyKeepList(ListOf({"pHYs", "vpAg"}));
  FlatOwner out;
  ASSERT_TRUE(s.BuildKeptChunks(out.flat));
  EXPECT_EQ((std::vector<int>{out.flat.chunkpre, out.flat.chunkmid, out.flat.chunkpost, out.flat.chunkcount}),
            (std::vector<int>{0, 1, 1, 2}));
  EXPECT_EQ(ChunkBytes(out.flat.chunks[0]), source.blocks[1]);
  EXPECT_EQ(ChunkBytes(out.flat.chunks[1]), source.blocks[4]);
  EXPECT_EQ(s.m_background, 0u) << "no bKGD kept, no background";
}

TEST(ChunkSelection, BuildKeptChunksWritesThePickedColourIntoTheKeptCopy) {
  JobWithChunks source({{}, {{"bKGD", {0}}}, {}}, 1);
  source.palette[0] = 0xFF000000;
  const Bytes original = source.blocks[0];
  ChunkSelection s = ChunkSelection::Build(source.job, 3, 8);
  s.m_items[0].keep = 1;
  s.m_background = 0xFF0000FF;  // as a dialog leaves it
  FlatOwner out;
  ASSERT_TRUE(s.BuildKeptChunks(out.flat));
  ASSERT_EQ(out.flat.chunkcount, 1);
  // Blue was not in the one-entry palette: it is appended and indexed.
  EXPECT_EQ(ChunkBytes(out.flat.chunks[0]), RawChunk("bKGD", {1}));
  EXPECT_EQ(source.palette[1], 0xFF0000FFu);
  EXPECT_EQ(s.m_paletteCount, 2);
  EXPECT_EQ(s.m_background, 0xFF0000FFu);
  EXPECT_EQ(source.blocks[0], original);
}
