// ChunkList files raw chunks into the three places where a PNG writer puts
// ancillary chunks, in the order PNG requires, and flattens them into the
// form the encoder's job record carries: four group bounds and an array of
// chunk pointers into one block of bytes.
//
// Filing rules: the colour-space and resolution chunks that PNG allows once
// (iCCP, gAMA, sRGB, cHRM, sBIT, pHYs) belong before the palette, and a
// second one replaces the first at its place; sPLT goes there too, as many
// as come.  bKGD, hIST and tRNS are allowed once, after the palette.  A tIME
// replaces a tIME already filed after the image data; any other chunk goes
// where the caller says.  So the write path can add its own pHYs after the
// source file's chunks and have it take the source pHYs's place.
//
// The list holds pointers only; the chunk bytes belong to whoever supplied
// them and must outlive the list.  `total` is always the number of bytes
// Flatten will copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct EncodeJob;

namespace chunks {

enum ChunkGroup : int {
  BeforePalette = 0,    // after IHDR, before PLTE
  BeforeImageData = 1,  // after PLTE, before the first IDAT
  AfterImageData = 2,   // after the last IDAT, before IEND
};

struct ChunkRef {
  uint8_t* chunk;
  ChunkGroup group;
  bool operator==(const ChunkRef&) const = default;
};

// The flattened form: chunks of group g sit at indices bounds[g] up to
// bounds[g + 1]; bounds[0] is 0 and bounds[3] the number of chunks.
struct FlatChunks {
  int chunkpre = 0;
  int chunkmid = 0;
  int chunkpost = 0;
  int chunkcount = 0;
  uint8_t** chunks = nullptr;
};

class ChunkList {
 public:
  // Files `raw` (a whole chunk) by its type and, for types without a place
  // of their own, by `position`: 0 BeforePalette, 1 BeforeImageData, any
  // other value AfterImageData.  Always true; a null chunk is ignored.
  bool Add(uint8_t* raw, int position);

  // Copies every chunk, group by group in list order, into one new block of
  // `total` bytes and fills the bounds and a new pointer array whose first
  // entry is the block's address.  An array already in `chunks` is freed
  // first.  The caller owns the new block (FreeChunkBytes) and array
  // (FreeChunkArray).  An empty list gives bounds 0 and no array.  False,
  // with bounds 0 and no array, when the memory cannot be had.
  bool Flatten(int& chunkpre, int& chunkmid, int& chunkpost, int& chunkcount, uint8_t**& chunks) const;
  bool Flatten(FlatChunks& flat) const;
  // Flattens into the job's kept-chunk fields.
  bool Flatten(EncodeJob& job) const;

  // The chunks of a flattened form with their groups, group 0 first, each
  // group in array order.  Null entries are left out.
  static std::vector<ChunkRef> ListFlattened(int chunkpre, int chunkmid, int chunkpost, int chunkcount,
                                             uint8_t* const* chunks);
  static std::vector<ChunkRef> ListFlattened(const EncodeJob& job);

  uint32_t total() const { return m_total; }
  size_t count() const;
  const std::vector<uint8_t*>& group(ChunkGroup g) const { return m_groups[g]; }

 private:
  void Append(ChunkGroup g, uint8_t* raw);
  void ReplaceOrAppend(ChunkGroup g, uint8_t* raw);
  bool Replace(ChunkGroup g, uint8_t* raw);

  std::vector<uint8_t*> m_groups[3];
  uint32_t m_total = 0;
};

}  // namespace chunks
