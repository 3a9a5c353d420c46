// The chunk scan shared by the open and the save: the ancillary chunks of a
// PNG file in memory are extracted into a job and copied into one block of
// their own, which the module's ChunkStore then owns, so that the job's
// chunk pointers stay valid after the file buffer is gone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/pngchunks/ChunkStore.h"

struct EncodeJob;

namespace host {

// What may become of the file buffer when the copy block cannot be had.
enum class FileBufferUse {
  MayBeKept,  // the store takes the file buffer itself (the save)
  MustStay,   // the caller still needs it: the job keeps no chunks (the open)
};

struct SourceImageInfo {
  uint8_t colorType = 255;  // 255 until known
  uint8_t bitDepth = 0;     // 0 until known
};

// Empties `store`, gives the job a fresh chunk array, runs ExtractChunks with
// "ALL" over the file bytes, and copies the kept chunks into a block that
// `store` takes.  Without kept chunks the job's array is freed and its
// bounds are 0.  Returns true when `store` took `file` itself (allocated
// with chunks::AllocateChunkBytes), in which case the caller must not free
// it.  Without memory for the pointer array the job keeps no chunks.
bool GatherSourceChunks(EncodeJob& job, uint8_t* file, size_t size, chunks::ChunkStore& store, FileBufferUse use,
                        SourceImageInfo& source);

}  // namespace host
