// Chunk types as the four bytes stored in a file, and the types the chunk
// model treats specially.  Types are compared byte for byte, so a type with
// unusual letter case or non-letter bytes is simply another private type.
#pragma once

#include <array>
#include <cstdint>

namespace chunks {

using ChunkType = std::array<uint8_t, 4>;

// "bKGD" -> {'b','K','G','D'}.
constexpr ChunkType MakeChunkType(const char (&text)[5]) {
  return {static_cast<uint8_t>(text[0]), static_cast<uint8_t>(text[1]),
          static_cast<uint8_t>(text[2]), static_cast<uint8_t>(text[3])};
}

inline ChunkType ReadChunkType(const uint8_t* p) { return {p[0], p[1], p[2], p[3]}; }

// The size of a whole raw chunk: data length + 12 (length, type, CRC).
constexpr uint64_t RawChunkSize(uint32_t dataLength) { return uint64_t{dataLength} + 12; }

inline constexpr ChunkType kIHDR = MakeChunkType("IHDR");
inline constexpr ChunkType kPLTE = MakeChunkType("PLTE");
inline constexpr ChunkType kIDAT = MakeChunkType("IDAT");
inline constexpr ChunkType kIEND = MakeChunkType("IEND");
inline constexpr ChunkType kBKGD = MakeChunkType("bKGD");
inline constexpr ChunkType kCHRM = MakeChunkType("cHRM");
inline constexpr ChunkType kGAMA = MakeChunkType("gAMA");
inline constexpr ChunkType kHIST = MakeChunkType("hIST");
inline constexpr ChunkType kICCP = MakeChunkType("iCCP");
inline constexpr ChunkType kITXT = MakeChunkType("iTXt");
inline constexpr ChunkType kPHYS = MakeChunkType("pHYs");
inline constexpr ChunkType kSBIT = MakeChunkType("sBIT");
inline constexpr ChunkType kSPLT = MakeChunkType("sPLT");
inline constexpr ChunkType kSRGB = MakeChunkType("sRGB");
inline constexpr ChunkType kTEXT = MakeChunkType("tEXt");
inline constexpr ChunkType kTIME = MakeChunkType("tIME");
inline constexpr ChunkType kTRNS = MakeChunkType("tRNS");
inline constexpr ChunkType kVPAG = MakeChunkType("vpAg");
inline constexpr ChunkType kZTXT = MakeChunkType("zTXt");

}  // namespace chunks
