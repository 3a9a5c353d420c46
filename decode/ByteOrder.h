// Reads of multi-byte numbers from file bytes.  Image headers mix both byte
// orders (PNG and JPEG are big-endian, the PC formats and ZIP little-endian),
// so every parser says which one it means at each read.
#pragma once

#include <cstdint>

inline uint32_t ReadBigEndian32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
inline uint16_t ReadBigEndian16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t ReadLittleEndian32(const uint8_t* p) {
  return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}
inline uint16_t ReadLittleEndian16(const uint8_t* p) { return static_cast<uint16_t>(p[1] << 8 | p[0]); }
