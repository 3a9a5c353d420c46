#include "common/pngchunks/ChunkBytes.h"

#include <array>
#include <cstdlib>

namespace chunks {
namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

uint32_t ChunkCrc(const uint8_t* data, size_t size) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) c = kCrcTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

uint8_t* AllocateChunkBytes(size_t size) {
  if (size == 0) return nullptr;
  return static_cast<uint8_t*>(std::calloc(size, 1));
}

void FreeChunkBytes(uint8_t* bytes) { std::free(bytes); }

uint8_t** AllocateChunkArray(size_t count) {
  if (count == 0) return nullptr;
  return static_cast<uint8_t**>(std::calloc(count, sizeof(uint8_t*)));
}

void FreeChunkArray(uint8_t** array) { std::free(array); }

}  // namespace chunks
