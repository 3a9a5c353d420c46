// Small hot-path helpers shared by the parser's driver and its match search:
// ring reads, the three-byte hash, the hash chains and the run counters.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/deflate/DeflateTables.h"
#include "engine/deflate/ParserState.h"

namespace deflate {

inline uint8_t RingByte(const ParserState& ps, int32_t pos) { return ps.ring[pos & kRingMask]; }

// Little-endian 32- and 64-bit words at a position: the byte of the
// position is the lowest.  The tail after the ring makes these valid at every
// ring index.
template <typename Word>
inline Word RingLoad(const ParserState& ps, int32_t pos) {
  Word v;
  std::memcpy(&v, ps.ring + (pos & kRingMask), sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(uint64_t(v)) >> (64 - 8 * sizeof v);
#endif
  return v;
}
inline uint32_t RingWord(const ParserState& ps, int32_t pos) { return RingLoad<uint32_t>(ps, pos); }
inline uint64_t RingWord64(const ParserState& ps, int32_t pos) { return RingLoad<uint64_t>(ps, pos); }

// Depends only on the first three bytes, so positions that can match share
// a chain; a multiplicative hash spreads the 2^24 strings over the heads.
inline int HashAt(const ParserState& ps, int32_t pos) {
  const uint32_t v = RingWord(ps, pos) & 0xFFFFFF;
  return int((v * 0x9E3779B1u) >> 16);
}

// A hint to load a line the search will soon read; no effect on results.
inline void Prefetch(const void* address) {
#if defined(__GNUC__)
  __builtin_prefetch(address);
#else
  (void)address;
#endif
}

// Of the first four bytes, for fourByteHead.  Bytes past the end of the
// data hash as they lie in the ring, as the byte compares see them.
inline int FourByteHashAt(const ParserState& ps, int32_t pos) { return int((RingWord(ps, pos) * 0x9E3779B1u) >> 16); }

inline void InsertIntoChain(ParserState& ps, int32_t pos) {
  const int h = HashAt(ps, pos);
  ps.chain[pos & kWindowMask] = ps.hashHead[h];
  ps.hashHead[h] = pos;
  const int h4 = FourByteHashAt(ps, pos);
  ps.fourByteChain[pos & kWindowMask] = ps.fourByteHead[h4];
  ps.fourByteHead[h4] = pos;
}

// Counts the identical bytes before each position (capped), so that a
// search can step over a whole run of one byte value at once.
inline void UpdateRunCounter(ParserState& ps, int32_t pos) {
  const uint8_t b = RingByte(ps, pos);
  if (b == ps.lastByte) {
    if (ps.runCounter < kMaxRunCount) ++ps.runCounter;
  } else {
    ps.runCounter = 0;
    ps.lastByte = b;
  }
  ps.runCount[pos & kRingMask] = uint16_t(ps.runCounter);
}

// Searches position p (strategies 0..2): updates its run counter, builds
// its match list, relaxes the matches it finds and inserts p into the hash
// chains.  Defined in MatchSearch.cpp.
void SearchPosition(ParserState& ps, const CodeTables& tables, int strategy, int32_t p, int32_t costP);

}  // namespace deflate
