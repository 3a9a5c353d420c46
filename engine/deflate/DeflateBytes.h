// The compressor for bytes that are already what a zlib stream must carry:
// the filtered rows of an image the engine does not re-encode (16-bit
// samples, the frames of an animation), handed over unchanged.
//
// It is the image path with another feeder: the same job options (strategy,
// random start tables, block count or split threshold, mintreecodes), the
// same split pre-pass, the same passes judged by the same rules, the same
// print and poll callbacks and the same pass and percent fields.  Only the
// bytes of a pass come from the caller's buffer, row by row, instead of from
// the row filters.  Each pass is framed as an IDAT chunk, as the image's
// passes are, and the zlib stream is cut out of that frame at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/EngineContext.h"

// Largest input: the split pre-pass and the output positions count bytes in
// 32-bit integers.
constexpr size_t kMaxDeflateBytes = 0x7FFF0000;

// Compresses size bytes at data into zlib (header 0x78 0x5E, or 0x78 0x01
// when stored blocks are smaller or the job's strategy is 4).  rowLength
// (at least 1) only paces progress and poll(1): one row is reported at a
// time.  The job's image, palette, chunk and output fields are not used; its
// pass and percent are published as in an image run.  Returns the stream's
// length, or kEncodeFailed when the input is too large or empty, poll asked
// to stop, or memory ran out.
int DeflateBytesInContext(EngineContext& ctx, EncodeJob* gpo, const uint8_t* data, size_t size, int rowLength,
                          std::vector<uint8_t>& zlib);
