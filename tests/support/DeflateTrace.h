// A small, slow, independent deflate decoder for tests that need to see
// what a stream says rather than only what it inflates to: the block
// framing, the run-length coded code lengths of each dynamic header, and the
// sequence of literals and matches.  It shares no code with the product.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace oracle {

struct DeflateToken {
  int length = 0;  // 1: literal (value = byte); 3..258: match (value = distance)
  int value = 0;
  bool operator==(const DeflateToken&) const = default;
};

struct CodeLengthSymbol {
  int symbol = 0;  // 0..18 of the code-length alphabet
  int extra = 0;   // value of its extra bits (16: repeat - 3, 17: - 3, 18: - 11)
  bool operator==(const CodeLengthSymbol&) const = default;
};

struct TracedBlock {
  bool final = false;
  int type = 0;  // BTYPE
  int hlit = 0, hdist = 0, hclen = 0;
  std::vector<int> codeLengthLengths;  // 19, in symbol order
  std::vector<CodeLengthSymbol> header;
  std::vector<int> litLenLengths;      // the codes the data is read with: hlit entries
  std::vector<int> distanceLengths;    // (hdist), or RFC 1951's fixed 288 and 30
  std::vector<DeflateToken> tokens;    // without the end-of-block symbol
  int64_t tokenBits = 0;               // what the tokens took, codes and extra bits
};

// RFC 1951 3.2.5: the symbol of a match length (257..285) or the code of a
// distance (0..29), with the base its extra bits add to and their count.
struct DeflateCode {
  int code, base, extraBits;
};
DeflateCode LengthCode(int length);
DeflateCode DistanceCode(int distance);

// Decodes a zlib stream (2-byte header, deflate data, Adler-32).  Fills the
// blocks and the inflated bytes; false with a reason on any error.  Bytes
// after the Adler-32 are allowed; *consumed tells where the stream ended.
bool TraceZlib(const uint8_t* data, size_t size, std::vector<TracedBlock>& blocks, std::vector<uint8_t>& out,
               std::string* error = nullptr, size_t* consumed = nullptr);

}  // namespace oracle
