// The working arrays of the match finder and cheapest-path parser.
//
// Everything is sized once (about 18 MB, most of it the pool of match lists)
// and reused by every pass of every run in one engine context; a pass only
// resets what it reads.  Positions count from 0 at the start of a pass.
//
// Input ring: the last 65,536 bytes by position, followed by a copy of its
// first 8 bytes so that a 64-bit load at any ring index stays inside and
// reads the bytes of the positions that follow, across the wrap too.
//
// Hash chains: heads by a hash of the first three bytes, and one backward
// link per window slot (position mod 32768) to the previous position with
// the same hash; -1 marks "none".  Heads and links hold whole positions, so a
// walk stops as soon as it leaves the window: a link older than that can
// only lead into other strings' chains, never to a match.  The answer of a
// walk is thus the nearest position in the window whose first three bytes
// equal ours, whatever the hash; the hash is wide (65,536 heads) so that a
// walk rarely meets other three-byte strings on its way.
//
// Match lists: for each searched position, entry j is the distance at which
// the search first reached length j + 3.  The search at a later position
// leaps from one candidate to the next candidate that is at least as long by
// reading the candidate's own list instead of walking the chain.
//
// Cheapest path: cost ring (512 slots of best cost so far, INT32_MAX for
// unreachable) and path ring (262,144 slots, the last step that improved each
// position), committed whenever every candidate path meets at one position.
#pragma once

#include <cstdint>

#include "engine/deflate/DeflateTables.h"

namespace deflate {

constexpr int kRingSize = 65536;
constexpr int kRingMask = kRingSize - 1;
constexpr int kRingTail = 8;
constexpr int kWindowMask = 32767;
constexpr int kHashSize = 65536;
constexpr int32_t kNoPosition = -1;
// A list holds at most one entry per match length, and lies within the
// kMaxListEntries entries below where the fill stood when its first entry
// was written.  The fill wraps only after a whole window's worth of full
// lists, so a list a leap can still reach (at most 32,767 positions back) is
// never overwritten; the pool keeps room for one more list past the wrap
// point.
constexpr uint32_t kMaxListEntries = kMaxMatch - kMinMatch + 1;
constexpr uint32_t kPoolWrapAt = kWindow * kMaxListEntries;
constexpr uint32_t kPoolSize = kPoolWrapAt + kMaxListEntries;
constexpr int kCostRingSize = 512;
constexpr int kCostRingMask = kCostRingSize - 1;
constexpr int kPathRingSize = 262144;
constexpr int kPathRingMask = kPathRingSize - 1;
constexpr int32_t kUnreachable = 2147483647;
constexpr int32_t kBlockStartCost = -2147483647 - 1;
constexpr int32_t kNoCodeCost = 4096;  // more than 258 literals of 15 bits
constexpr int kMaxRunCount = 32767;
constexpr int32_t kNoRelaxRecord = -2147483647 - 1;  // never the position before a real one

// One step of the path: length 1 is a literal (value = the byte), 3..258 a
// match (value = distance; 32768 fits in 16 bits unsigned).  Kept packed in
// one word, length low, so that the relaxation loop updates whole words.
using PathStep = uint32_t;
constexpr PathStep MakeStep(int length, int value) { return uint32_t(length) | uint32_t(value) << 16; }
constexpr int StepLength(PathStep step) { return int(step & 0xFFFF); }
constexpr int StepValue(PathStep step) { return int(step >> 16); }

// Lengths from..last offered from one position at cost base plus the
// length code's cost (base: the position's cost plus the distance code's).
struct Offer {
  int32_t base;
  int16_t from;
  int16_t last;
};
constexpr int kRecordedOffers = 16;

// A length after which the length cost rises, and by how much.
struct LengthRise {
  int32_t rise;
  int32_t length;
};

// A window slot's match list.  Its first entries - every length the
// nearest candidate reached - hold one distance, which the record keeps
// itself; only the entries after that head, the tail, lie in the pool.
// Inside runs and long repeats the head is most of the list, so the pool the
// walks read stays small enough for the caches, and a leap to a length inside
// a head reads the record alone.  One record of 8 bytes, so that a leap costs
// one cache miss here, not two.
//
// A tail lies in the pool downwards: its entry j at start - j.  Towards the
// end of a run each position's head is one length shorter than the previous
// position's and its tail one entry longer, the rest being the previous tail;
// stored downwards, that tail is the previous one with one entry written
// above it.  A tail that is the end of the previous one shares its entries.
struct MatchList {
  uint32_t start;         // pool index of the tail's first entry
  uint16_t headDistance;  // the head's distance; 0 for an empty list (nothing found, or skipped)
  uint8_t headLast;       // entries in the head minus 1
  uint8_t tailCount;      // entries in the pool
};
constexpr MatchList kEmptyList{};

// Most leaps ask for a short length (short matches in photographs): the
// entries for the first few lengths of every list are kept again, one table
// of 64 KB per length, so that a walk at one length reads one small table
// instead of the record and the pool.  0 (never a distance) where the list
// has no entry for that length.
constexpr int kShortLeapLengths = 4;

struct ParserState {
  uint8_t ring[kRingSize + kRingTail];
  uint16_t runCount[kRingSize];  // identical bytes just before each position
  int32_t hashHead[kHashSize];
  // Chains of positions whose first four bytes hash alike, like the chains
  // above.  A walk at three bytes looks for the nearest candidate sharing
  // a fourth byte through the three-byte candidates one by one; this finds
  // it directly (and, when the head lies outside the window, shows that
  // there is none).
  int32_t fourByteHead[kHashSize];
  int32_t fourByteChain[kWindow];
  int32_t chain[kWindow];
  MatchList lists[kWindow];
  uint16_t shortLeaps[kShortLeapLengths][kWindow];  // entry length - 3 of each slot's list
  // kPoolSize entries, allocated apart from the rest and never cleared:
  // every entry is written before a list that holds it is read, and a small
  // image touches only the first pages of it.
  uint16_t* pool = nullptr;
  int32_t cost[kCostRingSize];
  PathStep path[kPathRingSize];

  // Per-block cost model (rebuilt by PrepareBlock).
  int32_t literalCost[256];
  int32_t lengthCost[kMaxMatch + 1];      // by match length 3..258
  int32_t distanceCodeCost[kDistanceCodes];
  uint8_t nextCheaper[kDistanceCodes];    // strategy 0: next code with a lower cost, 30 = none
  // Strategy 0: per length, at the current position.  Distance costs are at
  // most kNoCodeCost, so 16 bits hold them and the fills move half the bytes.
  int16_t cheapestAtLength[kMaxMatch + 1];

  // Lengths 3..257 after which the length cost rises (rebuilt by
  // PrepareBlock), the steepest rise first: where an offer one length longer
  // from the previous position was no dearer, the slot is already as cheap.
  int lengthRises;
  LengthRise lengthRise[kMaxMatch];

  // The match offers of the last two searched positions, by parity of the
  // position (offersAt: the position they belong to; kNoRelaxRecord once the
  // cost ring has been reset).  At most kRecordedOffers a position.
  Offer offers[2][kRecordedOffers];
  int offerCount[2];
  int32_t offersAt[2];

  // The latest position skipped without a search (its list is empty, so a
  // walk through it ends there).
  int32_t lastSkipped;

  // Run tracking.
  uint8_t lastByte;
  int32_t runCounter;
  int32_t runEnd;

  // List pool: the fill index, and where the previous searched position's
  // tail starts and how many entries it has (-1 before the first).
  uint32_t poolFill;
  uint32_t prevTailStart;
  int32_t prevTailCount;

  // Window slots of the chains and of the lists that may hold something
  // since they were last cleared (all of them in a new state).
  int32_t chainSlotsUsed = kWindow;
  int32_t listSlotsUsed = kWindow;

  // Positions.
  int32_t inputTotal;
  int32_t current;
  int32_t furthest;
  int32_t committed;
  int32_t relaxLimit;

  PathStep traceBuffer[kPathRingSize];  // committed steps in stream order
};

}  // namespace deflate
