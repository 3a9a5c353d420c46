// Decodes the entropy-coded data of one scan into the coefficient store:
// sequential scans (all coefficients of a block at once) and the four kinds
// of progressive scan (DC first, DC refinement, AC first, AC refinement),
// with restart intervals.
//
// A scan that runs out of data or meets a code that is not in its table is
// rejected as a whole: we do not guess at the pixels of a damaged file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/formats/JpegMarkers.h"
#include "decode/formats/JpegTypes.h"

namespace jpeg {

// Decodes the scan whose data starts at pos; on success pos is moved to
// the marker that follows the scan (or to the end of the data).
bool DecodeScan(JpegDecodeState& state, const ScanHeader& scan, const uint8_t* data, size_t size, size_t& pos);

}  // namespace jpeg
