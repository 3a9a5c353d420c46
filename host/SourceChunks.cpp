#include "host/SourceChunks.h"

#include <cstring>

#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ExtractChunks.h"
#include "engine/EncodeJob.h"

namespace host {

namespace {

void DropChunks(EncodeJob& job) {
  chunks::FreeChunkArray(job.chunks);
  job.chunks = nullptr;
  job.chunkpre = job.chunkmid = job.chunkpost = job.chunkcount = 0;
}

size_t RawSize(const uint8_t* chunk) { return size_t{chunks::ReadBe32(chunk)} + 12; }

}  // namespace

bool GatherSourceChunks(EncodeJob& job, uint8_t* file, size_t size, chunks::ChunkStore& store, FileBufferUse use,
                        SourceImageInfo& source) {
  store.Clear();
  chunks::FreeChunkArray(job.chunks);
  job.chunks = chunks::AllocateChunkArray(chunks::kMaxExtractedChunks);
  // Without even the pointer array the file is read as if there were none.
  if (job.chunks == nullptr) {
    DropChunks(job);
    return false;
  }
  chunks::ExtractChunks(job, file, size, "ALL", source.colorType, source.bitDepth);
  if (job.chunkcount <= 0) {
    DropChunks(job);
    return false;
  }
  size_t total = 0;
  for (int i = 0; i < job.chunkcount; ++i) total += RawSize(job.chunks[i]);
  uint8_t* block = chunks::AllocateChunkBytes(total);
  if (block == nullptr) {
    if (use == FileBufferUse::MustStay) {
      DropChunks(job);
      return false;
    }
    // The pointers already point into the file buffer: keep it alive instead.
    store.Set(file);
    return true;
  }
  uint8_t* cursor = block;
  for (int i = 0; i < job.chunkcount; ++i) {
    const size_t length = RawSize(job.chunks[i]);
    std::memcpy(cursor, job.chunks[i], length);
    job.chunks[i] = cursor;
    cursor += length;
  }
  store.Set(block);
  return false;
}

}  // namespace host
