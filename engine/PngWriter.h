// The PNG byte stream: every byte of the file goes through PutByte into the
// job's output buffer, and this unit writes the parts of the file that are
// not deflate data — signature, header chunks, the IDAT frame, the kept
// chunks and IEND — plus the whole stored (uncompressed) file.
//
// PutByte stores a byte only while the position is below kbufsize but
// counts every byte, so a pass that does not fit the buffer still reports
// the full size of its file.  Every compression pass rewrites the file from
// position 0; the last pass's file is the result.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/EngineContext.h"

// The CRC-32 of PNG (reflected polynomial 0xEDB88320), built once per run.
void BuildCrcTable(EngineContext& ctx);

inline uint32_t CrcByte(const EngineContext& ctx, uint32_t reg, uint8_t b) {
  return (reg >> 8) ^ ctx.crcTable[(reg ^ b) & 0xFF];
}

uint32_t CrcBytes(const EngineContext& ctx, uint32_t reg, const uint8_t* bytes, size_t n);

inline void PutByte(EngineContext& ctx, uint8_t b) {
  if (ctx.outPos < ctx.job->kbufsize) ctx.job->kbuf[ctx.outPos] = b;
  ++ctx.outPos;
}

void PutBytes(EngineContext& ctx, const uint8_t* bytes, size_t n);

void PutBigEndian32(EngineContext& ctx, uint32_t v);

// Data length of a kept chunk record, read big-endian from its first bytes;
// the record is that many bytes plus 12 (length, type and CRC).
inline uint32_t KeptChunkLength(const uint8_t* chunk) {
  return (uint32_t(chunk[0]) << 24) | (uint32_t(chunk[1]) << 16) | (uint32_t(chunk[2]) << 8) | chunk[3];
}

// Signature, IHDR, the kept chunks before PLTE, PLTE, tRNS, bKGD and the kept
// chunks before IDAT, from position 0.  For colour type 3 a bKGD colour not
// in the palette is appended at palette[palcount] for this file only.  False
// after printing the reason when the bKGD colour cannot get an index.
bool WriteHeader(EngineContext& ctx, int width, int height, int colortype, int bitdepth, uint32_t* palette,
                 int palcount);

// Opens a pass: row state and line buffer, header, IDAT length placeholder,
// then the compressor's stream start.  False after printing the reason.
bool StreamStart(EngineContext& ctx, int width, int height, int colortype, int bitdepth, uint32_t* palette,
                 int palcount);

// Closes a compressed pass after the stream's Adler-32: IDAT CRC and length,
// the kept chunks after IDAT, IEND; releases the line buffer.
void StreamEnd(EngineContext& ctx);

// A stored deflate block holds at most this many bytes; a longer stored row
// continues in further blocks of 5 header bytes each.
constexpr int64_t kMaxStoredBlockBytes = 65535;

// Bytes of one row of the stored file, filter byte included.
int64_t StoredRowLength(int colortype, int width, int bitdepth);

// The whole file with stored deflate blocks.  False when the header fails.
bool WriteStoredFile(EngineContext& ctx);

// The kept chunks first..last-1 after IDAT (whole) and IEND.
void WriteTrailer(EngineContext& ctx);
