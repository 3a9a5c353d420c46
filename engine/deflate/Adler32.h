// Adler-32 of zlib (RFC 1950), one byte at a time: the low half sums the
// bytes, the high half sums the low half, both modulo 65521.
#pragma once

#include <cstdint>

namespace deflate {

inline uint32_t AdlerByte(uint32_t adler, uint8_t b) {
  uint32_t low = (adler & 0xFFFF) + b;
  if (low >= 65521) low -= 65521;
  uint32_t high = (adler >> 16) + low;
  if (high >= 65521) high -= 65521;
  return (high << 16) | low;
}

}  // namespace deflate
