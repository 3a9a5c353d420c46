// Adler-32 of zlib (RFC 1950): the low half sums the bytes, the high half
// sums the low half, both modulo 65521.
#pragma once

#include <cstddef>
#include <cstdint>

namespace deflate {

inline uint32_t AdlerByte(uint32_t adler, uint8_t b) {
  uint32_t low = (adler & 0xFFFF) + b;
  if (low >= 65521) low -= 65521;
  uint32_t high = (adler >> 16) + low;
  if (high >= 65521) high -= 65521;
  return (high << 16) | low;
}

// The same sums over a run of bytes, reduced once per 5,552 bytes: the most
// after which the high sum still fits 32 bits (RFC 1950's own bound).
inline uint32_t AdlerBytes(uint32_t adler, const uint8_t* bytes, size_t n) {
  constexpr size_t kMaxUnreduced = 5552;
  uint32_t low = adler & 0xFFFF, high = adler >> 16;
  while (n > 0) {
    const size_t piece = n < kMaxUnreduced ? n : kMaxUnreduced;
    for (size_t i = 0; i < piece; ++i) {
      low += bytes[i];
      high += low;
    }
    low %= 65521;
    high %= 65521;
    bytes += piece;
    n -= piece;
  }
  return (high << 16) | low;
}

}  // namespace deflate
