// Parsers of the JPEG marker segments that set up a decode: frame header
// (SOF0/1/2), quantisation and Huffman tables, restart interval, scan
// header, and the JFIF and Adobe application markers that say how to read
// the colour channels.
//
// Each takes the segment's payload (after the 16-bit length) and returns
// false for anything it does not accept; the caller answers -1 then.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/formats/JpegTypes.h"

namespace jpeg {

struct ScanHeader {
  int count = 0;
  int componentIndex[kMaxComponents] = {};  // into Frame::components
  int dcSlot[kMaxComponents] = {};
  int acSlot[kMaxComponents] = {};
  int ss = 0;  // spectral selection start and end
  int se = 63;
  int ah = 0;  // successive approximation high and low bit
  int al = 0;
};

bool ParseFrameHeader(const uint8_t* p, size_t n, bool progressive, Frame& frame);
bool ParseQuantTables(const uint8_t* p, size_t n, JpegDecodeState& state);
bool ParseHuffmanTables(const uint8_t* p, size_t n, JpegDecodeState& state);
bool ParseRestartInterval(const uint8_t* p, size_t n, JpegDecodeState& state);
bool ParseScanHeader(const uint8_t* p, size_t n, const JpegDecodeState& state, ScanHeader& scan);
void ParseApplicationMarker(int marker, const uint8_t* p, size_t n, ColourHints& hints);

}  // namespace jpeg
