#include "common/pngchunks/PngChunk.h"

#include <cstdint>

#include "common/pngchunks/ChunkAssert.h"
#include "common/pngchunks/ChunkBytes.h"

namespace chunks {

void PngChunk::Attach(uint8_t* raw) {
  m_pChunk = raw;
  if (raw == nullptr) {
    m_Length = 0;
    type = {};
    crc = 0;
    return;
  }
  m_Length = ReadBe32(raw);
  type = ReadChunkType(raw + 4);
  crc = ReadBe32(raw + 8 + m_Length);
}

uint8_t* PngChunk::Create(ChunkType chunkType, uint32_t length) {
  CHUNK_ASSERT(nullptr == m_pChunk);
  const uint64_t size = RawChunkSize(length);
  uint8_t* raw = size <= SIZE_MAX ? AllocateChunkBytes(static_cast<size_t>(size)) : nullptr;
  if (raw == nullptr) {
    Attach(nullptr);
    return nullptr;
  }
  WriteBe32(raw, length);
  for (int i = 0; i < 4; ++i) raw[4 + i] = chunkType[i];
  m_pChunk = raw;
  m_Length = length;
  type = chunkType;
  UpdateCrc();
  return raw;
}

void PngChunk::UpdateCrc() {
  if (m_pChunk == nullptr) return;
  crc = ChunkCrc(m_pChunk + 4, size_t{m_Length} + 4);
  WriteBe32(m_pChunk + 8 + m_Length, crc);
}

void PhysChunk::FreeBytes::operator()(uint8_t* bytes) const { FreeChunkBytes(bytes); }

PhysChunk::PhysChunk(uint32_t pixelsPerUnitX, uint32_t pixelsPerUnitY, uint8_t unit) {
  uint8_t* raw = Create(kPHYS, 9);
  if (raw == nullptr) return;
  m_pStorage.reset(raw);
  WriteBe32(raw + 8, pixelsPerUnitX);
  WriteBe32(raw + 12, pixelsPerUnitY);
  raw[16] = unit;
  UpdateCrc();
}

bool PhysChunk::Read(uint32_t& pixelsPerUnitX, uint32_t& pixelsPerUnitY, uint8_t& unit) const {
  if (m_pChunk == nullptr || m_Length < 9) return false;
  const uint8_t* data = Data();
  pixelsPerUnitX = ReadBe32(data);
  pixelsPerUnitY = ReadBe32(data + 4);
  unit = data[8];
  return true;
}

}  // namespace chunks
