// Canonical Huffman tables of a JPEG file: building them from a DHT
// segment's code counts and symbols, and decoding one symbol.
//
// Codes up to 9 bits resolve in one lookup; longer ones walk the per-length
// largest codes.  A table whose counts overfill the code space is refused
// when it is built, so decoding can trust its structure.
#pragma once

#include <cstdint>

#include "decode/formats/JpegBitReader.h"
#include "decode/formats/JpegTypes.h"

namespace jpeg {

// counts[i] is the number of codes of length i + 1; symbols holds their
// sum of values.  False when the counts do not form a prefix code.
bool BuildHuffmanTable(const uint8_t counts[16], const uint8_t* symbols, HuffmanTable& table);

// The next symbol, or -1 when the bits match no code.
int DecodeSymbol(BitReader& bits, const HuffmanTable& table);

// The signed value of an s-bit magnitude field (s = 0..15) as the next bits give it.
inline int ReceiveExtend(BitReader& bits, int s) {
  if (s == 0) return 0;
  const int v = static_cast<int>(bits.Get(s));
  return v < (1 << (s - 1)) ? v - (1 << s) + 1 : v;
}

}  // namespace jpeg
