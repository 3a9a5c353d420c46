// Bit writer and block emission: the zlib stream inside the IDAT chunk.
//
// Bits are packed least significant first (RFC 1951); every whole byte goes
// out through PutByte of the PNG writer and into the running CRC, so the
// IDAT CRC is known when the stream ends without reading the data back, and
// an output buffer that is too small drops bytes but keeps counting them.
//
// Every compressed block is a dynamic-Huffman block written with the code
// lengths that the end of the same block computed in the previous pass.  At
// its end a block turns its symbol counts into the lengths for the next pass
// and adds up how many bits those would have saved on this pass's symbols;
// the pass loop stops when nothing more is saved.
#pragma once

#include <cstdint>

struct EngineContext;

namespace deflate {

// ORs value (which fits in count bits) into the accumulator; whole bytes go
// to the output and the running CRC.  Fields over 25 bits only at a byte
// boundary.
void PutBits(EngineContext& ctx, uint32_t value, int count);

// Opens the stream of a pass: IDAT type, zlib header, parser reset, block 0.
void DeflateStart(EngineContext& ctx);
// The byte sink of a compression pass.
void DeflateByte(EngineContext& ctx, uint8_t b);
// The same for n bytes at once (a row): the parser processes exactly the
// positions it would have processed byte by byte, with less overhead.
void DeflateBytes(EngineContext& ctx, const uint8_t* bytes, int64_t n);
// Flushes the parser, ends the last block, writes the Adler-32, closes the
// PNG (StreamEnd) and prints the size line.
void DeflateFinish(EngineContext& ctx);

// Symbol emission, called by the parser in stream order.
void EmitLiteral(EngineContext& ctx, int literal);
void EmitMatch(EngineContext& ctx, int length, int distance);

// Ends the current block: normalises its counts, computes its next-pass
// lengths, adds to the saved bits and opens the next block.
void EndBlock(EngineContext& ctx);

// The stored file's header and zlib stream: one stored block per row (more
// when a row exceeds a stored block's 65,535 bytes), then the Adler-32.
// False when the header fails.
bool StoredStream(EngineContext& ctx);

// The size line of a compressed pass: its size and, while the pass loop
// goes on, the bits the next pass's code lengths would save and the size
// expected from them.
void PrintPassSizeLine(EngineContext& ctx);

// "Out:%8d bytes (stored)" with the line framing of the job's verbosity.
void PrintStoredSizeLine(EngineContext& ctx);

}  // namespace deflate
