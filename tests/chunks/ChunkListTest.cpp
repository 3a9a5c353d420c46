#include "common/pngchunks/ChunkList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChunkBytesForTests.h"
#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ChunkStore.h"
#include "common/pngchunks/PngChunk.h"
#include "engine/EncodeJob.h"

namespace {

using chunks::AfterImageData;
using chunks::BeforeImageData;
using chunks::BeforePalette;
using chunks::ChunkGroup;
using chunks::ChunkList;
using chunks::ChunkRef;
using chunktest::Bytes;
using chunktest::RawChunk;
using chunktest::Text;

uint32_t SizeOf(const Bytes& raw) { return static_cast<uint32_t>(raw.size()); }

// Owns what Flatten hands over.
struct Flattened {
  chunks::FlatChunks flat;
  ~Flattened() {
    if (flat.chunks != nullptr) chunks::FreeChunkBytes(flat.chunks[0]);
    chunks::FreeChunkArray(flat.chunks);
  }
};

TEST(ChunkList, SecondGammaReplacesTheFirstInPlace) {
  Bytes srgb = RawChunk("sRGB", {0});
  Bytes gamma1 = RawChunk("gAMA", {0, 0, 0xB1, 0x8F});
  Bytes chrm = RawChunk("cHRM", Bytes(32, 1));
  Bytes gamma2 = RawChunk("gAMA", {0, 1, 0x86, 0xA0});
  ChunkList list;
  EXPECT_TRUE(list.Add(srgb.data(), 2));
  EXPECT_TRUE(list.Add(gamma1.data(), 2));
  EXPECT_TRUE(list.Add(chrm.data(), 2));
  EXPECT_TRUE(list.Add(gamma2.data(), 2));
  EXPECT_EQ(list.group(BeforePalette), (std::vector<uint8_t*>{srgb.data(), gamma2.data(), chrm.data()}));
  EXPECT_EQ(list.total(), SizeOf(srgb) + SizeOf(gamma2) + SizeOf(chrm));

  ChunkList alone;
  alone.Add(gamma1.data(), 0);
  alone.Add(gamma2.data(), 0);
  EXPECT_EQ(alone.group(BeforePalette), std::vector<uint8_t*>{gamma2.data()});
  EXPECT_EQ(alone.total(), SizeOf(gamma2));
}

TEST(ChunkList, ReplacementAdjustsTotalByTheSizeDifference) {
  Bytes icc1 = RawChunk("iCCP", Bytes(100, 'a'));
  Bytes icc2 = RawChunk("iCCP", Bytes(7, 'b'));
  ChunkList list;
  list.Add(icc1.data(), 0);
  list.Add(icc2.data(), 0);
  EXPECT_EQ(list.total(), SizeOf(icc2));
  list.Add(icc1.data(), 0);
  EXPECT_EQ(list.total(), SizeOf(icc1));
}

TEST(ChunkList, FilingByType) {
  struct Case {
    const char* type;
    int position;
    ChunkGroup group;
  };
  const Case cases[] = {
      {"iCCP", 2, BeforePalette}, {"gAMA", 1, BeforePalette},    {"sRGB", 2, BeforePalette},
      {"cHRM", 1, BeforePalette}, {"sBIT", 2, BeforePalette},    {"pHYs", 2, BeforePalette},
      {"sPLT", 2, BeforePalette}, {"bKGD", 0, BeforeImageData},  {"hIST", 2, BeforeImageData},
      {"tRNS", 0, BeforeImageData}, {"tEXt", 0, BeforePalette},  {"tEXt", 1, BeforeImageData},
      {"tEXt", 2, AfterImageData}, {"prIv", 7, AfterImageData},  {"vpAg", -1, AfterImageData},
      {"tIME", 0, BeforePalette},
  };
  for (const Case& c : cases) {
    Bytes raw = RawChunk(c.type, {1, 2});
    ChunkList list;
    list.Add(raw.data(), c.position);
    EXPECT_EQ(list.group(c.group), std::vector<uint8_t*>{raw.data()}) << c.type << " at " << c.position;
    EXPECT_EQ(list.count(), 1u);
    EXPECT_EQ(list.total(), SizeOf(raw));
  }
}

TEST(ChunkList, SuggestedPalettesAllStayInOrder) {
  Bytes splt1 = RawChunk("sPLT", Text("one"));
  Bytes splt2 = RawChunk("sPLT", Text("two"));
  ChunkList list;
  list.Add(splt1.data(), 2);
  list.Add(splt2.data(), 2);
  EXPECT_EQ(list.group(BeforePalette), (std::vector<uint8_t*>{splt1.data(), splt2.data()}));
  EXPECT_EQ(list.total(), SizeOf(splt1) + SizeOf(splt2));
}

TEST(ChunkList, TextAndPrivateChunksGoWhereTheyAreTold) {
  Bytes late = RawChunk("tEXt", Text("a\0b"));
  Bytes early = RawChunk("tEXt", Text("c\0d"));
  Bytes priv = RawChunk("prIv", {9});
  ChunkList list;
  list.Add(late.data(), 2);
  list.Add(early.data(), 0);
  list.Add(priv.data(), 7);
  EXPECT_EQ(list.group(AfterImageData), (std::vector<uint8_t*>{late.data(), priv.data()}));
  EXPECT_EQ(list.group(BeforePalette), std::vector<uint8_t*>{early.data()});
  EXPECT_TRUE(list.group(BeforeImageData).empty());
}

TEST(ChunkList, TimeReplacesOnlyATimeAfterTheImageData) {
  Bytes time1 = RawChunk("tIME", {7, 0xD0, 1, 1, 0, 0, 0});
  Bytes time2 = RawChunk("tIME", {7, 0xD1, 1, 1, 0, 0, 0});
  Bytes time3 = RawChunk("tIME", {7, 0xD2, 1, 1, 0, 0, 0});

  ChunkList early;
  early.Add(time1.data(), 0);
  early.Add(time2.data(), 0);
  EXPECT_EQ(early.group(BeforePalette), (std::vector<uint8_t*>{time1.data(), time2.data()}));

  ChunkList late;
  late.Add(time1.data(), 2);
  late.Add(time2.data(), 0);
  late.Add(time3.data(), 1);
  EXPECT_EQ(late.group(AfterImageData), std::vector<uint8_t*>{time3.data()});
  EXPECT_EQ(late.count(), 1u);
  EXPECT_EQ(late.total(), SizeOf(time3));
}

TEST(ChunkList, OnceOnlyChunksAfterThePaletteAreReplaced) {
  Bytes bkgd1 = RawChunk("bKGD", {1});
  Bytes hist = RawChunk("hIST", {0, 1});
  Bytes bkgd2 = RawChunk("bKGD", {0, 2});
  ChunkList list;
  list.Add(bkgd1.data(), 0);
  list.Add(hist.data(), 0);
  list.Add(bkgd2.data(), 2);
  EXPECT_EQ(list.group(BeforeImageData), (std::vector<uint8_t*>{bkgd2.data(), hist.data()}));
  EXPECT_EQ(list.total(), SizeOf(bkgd2) + SizeOf(hist));
}

TEST(ChunkList, NullChunkIsIgnored) {
  ChunkList list;
  EXPECT_TRUE(list.Add(nullptr, 0));
  EXPECT_EQ(list.count(), 0u);
  EXPECT_EQ(list.total(), 0u);
}

TEST(ChunkList, FlatteningAnEmptyListGivesNoArray) {
  ChunkList list;
  int pre = 9, mid = 9, post = 9, count = 9;
  uint8_t** array = chunks::AllocateChunkArray(4);  // an old array is freed
  ASSERT_NE(array, nullptr);
  EXPECT_TRUE(list.Flatten(pre, mid, post, count, array));
  EXPECT_EQ(pre, 0);
  EXPECT_EQ(mid, 0);
  EXPECT_EQ(post, 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(array, nullptr);
}

TEST(ChunkList, FlattenCopiesGroupsInOrderIntoOneBlock) {
  Bytes text = RawChunk("tEXt", Text("Title\0Sunset"));
  Bytes gamma = RawChunk("gAMA", {0, 0, 0xB1, 0x8F});
  Bytes bkgd = RawChunk("bKGD", {0, 1, 0, 2, 0, 3});
  Bytes splt = RawChunk("sPLT", Text("six-cube\0"));
  Bytes priv = RawChunk("prIv", {});
  ChunkList list;
  list.Add(text.data(), 2);
  list.Add(gamma.data(), 2);
  list.Add(bkgd.data(), 2);
  list.Add(splt.data(), 2);
  list.Add(priv.data(), 1);

  Flattened out;
  ASSERT_TRUE(list.Flatten(out.flat));
  const chunks::FlatChunks& flat = out.flat;
  EXPECT_EQ(flat.chunkpre, 0);
  EXPECT_EQ(flat.chunkmid, 2);
  EXPECT_EQ(flat.chunkpost, 4);
  EXPECT_EQ(flat.chunkcount, 5);
  const std::vector<const Bytes*> expected = {&gamma, &splt, &bkgd, &priv, &text};
  const uint8_t* next = flat.chunks[0];
  for (int i = 0; i < flat.chunkcount; ++i) {
    EXPECT_EQ(flat.chunks[i], next) << i;  // one after another in one block
    const Bytes& raw = *expected[i];
    EXPECT_EQ(Bytes(flat.chunks[i], flat.chunks[i] + raw.size()), raw) << i;
    EXPECT_TRUE(chunktest::CrcIsValid(flat.chunks[i])) << i;
    next += raw.size();
  }
  EXPECT_EQ(static_cast<uint32_t>(next - flat.chunks[0]), list.total());
}

TEST(ChunkList, ListFlattenedGivesTheChunksBackWithTheirGroups) {
  Bytes a = RawChunk("gAMA", {0, 0, 0, 1});
  Bytes b = RawChunk("bKGD", {3});
  Bytes c = RawChunk("tEXt", Text("k\0v"));
  Bytes d = RawChunk("zTXt", Text("k\0\0x"));
  uint8_t* array[4] = {a.data(), b.data(), c.data(), d.data()};
  EXPECT_EQ(ChunkList::ListFlattened(0, 1, 2, 4, array),
            (std::vector<ChunkRef>{{a.data(), BeforePalette}, {b.data(), BeforeImageData},
                                   {c.data(), AfterImageData}, {d.data(), AfterImageData}}));
  EXPECT_TRUE(ChunkList::ListFlattened(0, 0, 0, 0, nullptr).empty());
  EXPECT_TRUE(ChunkList::ListFlattened(0, 2, 2, 2, nullptr).empty());
}

// The write path's round: the job's chunks listed, re-added, a resolution
// chunk added, flattened back into the job and handed to the store.
TEST(ChunkList, RoundTripThroughTheJobReplacesTheResolution) {
  Bytes gamma = RawChunk("gAMA", {0, 0, 0xB1, 0x8F});
  Bytes physOld = RawChunk("pHYs", {0, 0, 0, 1, 0, 0, 0, 1, 0});
  Bytes text = RawChunk("tEXt", Text("a\0b"));
  EncodeJob job{};
  job.chunks = chunks::AllocateChunkArray(3);
  ASSERT_NE(job.chunks, nullptr);
  job.chunks[0] = gamma.data();
  job.chunks[1] = physOld.data();
  job.chunks[2] = text.data();
  job.chunkmid = 2;
  job.chunkpost = 2;
  job.chunkcount = 3;

  ChunkList list;
  for (const ChunkRef& ref : ChunkList::ListFlattened(job)) list.Add(ref.chunk, ref.group);
  chunks::PhysChunk phys(2835, 2835, 1);
  list.Add(phys.m_pChunk, 0);
  chunks::ChunkStore store;
  ASSERT_TRUE(list.Flatten(job));
  store.Set(job.chunks[0]);
  EXPECT_TRUE(store.Holds(job.chunks[0]));

  ASSERT_EQ(job.chunkcount, 3);
  EXPECT_EQ(job.chunkmid, 2);
  EXPECT_EQ(job.chunkpost, 2);
  EXPECT_EQ(chunktest::TypeOf(job.chunks[0]), "gAMA");
  EXPECT_EQ(Bytes(job.chunks[1], job.chunks[1] + 21), chunktest::RawChunk("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x13, 1}));
  EXPECT_EQ(chunktest::TypeOf(job.chunks[2]), "tEXt");
  chunks::FreeChunkArray(job.chunks);
}

}  // namespace
