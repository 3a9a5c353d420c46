// ChunkStore owns the one block of chunk bytes that an encoding job's chunk
// pointers point into while a save is prepared and run: the flattened chunk
// block, or as a fallback the whole source file buffer the pointers were
// taken from.  Handing it a new block frees the old one, unless it is the
// same block (the write path may hand over a block the store already holds);
// handing it nothing frees the block.  The frame keeps one store per module
// and empties it at the end of every read and write call, so chunk bytes
// never outlive the call that read them.
#pragma once

#include <cstdint>

namespace chunks {

class ChunkStore {
 public:
  ChunkStore() = default;
  ~ChunkStore() { Set(nullptr); }
  ChunkStore(const ChunkStore&) = delete;
  ChunkStore& operator=(const ChunkStore&) = delete;

  // Takes ownership of `block` (from AllocateChunkBytes or the same
  // allocator), freeing the block held before unless it is the same one.
  void Set(uint8_t* block);
  void Clear() { Set(nullptr); }

  uint8_t* block() const { return m_block; }
  bool Holds(const uint8_t* block) const { return block != nullptr && block == m_block; }

 private:
  uint8_t* m_block = nullptr;
};

}  // namespace chunks
