// Bit writer and block emission: the zlib stream inside the IDAT chunk.
//
// Everything goes out through PutByte of the PNG writer, so an output buffer
// that is too small drops bytes but keeps counting them.
#pragma once

#include <cstdint>

struct EngineContext;

namespace deflate {

// ORs value (which fits in count bits) into the accumulator; whole bytes go
// to the output and the running CRC.  Fields over 25 bits only at a byte
// boundary.
void PutBits(EngineContext& ctx, uint32_t value, int count);

void DeflateStart(EngineContext& ctx);
void DeflateByte(EngineContext& ctx, uint8_t b);
void DeflateFinish(EngineContext& ctx);

// Symbol emission, called by the parser in stream order.
void EmitLiteral(EngineContext& ctx, int literal);
void EmitMatch(EngineContext& ctx, int length, int distance);

// Ends the current block: normalises its counts, computes its next-pass
// lengths, adds to the saved bits and opens the next block.
void EndBlock(EngineContext& ctx);

// Writes the whole file with stored blocks (No compression, and the fallback).
bool StoredStream(EngineContext& ctx);

}  // namespace deflate
