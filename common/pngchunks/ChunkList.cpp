#include "common/pngchunks/ChunkList.h"

#include <algorithm>
#include <cstring>

#include "common/pngchunks/ChunkAssert.h"
#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ChunkTypes.h"
#include "engine/EncodeJob.h"

namespace chunks {
namespace {

uint32_t LengthOf(const uint8_t* raw) { return ReadBe32(raw); }
ChunkType TypeOf(const uint8_t* raw) { return ReadChunkType(raw + 4); }
uint64_t SizeOf(const uint8_t* raw) { return RawChunkSize(LengthOf(raw)); }

bool IsOneOf(ChunkType type, std::initializer_list<ChunkType> types) {
  return std::find(types.begin(), types.end(), type) != types.end();
}

ChunkGroup GroupOfPosition(int position) {
  if (position == BeforePalette) return BeforePalette;
  if (position == BeforeImageData) return BeforeImageData;
  return AfterImageData;
}

}  // namespace

bool ChunkList::Add(uint8_t* raw, int position) {
  if (raw == nullptr) return true;
  const ChunkType type = TypeOf(raw);
  if (IsOneOf(type, {kICCP, kGAMA, kSRGB, kCHRM, kSBIT, kPHYS})) {
    ReplaceOrAppend(BeforePalette, raw);
  } else if (type == kSPLT) {
    Append(BeforePalette, raw);
  } else if (IsOneOf(type, {kBKGD, kHIST, kTRNS})) {
    ReplaceOrAppend(BeforeImageData, raw);
  } else if (type == kTIME) {
    if (!Replace(AfterImageData, raw)) Append(GroupOfPosition(position), raw);
  } else {
    Append(GroupOfPosition(position), raw);
  }
  return true;
}

void ChunkList::Append(ChunkGroup g, uint8_t* raw) {
  m_groups[g].push_back(raw);
  m_total += static_cast<uint32_t>(SizeOf(raw));
}

void ChunkList::ReplaceOrAppend(ChunkGroup g, uint8_t* raw) {
  if (!Replace(g, raw)) Append(g, raw);
}

bool ChunkList::Replace(ChunkGroup g, uint8_t* raw) {
  const ChunkType type = TypeOf(raw);
  for (uint8_t*& held : m_groups[g]) {
    if (TypeOf(held) == type) {
      m_total = m_total - static_cast<uint32_t>(SizeOf(held)) + static_cast<uint32_t>(SizeOf(raw));
      held = raw;
      return true;
    }
  }
  return false;
}

size_t ChunkList::count() const {
  return m_groups[0].size() + m_groups[1].size() + m_groups[2].size();
}

bool ChunkList::Flatten(int& chunkpre, int& chunkmid, int& chunkpost, int& chunkcount,
                        uint8_t**& chunks) const {
  chunkpre = chunkmid = chunkpost = chunkcount = 0;
  if (chunks != nullptr) {
    FreeChunkArray(chunks);
    chunks = nullptr;
  }
  const size_t n = count();
  if (n == 0) return true;

  // The block size is summed afresh rather than taken from m_total, so that
  // the copy below can never outrun the allocation even if a list of more
  // than 4 GiB of chunks had wrapped the 32-bit total.
  uint64_t blockSize = 0;
  for (const auto& list : m_groups) {
    for (const uint8_t* raw : list) blockSize += SizeOf(raw);
  }
  if (blockSize > SIZE_MAX || n > static_cast<size_t>(INT32_MAX)) return false;
  uint8_t** array = AllocateChunkArray(n);
  uint8_t* block = AllocateChunkBytes(static_cast<size_t>(blockSize));
  if (array == nullptr || block == nullptr) {
    FreeChunkArray(array);
    FreeChunkBytes(block);
    return false;
  }

  size_t index = 0;
  size_t offset = 0;
  for (const auto& list : m_groups) {
    for (const uint8_t* raw : list) {
      const size_t size = static_cast<size_t>(SizeOf(raw));
      std::memcpy(block + offset, raw, size);
      array[index++] = block + offset;
      offset += size;
    }
  }
  CHUNK_ASSERT(index == n);
  CHUNK_ASSERT(offset == blockSize);

  chunkmid = static_cast<int>(m_groups[0].size());
  chunkpost = chunkmid + static_cast<int>(m_groups[1].size());
  chunkcount = static_cast<int>(n);
  chunks = array;
  return true;
}

bool ChunkList::Flatten(FlatChunks& flat) const {
  return Flatten(flat.chunkpre, flat.chunkmid, flat.chunkpost, flat.chunkcount, flat.chunks);
}

bool ChunkList::Flatten(EncodeJob& job) const {
  return Flatten(job.chunkpre, job.chunkmid, job.chunkpost, job.chunkcount, job.chunks);
}

std::vector<ChunkRef> ChunkList::ListFlattened(int chunkpre, int chunkmid, int chunkpost,
                                               int chunkcount, uint8_t* const* chunks) {
  std::vector<ChunkRef> refs;
  if (chunks == nullptr) return refs;
  const int bounds[4] = {chunkpre, chunkmid, chunkpost, chunkcount};
  for (int g = 0; g < 3; ++g) {
    for (int i = std::max(bounds[g], 0); i < bounds[g + 1]; ++i) {
      if (chunks[i] != nullptr) refs.push_back({chunks[i], static_cast<ChunkGroup>(g)});
    }
  }
  return refs;
}

std::vector<ChunkRef> ChunkList::ListFlattened(const EncodeJob& job) {
  return ListFlattened(job.chunkpre, job.chunkmid, job.chunkpost, job.chunkcount, job.chunks);
}

}  // namespace chunks
