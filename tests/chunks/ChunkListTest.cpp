// The chunk list: where each chunk is filed, which chunks replace an earlier
// one in place, and flattening into one block and back.
#include "common/pngchunks/ChunkList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChunkBytesForTests.h"
#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ChunkStore.h"
#include "common/pngchunks/PngChunk.h"

namespace {

using chunks::AfterImageData;
using chunks::BeforeImageData;
using chunks::BeforePalette;
using chunks::ChunkList;
using chunks::ChunkRef;
using namespace chunktest;

using Group = std::vector<uint8_t*>;

uint32_t SizeOf(const Bytes& raw) { return static_cast<uint32_t>(raw.size()); }

TEST(ChunkList, FilingByTypeAndPosition) {
  struct Case { const char* type; int position; chunks::ChunkGroup group; };
  const Case cases[] = {
      {"iCCP", 2, BeforePalette},    {"gAMA", 1, BeforePalette},   {"sRGB", 2, BeforePalette},
      {"cHRM", 1, BeforePalette},    {"sBIT", 2, BeforePalette},   {"pHYs", 2, BeforePalette},
      {"sPLT", 2, BeforePalette},    {"bKGD", 0, BeforeImageData}, {"hIST", 2, BeforeImageData},
      {"tRNS", 0, BeforeImageData},  {"tEXt", 0, BeforePalette},   {"tEXt", 1, BeforeImageData},
      {"tEXt", 2, AfterImageData},   {"prIv", 7, AfterImageData},  {"prIv", 1, BeforeImageData},
      {"vpAg", -1, AfterImageData},  {"tIME", 0, BeforePalette},
  };
  for (const Case& c : cases) {
    Bytes raw = RawChunk(c.type, {1, 2});
    ChunkList list;
    EXPECT_TRUE(list.Add(raw.data(), c.position));
    EXPECT_EQ(list.group(c.group), Group{raw.data()}) << c.type << " at " << c.position;
    EXPECT_EQ(std::pair(list.count(), list.total()), std::pair(size_t{1}, SizeOf(raw)));
  }
  ChunkList empty;
  EXPECT_TRUE(empty.Add(nullptr, 0));
  EXPECT_EQ(empty.count(), 0u);
}

// A second gAMA, iCCP or pHYs takes the first one's place (and the total
// follows the size difference); suggested palettes all stay, in order.
TEST(ChunkList, OnceOnlyChunksReplaceInPlace) {
  Bytes srgb = RawChunk("sRGB", {0}), chrm = RawChunk("cHRM", Bytes(32, 1));
  Bytes gamma1 = RawChunk("gAMA", {0, 0, 0xB1, 0x8F}), gamma2 = RawChunk("gAMA", {0, 1, 0x86, 0xA0});
  Bytes icc1 = RawChunk("iCCP", Bytes(100, 'a')), icc2 = RawChunk("iCCP", Bytes(7, 'b'));
  Bytes splt1 = RawChunk("sPLT", Text("one")), splt2 = RawChunk("sPLT", Text("two"));
  Bytes phys1 = RawChunk("pHYs", {0, 0, 0, 1, 0, 0, 0, 1, 0});
  chunks::PhysChunk phys2(2835, 2835, 1);
  ChunkList list;
  for (Bytes* raw : {&srgb, &gamma1, &icc1, &phys1, &splt1, &chrm, &gamma2, &splt2, &icc2}) list.Add(raw->data(), 2);
  list.Add(phys2.m_pChunk, 0);
  EXPECT_EQ(list.group(BeforePalette), (Group{srgb.data(), gamma2.data(), icc2.data(), phys2.m_pChunk, splt1.data(),
                                              chrm.data(), splt2.data()}));
  EXPECT_EQ(list.total(),
            SizeOf(srgb) + SizeOf(gamma2) + SizeOf(icc2) + SizeOf(phys1) + SizeOf(splt1) + SizeOf(chrm) + SizeOf(splt2));

  // bKGD is once-only too, whatever position the second one comes with.
  Bytes bkgd1 = RawChunk("bKGD", {1}), hist = RawChunk("hIST", {0, 1}), bkgd2 = RawChunk("bKGD", {0, 2});
  ChunkList after;
  after.Add(bkgd1.data(), 0);
  after.Add(hist.data(), 0);
  after.Add(bkgd2.data(), 2);
  EXPECT_EQ(after.group(BeforeImageData), (Group{bkgd2.data(), hist.data()}));
  EXPECT_EQ(after.total(), SizeOf(bkgd2) + SizeOf(hist));
}

// Only a tIME after the image data is replaced; earlier ones pile up.
TEST(ChunkList, TimeReplacesOnlyATimeAfterTheImageData) {
  Bytes time1 = RawChunk("tIME", {7, 0xD0, 1, 1, 0, 0, 0}), time2 = RawChunk("tIME", {7, 0xD1, 1, 1, 0, 0, 0});
  Bytes time3 = RawChunk("tIME", {7, 0xD2, 1, 1, 0, 0, 0});
  ChunkList early;
  early.Add(time1.data(), 0);
  early.Add(time2.data(), 0);
  EXPECT_EQ(early.group(BeforePalette), (Group{time1.data(), time2.data()}));

  ChunkList late;
  late.Add(time1.data(), 2);
  late.Add(time2.data(), 0);
  late.Add(time3.data(), 1);
  EXPECT_EQ(late.group(AfterImageData), Group{time3.data()});
  EXPECT_EQ(late.count(), 1u);
  EXPECT_EQ(late.total(), SizeOf(time3));
}

TEST(ChunkList, FlatteningAnEmptyListGivesNoArray) {
  EncodeJob job{};
  job.chunkmid = job.chunkpost = job.chunkcount = 9;
  job.chunks = chunks::AllocateChunkArray(4);  // an old array is freed
  ASSERT_NE(job.chunks, nullptr);
  EXPECT_TRUE(ChunkList().Flatten(job));
  EXPECT_EQ((std::vector<int>{job.chunkpre, job.chunkmid, job.chunkpost, job.chunkcount}), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(job.chunks, nullptr);
}

TEST(ChunkList, FlattenCopiesGroupsInOrderIntoOneBlockAndListsThemBack) {
  Bytes text = RawChunk("tEXt", Text("Title\0Sunset")), gamma = RawChunk("gAMA", {0, 0, 0xB1, 0x8F});
  Bytes bkgd = RawChunk("bKGD", {0, 1, 0, 2, 0, 3}), splt = RawChunk("sPLT", Text("six-cube\0")), priv = RawChunk("prIv", {});
  ChunkList list;
  for (Bytes* raw : {&text, &gamma, &bkgd, &splt}) list.Add(raw->data(), 2);
  list.Add(priv.data(), 1);

  chunks::FlatChunks flat;
  ASSERT_TRUE(list.Flatten(flat));
  chunks::ChunkStore store;  // frees the block
  store.Set(flat.chunks[0]);
  EXPECT_EQ((std::vector<int>{flat.chunkpre, flat.chunkmid, flat.chunkpost, flat.chunkcount}), (std::vector<int>{0, 2, 4, 5}));
  const std::vector<const Bytes*> expected = {&gamma, &splt, &bkgd, &priv, &text};
  const uint8_t* next = flat.chunks[0];
  for (int i = 0; i < flat.chunkcount; ++i) {
    EXPECT_EQ(flat.chunks[i], next) << i;  // one after another in one block, CRCs unchanged
    EXPECT_EQ(Bytes(flat.chunks[i], flat.chunks[i] + expected[i]->size()), *expected[i]) << i;
    next += expected[i]->size();
  }
  EXPECT_EQ(static_cast<uint32_t>(next - flat.chunks[0]), list.total());

  EXPECT_EQ(ChunkList::ListFlattened(flat.chunkpre, flat.chunkmid, flat.chunkpost, flat.chunkcount, flat.chunks),
            (std::vector<ChunkRef>{{flat.chunks[0], BeforePalette}, {flat.chunks[1], BeforePalette},
                                   {flat.chunks[2], BeforeImageData}, {flat.chunks[3], BeforeImageData},
                                   {flat.chunks[4], AfterImageData}}));
  EXPECT_TRUE(ChunkList::ListFlattened(0, 2, 2, 2, nullptr).empty());
  chunks::FreeChunkArray(flat.chunks);
}

}  // namespace
