#include "common/pngchunks/ChunkStore.h"

#include <gtest/gtest.h>

#include "common/pngchunks/ChunkBytes.h"

namespace {

// Frees are checked by the sanitizer build: a block freed twice, or read
// after the store let it go, fails there; a block never freed leaks.
TEST(ChunkStore, HoldsOneBlockAndFreesTheOldOneOnReplacement) {
  chunks::ChunkStore store;
  EXPECT_EQ(store.block(), nullptr);
  EXPECT_FALSE(store.Holds(nullptr));

  uint8_t* first = chunks::AllocateChunkBytes(16);
  store.Set(first);
  EXPECT_TRUE(store.Holds(first));

  store.Set(first);  // the same block again must stay alive
  first[15] = 42;
  EXPECT_EQ(first[15], 42);

  uint8_t* second = chunks::AllocateChunkBytes(8);
  store.Set(second);
  EXPECT_TRUE(store.Holds(second));
  EXPECT_FALSE(store.Holds(first));

  store.Clear();
  EXPECT_EQ(store.block(), nullptr);

  store.Set(chunks::AllocateChunkBytes(4));  // freed by the destructor
}

}  // namespace
