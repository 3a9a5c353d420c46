#include "engine/deflate/CodeLengthHeader.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace deflate {
namespace {

constexpr int kMaxSequence = kLitLenCodes + kDistanceCodes;
constexpr int kRunSymbolMasks = 8;  // bit 0: 16 allowed, bit 1: 17, bit 2: 18
constexpr int kRefineRounds = 4;

// A code-length code of a token sequence: lengths from the counts with the
// engine's builder (a single used symbol gets a partner, since zlib refuses
// an incomplete code-length code), HCLEN trimmed, total bits.
int FinishHeader(CodeLengthHeader& h) {
  int32_t counts[19] = {};
  for (int t = 0; t < h.numTokens; ++t) ++counts[h.tokens[t].symbol];
  HuffmanLengths(counts, 19, h.clLengths, 8, 2);
  h.hclen = 19;
  while (h.hclen > 4 && h.clLengths[kCodeLengthOrder[h.hclen - 1]] == 0) --h.hclen;
  int bits = 5 + 5 + 4 + 3 * h.hclen;
  for (int t = 0; t < h.numTokens; ++t) bits += h.clLengths[h.tokens[t].symbol] + h.tokens[t].extraBits;
  h.bits = bits;
  return bits;
}

// The cheapest token sequence for seq under the given symbol costs, with
// only the run symbols of mask allowed: a shortest path where position i
// moves to i + 1 by a literal length and further by a run symbol.  A
// repeat (16) copies the length before it, whichever way that was sent.
int CheapestTokens(const uint8_t* seq, const uint8_t* runs, int n, const int* cost, int mask, LengthToken* tokens) {
  int best[kMaxSequence + 1];
  uint8_t stepLength[kMaxSequence + 1];
  uint8_t stepSymbol[kMaxSequence + 1];
  std::fill(best, best + n + 1, INT_MAX);
  best[0] = 0;
  auto relax = [&](int from, int run, int symbol, int bits) {
    const int c = best[from] + bits;
    if (c < best[from + run]) {
      best[from + run] = c;
      stepLength[from + run] = uint8_t(run);
      stepSymbol[from + run] = uint8_t(symbol);
    }
  };
  for (int i = 0; i < n; ++i) {
    if (best[i] == INT_MAX) continue;
    const int value = seq[i];
    const int run = runs[i];
    relax(i, 1, value, cost[value]);
    if ((mask & 1) && i > 0 && seq[i - 1] == value)
      for (int k = 3; k <= std::min(run, 6); ++k) relax(i, k, 16, cost[16] + 2);
    if (value == 0) {
      if (mask & 2)
        for (int k = 3; k <= std::min(run, 10); ++k) relax(i, k, 17, cost[17] + 3);
      // A long zero run costs one 18 whatever its length, so only ends
      // near the run's end (leaving a short rest) or near its start (so
      // that a later 18 takes the rest) can matter.
      if (mask & 4) {
        for (int k = 11; k <= std::min(run, 13); ++k) relax(i, k, 18, cost[18] + 7);
        for (int k = std::max(14, run - 13); k <= run; ++k) relax(i, k, 18, cost[18] + 7);
      }
    }
  }
  // One walk back from the end, the tokens written last first and then
  // turned around: each step of the walk waits on the load before it, so a
  // second walk to count them first would cost as much again.
  int count = 0;
  for (int at = n; at > 0; at -= stepLength[at]) {
    const int symbol = stepSymbol[at];
    const int run = stepLength[at];
    LengthToken& tok = tokens[count++];
    if (symbol == 16) tok = {16, uint8_t(run - 3), 2};
    else if (symbol == 17) tok = {17, uint8_t(run - 3), 3};
    else if (symbol == 18) tok = {18, uint8_t(run - 11), 7};
    else tok = {uint8_t(symbol), 0, 0};
  }
  std::reverse(tokens, tokens + count);
  return count;
}

// The run symbols (mask bits as above) that some run of seq could use: 16
// a value repeating at least three more times, 17 three zeros, 18 eleven.
int UsableRunSymbols(const uint8_t* seq, int n) {
  int usable = 0;
  for (int i = 0; i < n;) {
    int run = 1;
    while (i + run < n && seq[i + run] == seq[i]) ++run;
    if (run >= 4) usable |= 1;
    if (seq[i] == 0 && run >= 3) usable |= 2;
    if (seq[i] == 0 && run >= 11) usable |= 4;
    i += run;
  }
  return usable;
}

}  // namespace

void PlanCodeLengthHeader(const int32_t* litLengths, const int32_t* distLengths, bool search,
                          CodeLengthHeader& header) {
  int hlit = kLitLenCodes;
  while (litLengths[hlit - 1] == 0 && hlit > 257) --hlit;
  int hdist = kDistanceCodes;
  while (distLengths[hdist - 1] == 0 && hdist > 1) --hdist;
  uint8_t seq[kMaxSequence];
  for (int i = 0; i < hlit; ++i) seq[i] = uint8_t(litLengths[i]);
  for (int i = 0; i < hdist; ++i) seq[hlit + i] = uint8_t(distLengths[i]);
  const int n = hlit + hdist;

  header.hlit = hlit;
  header.hdist = hdist;
  header.numTokens = TokenizeLengths(seq, n, header.tokens);
  FinishHeader(header);
  if (!search) return;

  // The run of like lengths from each position (at most 138, the longest
  // any run symbol covers), found once for the many searches below.
  uint8_t runs[kMaxSequence];
  for (int i = n - 1; i >= 0; --i)
    runs[i] = uint8_t(i + 1 < n && seq[i + 1] == seq[i] ? std::min(runs[i + 1] + 1, 138) : 1);

  CodeLengthHeader trial;
  trial.hlit = hlit;
  trial.hdist = hdist;
  const int usable = UsableRunSymbols(seq, n);
  for (int mask = 0; mask < kRunSymbolMasks; ++mask) {
    // A run symbol the sequence has no run for changes nothing: that mask
    // searches what the mask without it already did.
    if (mask & ~usable) continue;
    // The first round prices every symbol alike, so that the runs decide;
    // later rounds price by the code the previous round's tokens built.
    int cost[19];
    std::fill(cost, cost + 19, 4);
    int previous = INT_MAX;
    for (int round = 0; round < kRefineRounds; ++round) {
      trial.numTokens = CheapestTokens(seq, runs, n, cost, mask, trial.tokens);
      const int bits = FinishHeader(trial);
      if (bits < header.bits) header = trial;
      if (bits >= previous) break;
      previous = bits;
      for (int s = 0; s < 19; ++s) cost[s] = trial.clLengths[s] ? trial.clLengths[s] : 8;
    }
  }
}

void WriteCodeLengthHeader(BitSink& out, const CodeLengthHeader& h) {
  uint32_t codes[19];
  CanonicalCodes(h.clLengths, 19, codes);
  out.Put(uint32_t(h.hlit - 257), 5);
  out.Put(uint32_t(h.hdist - 1), 5);
  out.Put(uint32_t(h.hclen - 4), 4);
  for (int i = 0; i < h.hclen; ++i) out.Put(uint32_t(h.clLengths[kCodeLengthOrder[i]]), 3);
  for (int t = 0; t < h.numTokens; ++t) {
    const LengthToken& tok = h.tokens[t];
    out.Put(codes[tok.symbol], h.clLengths[tok.symbol]);
    if (tok.extraBits) out.Put(tok.extra, tok.extraBits);
  }
}

}  // namespace deflate
