// A save's chunk selection over the chunks of arbitrary bytes: extracted as
// the write path does, listed, kept by a keep list the input chooses, given
// a picked background, copied as the Keep Chunks dialog copies it, and
// flattened.  Nothing may be read or written outside the chunks or the
// 256-entry palette, the flattened list holds no more than the kept items,
// and a background the selection wrote carries a sound CRC.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ChunkFuzz.h"
#include "common/VELKORPSUI/ChunkSelection.h"
#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ExtractChunks.h"
#include "engine/EncodeJob.h"
#include "platform/MessageBox.h"

namespace {

using chunk_fuzz::Check;

KeepList ListFor(uint8_t choice) {
  KeepList list;
  switch (choice % 4) {
    case 0: break;
    case 1: list.SetAll(); break;
    case 2: list.Append("bKGD"); list.Append("tEXt"); break;
    default: list.Append("pHYs"); list.Append("vpAg"); list.Append("gAMA"); break;
  }
  return list;
}

// Source chunks may carry any CRC; a 6-byte bKGD the selection created and
// kept must be sound.
void CheckFlattened(const chunks::FlatChunks& flat, size_t kept, bool createdBackground) {
  Check(flat.chunkcount >= 0 && static_cast<size_t>(flat.chunkcount) <= kept);
  for (int i = 0; i < flat.chunkcount; ++i) {
    const uint8_t* raw = flat.chunks[i];
    const uint32_t length = chunks::ReadBe32(raw);
    const bool background = raw[4] == 'b' && raw[5] == 'K' && raw[6] == 'G' && raw[7] == 'D';
    if (createdBackground && background && length == 6) {
      Check(chunks::ReadBe32(raw + 8 + length) == chunks::ChunkCrc(raw + 4, size_t{length} + 4));
    }
  }
  chunk_fuzz::FreeFlattened(flat);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::RecordedMessageBoxes boxes;
  static platform::ScopedMessageBoxSink quiet(boxes);
  if (size < 4) return 0;
  // The last four bytes steer: keep list, background colour.
  std::vector<uint8_t> png(data, data + size - 4);
  const uint8_t* steer = data + size - 4;
  std::vector<uint32_t> palette(256, 0);
  EncodeJob job{};
  job.pal = palette.data();
  job.palcount = steer[0] % 3 == 0 ? 0 : steer[0];
  std::vector<uint8_t*> array(chunks::kMaxExtractedChunks, nullptr);
  job.chunks = array.data();
  uint8_t colorType = 255, bitDepth = 0;
  chunks::ExtractChunks(job, png.data(), png.size(), "ALL", colorType, bitDepth);

  ChunkSelection selection = ChunkSelection::Build(job, colorType, bitDepth);
  selection.ApplyKeepList(ListFor(steer[1]));
  ChunkSelection copy = selection;
  if (steer[1] & 4) copy.SetBackground(steer[2], steer[3], steer[1]);
  if (steer[1] & 8) copy.SetBackground(steer[3], steer[2], steer[1]);
  for (ChunkItem& item : copy.m_items) item.keep ^= (steer[2] & 1);
  selection = copy;
  Check(selection.m_paletteCount >= 0 && selection.m_paletteCount <= 256);
  chunks::FlatChunks flat;
  size_t kept = 0;
  bool createdBackground = false;
  for (const ChunkItem& item : selection.m_items) {
    kept += item.keep;
    createdBackground |= item.keep && selection.Owns(item.chunk);
  }
  Check(selection.BuildKeptChunks(flat));
  CheckFlattened(flat, kept, createdBackground);
  return 0;
}
