// Huffman code construction: length-limited code lengths from symbol counts,
// canonical code words from lengths, and the code description at the head of
// a dynamic block (RFC 1951, 3.2.7).
//
// The tie rules here decide the bytes of every file: the lengths chosen are
// the costs the parser optimises against in the next pass.
#pragma once

#include <cstdint>

struct EngineContext;

namespace deflate {

// Fills lengths[0..n-1] (n <= 286) from counts; every length is below limit,
// unused symbols (count <= 0) get 0.  mintreecodes is how many codes a table
// with fewer than two used symbols is given.
void HuffmanLengths(const int32_t* counts, int n, int32_t* lengths, int limit, int mintreecodes);

// Canonical code words for lengths[0..n-1], each reversed over its length so
// that the LSB-first bit writer sends it most significant bit first.
void CanonicalCodes(const int32_t* lengths, int n, uint32_t* codes);

// One symbol of the run-length coded code lengths: the code-length symbol
// (0..18) and its extra bits.
struct LengthToken {
  uint8_t symbol;
  uint8_t extra;
  uint8_t extraBits;
};

// The order in which the code-length code's lengths are sent (RFC 1951).
inline constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// The block header's run-length coding of count lengths (the walk
// WriteTreeHeader writes); returns the number of tokens.
int TokenizeLengths(const uint8_t* seq, int count, LengthToken* tokens);

// Writes HLIT, HDIST, HCLEN, the code-length code and the run-length coded
// lengths of a 320-entry table (distance lengths at 288..317).
void WriteTreeHeader(EngineContext& ctx, const int32_t* lengths);

}  // namespace deflate
