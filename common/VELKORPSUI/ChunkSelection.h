// The ancillary chunks of one save, each with a keep flag, and the rules that
// turn the user's choices into the chunks the encoder writes.
//
// The write path hands the options dialogs a job that carries every
// ancillary chunk of the source file plus the resolution chunk it made.  The
// selection lists them in the job's order with their placement group and a
// keep flag; the remembered keep list, the Keep Chunks dialog and the
// background picker change the flags and the bKGD, and on OK of an options
// dialog the kept ones are flattened into a new chunk block for the job.
//
// Ownership: the chunks the selection lists belong to the chunk store or to
// the job, except the bKGD chunks it creates for a picked background colour,
// which it owns.  A copy (the Keep Chunks dialog works on one) gets its own
// copies of those, so that a dialog that is cancelled changes nothing the
// original selection points at; and a picked colour never lands in a chunk
// the selection does not own, so a cancelled pick cannot leak into the
// source file's bytes either.  Owned chunks are freed with the selection, a
// replaced one at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/VELKORPSUI/KeepList.h"
#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ChunkList.h"

struct EncodeJob;

// Colour type and bit depth meaning "no source file was read".
inline constexpr uint8_t kNoSourceColorType = 255;
inline constexpr uint8_t kNoSourceBitDepth = 0;

// A known background colour as the selection keeps it, 0xFFRRGGBB, from the
// low bytes of the components.
constexpr uint32_t OpaqueColor(uint32_t r, uint32_t g, uint32_t b) {
  return 0xFF000000u | (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);
}

struct ChunkItem {
  uint8_t* chunk = nullptr;  // whole raw chunk
  chunks::ChunkGroup group = chunks::BeforePalette;
  uint8_t keep = 0;
  bool operator==(const ChunkItem&) const = default;
};

class ChunkSelection {
 public:
  ChunkSelection() = default;
  ChunkSelection(const ChunkSelection& other);
  ChunkSelection& operator=(const ChunkSelection& other);
  ChunkSelection(ChunkSelection&&) noexcept = default;
  ChunkSelection& operator=(ChunkSelection&&) noexcept = default;
  ~ChunkSelection() = default;

  // One item per chunk of the job, group by group, none kept.  A bKGD that
  // can be read for the source image sets the background; one that cannot
  // is left out.  The palette is the job's (not owned).
  static ChunkSelection Build(const EncodeJob& job, uint8_t sourceColorType, uint8_t sourceBitDepth);

  // Keeps what a remembered list asks for: everything, nothing, or the
  // chunks whose type is one of its entries.  Records the list's text.
  void ApplyKeepList(const KeepList& list);

  // Makes the background 0xFFRRGGBB and the first bKGD carry it, creating a
  // 6-byte RGB bKGD when there is none (appended, not kept) or when the one
  // there is not an RGB one this selection owns (put in its place).  Returns
  // the bKGD now carrying the colour; null when no chunk could be created.
  uint8_t* SetBackground(uint8_t r, uint8_t g, uint8_t b);

  // Flattens the kept chunks, in order, into a new block and pointer array
  // (the caller owns both).  Leaves the background non-zero only when a bKGD
  // is kept, and writes it into that chunk first.  False when the memory
  // cannot be had.
  bool BuildKeptChunks(chunks::FlatChunks& flat);

  // Whether `raw` is a chunk this selection created and owns.
  bool Owns(const uint8_t* raw) const;

  std::vector<ChunkItem> m_items;
  uint32_t m_background = 0;  // 0xFFRRGGBB, 0 when none is known
  uint8_t m_sourceColorType = kNoSourceColorType;
  uint8_t m_sourceBitDepth = kNoSourceBitDepth;
  uint32_t* m_palette = nullptr;  // the job's palette, not owned
  int m_paletteCount = 0;
  uint8_t m_grey = 0;        // the colour analysis found a grey image
  std::string m_keepText;    // the last applied or confirmed KeepList, as text

 private:
  using OwnedChunk = chunks::OwnedChunkBytes;

  uint8_t* CreateRgbBackground();
  void Release(uint8_t* raw);

  std::vector<OwnedChunk> m_owned;
};
