// Byte-level helpers of the chunk model: big-endian fields, the PNG CRC-32,
// and the allocator that every chunk block and chunk pointer array of the
// model comes from.
//
// One allocator matters because ownership of these blocks travels: a block
// that Flatten or PngChunk::Create allocates is freed later by ChunkStore, by
// the write path or by the dialog, and a pointer array that the write path
// allocates for ExtractChunks is freed by Flatten.  Every one of them goes
// back through FreeChunkBytes or FreeChunkArray.
//
// The CRC table is computed at compile time, so it needs neither a lock nor
// a first-use flag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace chunks {

inline uint32_t ReadBe32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

inline uint16_t ReadBe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

inline void WriteBe32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value >> 24);
  p[1] = static_cast<uint8_t>(value >> 16);
  p[2] = static_cast<uint8_t>(value >> 8);
  p[3] = static_cast<uint8_t>(value);
}

inline void WriteBe16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value >> 8);
  p[1] = static_cast<uint8_t>(value);
}

// CRC-32 of PNG and zlib (reflected polynomial 0xEDB88320, initial value all
// ones, final complement) over `size` bytes.
uint32_t ChunkCrc(const uint8_t* data, size_t size);

// Zero-filled bytes; null when the allocation fails or `size` is 0.
uint8_t* AllocateChunkBytes(size_t size);
void FreeChunkBytes(uint8_t* bytes);

// Bytes from AllocateChunkBytes held by one owner until handed on.
struct ChunkBytesDeleter {
  void operator()(uint8_t* bytes) const { FreeChunkBytes(bytes); }
};
using OwnedChunkBytes = std::unique_ptr<uint8_t, ChunkBytesDeleter>;

// A zero-filled array of `count` chunk pointers; null on failure or for 0.
uint8_t** AllocateChunkArray(size_t count);
void FreeChunkArray(uint8_t** array);

}  // namespace chunks
