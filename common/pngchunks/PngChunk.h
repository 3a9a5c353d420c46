// PngChunk describes one raw chunk in memory, byte for byte as it stands in
// a PNG file: 4-byte big-endian data length, 4 type bytes, the data, 4-byte
// big-endian CRC.  The record never owns those bytes (a plain PngChunk
// points into a file buffer, a flattened chunk block or a block that Create
// allocated for its caller), so copying or destroying one frees nothing.
// PhysChunk is the one owning kind: it builds a pHYs chunk for the image
// resolution in storage of its own.
//
// Everything that reads data goes through m_Length and refuses a chunk whose
// data is too short for what it wants, so a record attached to a malformed
// chunk can be described or queried without reading past its CRC.  Attach
// itself trusts its argument to be a whole chunk: the walk that finds chunks
// in a file checks their bounds first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/pngchunks/ChunkTypes.h"

namespace chunks {

class PngChunk {
 public:
  PngChunk() = default;
  explicit PngChunk(uint8_t* raw) { Attach(raw); }
  virtual ~PngChunk() = default;
  PngChunk(const PngChunk&) = default;
  PngChunk& operator=(const PngChunk&) = default;

  // Describes `raw` (or nothing, for null): type, length and stored CRC.
  void Attach(uint8_t* raw);

  // Allocates a zero-filled chunk of `length` data bytes with the given
  // type and a valid CRC, describes it and returns it; the caller owns the
  // bytes (FreeChunkBytes).  The record must be empty.  On allocation
  // failure the record stays empty and null is returned.
  uint8_t* Create(ChunkType chunkType, uint32_t length);

  // Recomputes the CRC over type and data and stores it after the data.
  void UpdateCrc();

  bool Is(ChunkType chunkType) const { return m_pChunk != nullptr && type == chunkType; }
  uint8_t* Data() const { return m_pChunk == nullptr ? nullptr : m_pChunk + 8; }

  // The colour of a bKGD chunk as three 16-bit components, given the
  // image's colour type, bit depth and palette (0xAARRGGBB entries).
  // False for other types, and for a bKGD whose length does not fit the
  // colour type or whose grey level is outside the bit depth.
  bool GetBackgroundColor(int colorType, int bitDepth, int paletteCount, const uint32_t* palette,
                          uint16_t& r, uint16_t& g, uint16_t& b) const;

  // Stores a colour into a bKGD chunk: the 16-bit components of an RGB one,
  // a palette index of a palette one (appending the colour to the palette
  // when it is new and there is room below 255 entries, otherwise showing
  // "Palette overflow"), or the grey level of a grey one (setting the bit
  // depth to 8).  Returns whether the chunk was changed; a chunk whose
  // length does not fit the colour type is left alone.
  bool SetBackgroundColor(uint16_t r, uint16_t g, uint16_t b, int& paletteCount, uint32_t* palette,
                          int colorType, int& bitDepth);

  // One line of text for the Keep Chunks list, cut to `size` characters
  // including the terminating zero.  False when the record has no chunk.
  bool Describe(char* text, size_t size) const;

  // The background colour of a bKGD chunk as text, for the image's colour
  // type and bit depth.  False when the chunk is not a bKGD it can read.
  bool DescribeBackground(char* text, size_t size, int colorType, int bitDepth) const;

  uint8_t* m_pChunk = nullptr;
  uint32_t m_Length = 0;
  ChunkType type{};
  uint32_t crc = 0;
};

class PhysChunk final : public PngChunk {
 public:
  // An empty record, to Attach to a pHYs chunk found in a file.
  PhysChunk() = default;
  // A 9-byte pHYs chunk in storage of its own: pixels per unit on X and Y,
  // and the unit (1 = metre).  Stays empty if the storage cannot be had.
  PhysChunk(uint32_t pixelsPerUnitX, uint32_t pixelsPerUnitY, uint8_t unit);

  PhysChunk(const PhysChunk&) = delete;
  PhysChunk& operator=(const PhysChunk&) = delete;

  // The resolution of the described chunk; false without a chunk or when its
  // data is shorter than a pHYs needs.
  bool Read(uint32_t& pixelsPerUnitX, uint32_t& pixelsPerUnitY, uint8_t& unit) const;

 private:
  struct FreeBytes {
    void operator()(uint8_t* bytes) const;
  };
  std::unique_ptr<uint8_t, FreeBytes> m_pStorage;
};

}  // namespace chunks
