#include "engine/deflate/Huffman.h"

#include <algorithm>
#include <climits>

#include "engine/EngineContext.h"
#include "engine/deflate/BlockWriter.h"
#include "engine/deflate/DeflateTables.h"

namespace deflate {
namespace {

constexpr int kMaxSymbols = kLitLenCodes;
constexpr int kMaxNodes = 2 * kMaxSymbols - 1;
constexpr int kSentinel = kMaxNodes;  // node number of the heap's slot-0 guard

// Binary min-heap of node numbers keyed by weight only.  Which of several
// equal weights leaves first is decided by the exact moves below, and that
// choice shows in the code lengths, so the moves must not be "improved".
// Each slot carries its node's weight beside the node number, so the
// comparisons read the slot itself instead of looking the node up.
struct NodeHeap {
  struct Slot {
    int32_t weight;
    int32_t node;
  };
  int32_t weight[kMaxNodes + 1];
  int32_t parent[kMaxNodes];
  int32_t depth[kMaxNodes];
  Slot slot[kMaxSymbols + 1];  // slot 0 holds the sentinel
  int size = 0;

  void Reset() {
    weight[kSentinel] = INT32_MIN;
    slot[0] = {INT32_MIN, kSentinel};
    size = 0;
  }

  // Moves up past the parent only while the parent is strictly heavier; the
  // sentinel's minimum weight stops every climb at slot 1.
  void Insert(int node) {
    int hole = ++size;
    const int32_t w = weight[node];
    while (slot[hole >> 1].weight > w) {
      slot[hole] = slot[hole >> 1];
      hole >>= 1;
    }
    slot[hole] = {w, node};
  }

  // Takes slot 1 and sinks the last node from the top: the right child is
  // chosen only when strictly lighter than the left, and the sinking stops
  // when the chosen child is not lighter than the moving node.
  int RemoveMin() {
    const int top = slot[1].node;
    const Slot moving = slot[size--];
    int hole = 1;
    for (;;) {
      int child = hole * 2;
      if (child > size) break;
      if (child + 1 <= size && slot[child + 1].weight < slot[child].weight) ++child;
      if (!(slot[child].weight < moving.weight)) break;
      slot[hole] = slot[child];
      hole = child;
    }
    slot[hole] = moving;
    return top;
  }
};

// Fewer than two used symbols: a decoder still needs a code, and some want
// two; mintreecodes says how many the table gets.
void DegenerateLengths(int used, int usedSymbol, int n, int32_t* lengths, int mintreecodes) {
  std::fill(lengths, lengths + n, 0);
  if (used == 1) lengths[usedSymbol] = 1;
  else if (mintreecodes >= 1) lengths[0] = 1;
  if (mintreecodes >= 2) {
    const int second = (used == 1 && (usedSymbol & 1)) ? 0 : 1;
    if (second < n) lengths[second] = 1;
  }
}

// Builds the tree for the scaled weights; returns the longest length.
int BuildTree(NodeHeap& heap, int n, int used, int32_t* lengths) {
  int next = n;
  for (int merge = 0; merge < used - 1; ++merge, ++next) {
    const int a = heap.RemoveMin();
    const int b = heap.RemoveMin();
    heap.parent[a] = next;
    heap.parent[b] = next;
    heap.weight[next] = heap.weight[a] + heap.weight[b];
    heap.Insert(next);
  }
  const int root = next - 1;
  heap.depth[root] = 0;
  for (int m = root - 1; m >= n; --m) heap.depth[m] = heap.depth[heap.parent[m]] + 1;
  int longest = 0;
  for (int i = 0; i < n; ++i) {
    if (heap.weight[i] == INT32_MAX) {
      lengths[i] = 0;
      continue;
    }
    lengths[i] = heap.depth[heap.parent[i]] + 1;
    longest = std::max(longest, lengths[i]);
  }
  return longest;
}

// Among neighbouring symbols of equal scaled weight the lower-numbered one
// never gets the longer code: sort each such run of lengths ascending.
void OrderEqualWeights(const int32_t* counts, int n, int32_t* lengths, int32_t bias, int shift) {
  for (int i = 0; i < n; ++i) {
    if (counts[i] <= 0) continue;
    const int32_t w = (counts[i] + bias) >> shift;
    int end = i + 1;
    while (end < n && counts[end] > 0 && ((counts[end] + bias) >> shift) == w) ++end;
    // The runs are short (a few symbols of like count); an insertion sort
    // orders them without std::sort's set-up, which the optimal parser's
    // thousands of code builds per block would pay each time.  It holds the
    // length being placed and shifts the longer ones up: swapping
    // neighbours stored and reloaded overlapping words, which stalled.
    for (int k = i + 1; k < end; ++k) {
      const int32_t length = lengths[k];
      int m = k;
      for (; m > i && lengths[m - 1] > length; --m) lengths[m] = lengths[m - 1];
      lengths[m] = length;
    }
    // Every later start inside the run ends at the same place and finds its
    // part already in order.
    i = end - 1;
  }
}

}  // namespace

void HuffmanLengths(const int32_t* counts, int n, int32_t* lengths, int limit, int mintreecodes) {
  NodeHeap heap;
  int32_t bias = 0;
  int shift = 0;
  for (;;) {
    heap.Reset();
    int used = 0;
    int usedSymbol = 0;
    for (int i = 0; i < n; ++i) {
      if (counts[i] > 0) {
        heap.weight[i] = (counts[i] + bias) >> shift;
        ++used;
        usedSymbol = i;
      } else {
        heap.weight[i] = INT32_MAX;
      }
      heap.Insert(i);
    }
    if (used < 2) {
      DegenerateLengths(used, usedSymbol, n, lengths, mintreecodes);
      return;
    }
    if (BuildTree(heap, n, used, lengths) < limit) break;
    // Halve the spread of the weights (rounding up, so none reaches 0) and
    // build again until the longest code fits.
    bias += int32_t(1) << shift;
    ++shift;
  }
  OrderEqualWeights(counts, n, lengths, bias, shift);
}

void CanonicalCodes(const int32_t* lengths, int n, uint32_t* codes) {
  uint32_t count[32] = {};
  for (int i = 0; i < n; ++i) ++count[lengths[i] & 31];
  uint32_t next[32] = {};
  for (int b = 2; b < 32; ++b) next[b] = (next[b - 1] + count[b - 1]) << 1;
  for (int i = 0; i < n; ++i) {
    const int len = lengths[i];
    if (len <= 0) {
      codes[i] = 0;
      continue;
    }
    uint32_t code = next[len]++;
    uint32_t reversed = 0;
    for (int bit = 0; bit < len; ++bit, code >>= 1) reversed = (reversed << 1) | (code & 1);
    codes[i] = reversed;
  }
}

namespace {

// A repeat of the previous length.  A remainder of 2 would leave a tail too
// short to repeat, so such runs take 5 first (leaving 3 for the next repeat).
int RepeatPrevious(int run, LengthToken*& out) {
  if (run % 6 == 2) run = 5;
  run = std::min(run, 6);
  *out++ = {16, uint8_t(run - 3), 2};
  return run;
}

}  // namespace

// Run-length codes the sequence; returns the number of tokens.
int TokenizeLengths(const uint8_t* seq, int count, LengthToken* tokens) {
  LengthToken* out = tokens;
  int i = 0;
  while (i < count) {
    const int value = seq[i];
    int run = 1;
    while (i + run < count && seq[i + run] == value) ++run;
    const bool afterSame = i > 0 && seq[i - 1] == value;
    if (value == 0 && run >= 3) {
      run = std::min(run, 138);
      if (run >= 11) *out++ = {18, uint8_t(run - 11), 7};
      else if (afterSame && run <= 6) *out++ = {16, uint8_t(run - 3), 2};
      else *out++ = {17, uint8_t(run - 3), 3};
      i += run;
    } else if (afterSame && run >= 3) {
      i += RepeatPrevious(run, out);
    } else if (run <= 3) {
      *out++ = {uint8_t(value), 0, 0};
      i += 1;
    } else {
      *out++ = {uint8_t(value), 0, 0};
      i += 1;
      i += RepeatPrevious(run - 1, out);
    }
  }
  return int(out - tokens);
}

void WriteTreeHeader(EngineContext& ctx, const int32_t* lengths) {
  int hlit = kLitLenCodes;
  while (lengths[hlit - 1] == 0 && hlit >= 258) --hlit;
  int hdist = kDistanceCodes;
  while (lengths[kDistanceBase + hdist - 1] == 0 && hdist >= 2) --hdist;
  PutBits(ctx, uint32_t(hlit - 257), 5);
  PutBits(ctx, uint32_t(hdist - 1), 5);

  // Runs may cross from the literal/length lengths into the distance ones.
  uint8_t seq[kLitLenCodes + kDistanceCodes];
  for (int i = 0; i < hlit; ++i) seq[i] = uint8_t(lengths[i]);
  for (int i = 0; i < hdist; ++i) seq[hlit + i] = uint8_t(lengths[kDistanceBase + i]);
  LengthToken tokens[kLitLenCodes + kDistanceCodes];
  const int numTokens = TokenizeLengths(seq, hlit + hdist, tokens);

  int32_t counts[19] = {};
  for (int t = 0; t < numTokens; ++t) ++counts[tokens[t].symbol];
  int32_t clLengths[19];
  uint32_t clCodes[19];
  HuffmanLengths(counts, 19, clLengths, 8, ctx.job ? ctx.job->mintreecodes : 0);
  CanonicalCodes(clLengths, 19, clCodes);

  int hclen = 19;
  while (hclen > 4 && clLengths[kCodeLengthOrder[hclen - 1]] == 0) --hclen;
  PutBits(ctx, uint32_t(hclen - 4), 4);
  for (int i = 0; i < hclen; ++i) PutBits(ctx, uint32_t(clLengths[kCodeLengthOrder[i]]), 3);

  for (int t = 0; t < numTokens; ++t) {
    const LengthToken& tok = tokens[t];
    PutBits(ctx, clCodes[tok.symbol], clLengths[tok.symbol]);
    if (tok.extraBits) PutBits(ctx, tok.extra, tok.extraBits);
  }
}

}  // namespace deflate
