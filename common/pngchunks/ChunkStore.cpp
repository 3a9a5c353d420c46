#include "common/pngchunks/ChunkStore.h"

#include "common/pngchunks/ChunkBytes.h"

namespace chunks {

void ChunkStore::Set(uint8_t* block) {
  if (block == m_block) return;
  FreeChunkBytes(m_block);
  m_block = block;
}

}  // namespace chunks
