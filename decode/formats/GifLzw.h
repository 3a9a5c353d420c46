// The variable-width LZW decompressor of GIF image data.  Codes are read
// least significant bit first from the data sub-blocks; they start one bit
// wider than the minimum code size, grow by a bit each time the next free
// table entry reaches the current code limit, and stop growing at 12 bits
// (a full table then adds no more entries until the next clear code).
//
// Corrupt data ends the decode rather than guessing: a code beyond the next
// free entry, a string code with no previous string, a minimum code size
// outside 1..8 (roots would not fit the 256-entry colour table), the
// end-of-information code, the block terminator or the end of the file all
// stop it.  The decoded indices go to a sink, one string at a time, and the
// sink stops the decode once the image is full.  All state is per call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/formats/ByteReader.h"

class LzwSink {
 public:
  // Receives the next `count` colour indices; false when no more are wanted.
  virtual bool Write(const uint8_t* indices, size_t count) = 0;

 protected:
  ~LzwSink() = default;
};

// Decodes from the cursor of `in`, which stands on the first sub-block size
// byte (just after the minimum code size byte).
void DecodeGifLzw(ByteReader& in, unsigned minCodeSize, LzwSink& sink);
