// Pieces the chunk fuzz targets share: an abort the fuzzer reports as a
// crash, and the release of a flattened chunk list.
#pragma once

#include <cstdlib>

#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ChunkList.h"

namespace chunk_fuzz {

inline void Check(bool condition) {
  if (!condition) std::abort();
}

// A flattened list owns one block holding every chunk (its first entry
// points at the start) and the array of pointers into it.
inline void FreeFlattened(const chunks::FlatChunks& flat) {
  if (flat.chunks != nullptr) chunks::FreeChunkBytes(flat.chunks[0]);
  chunks::FreeChunkArray(flat.chunks);
}

}  // namespace chunk_fuzz
