// Rewrites a PNG chunk by chunk around new image data: every chunk stays in
// its place (animation controls, palette, transparency, kept metadata), the
// IDAT stream becomes one IDAT chunk, and each frame's fdAT stream is cut
// back into as many fdAT chunks as it had, keeping their sequence numbers,
// so that no other chunk needs renumbering.  Used where the image data is
// recompressed rather than re-encoded: 16-bit images and animations.
#pragma once

#include <cstdint>
#include <vector>

#include "cli/ChunkChoice.h"
#include "cli/PngFileScan.h"
#include "cli/PngImageData.h"

// newStreams[i] is the zlib stream for streams[i], or empty to keep that
// stream's chunks as they are.  Ancillary chunks go when choice does not
// keep them; tRNS and the animation chunks always stay.  Every written chunk
// gets its CRC computed afresh; nothing after IEND is written.  A suggested
// palette (PLTE of a true-colour image) stays only when choice says so.  deinterlaced: the new IDAT stream holds the rows
// without interlacing, and IHDR says so.
std::vector<uint8_t> SplicePng(const uint8_t* file, const PngFileScan& scan, const std::vector<DataStream>& streams,
                               const std::vector<std::vector<uint8_t>>& newStreams, const ChunkChoice& choice,
                               bool deinterlaced = false);

// The concatenated data of a PNG's IDAT chunks (of the engine's output).
std::vector<uint8_t> IdatStreamOf(const std::vector<uint8_t>& png);
