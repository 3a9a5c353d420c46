#include "engine/deflate/LzBlock.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "engine/deflate/Huffman.h"

namespace deflate {
namespace {

struct FixedLengths {
  int32_t literal[288];
  int32_t distance[kDistanceCodes];
  FixedLengths() {
    for (int i = 0; i < 288; ++i) literal[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    std::fill(distance, distance + kDistanceCodes, 5);
  }
};

const FixedLengths& Fixed() {
  static const FixedLengths fixed;
  return fixed;
}

void PutSymbols(BitSink& out, const LzStep* steps, size_t count, const int32_t* litLengths,
                const uint32_t* litCodes, const int32_t* distLengths, const uint32_t* distCodes) {
  const CodeTables& tables = SharedCodeTables();
  for (size_t i = 0; i < count; ++i) {
    const LzStep& s = steps[i];
    if (s.length == 1) {
      out.Put(litCodes[s.value], litLengths[s.value]);
      continue;
    }
    const int lc = tables.LengthCode(s.length);
    out.Put(litCodes[257 + lc], litLengths[257 + lc]);
    if (kLengthCodes[lc].extraBits) out.Put(uint32_t(s.length - kLengthCodes[lc].base), kLengthCodes[lc].extraBits);
    const int dc = tables.DistanceCode(s.value);
    out.Put(distCodes[dc], distLengths[dc]);
    if (kDistanceCodeInfo[dc].extraBits)
      out.Put(uint32_t(s.value - kDistanceCodeInfo[dc].base), kDistanceCodeInfo[dc].extraBits);
  }
  out.Put(litCodes[kEndOfBlock], litLengths[kEndOfBlock]);
}

}  // namespace

const CodeTables& SharedCodeTables() {
  static const CodeTables tables;
  return tables;
}

namespace {

// One step's symbols counted up or down.  The tables come from the caller,
// so that counting a whole parse (the iteration does it for every parse)
// looks them up once rather than per step through the guarded static.
inline void CountStep(SymbolCounts& counts, const LzStep& step, int32_t delta, const CodeTables& tables) {
  if (step.length == 1) {
    counts.literal[step.value] += delta;
  } else {
    counts.literal[257 + tables.LengthCode(step.length)] += delta;
    counts.distance[tables.DistanceCode(step.value)] += delta;
  }
}

}  // namespace

void SymbolCounts::Add(const LzStep& step) { CountStep(*this, step, 1, SharedCodeTables()); }

void SymbolCounts::Remove(const LzStep& step) { CountStep(*this, step, -1, SharedCodeTables()); }

SymbolCounts SymbolCounts::Of(const LzStep* steps, size_t count) {
  const CodeTables& tables = SharedCodeTables();
  SymbolCounts counts;
  for (size_t i = 0; i < count; ++i) CountStep(counts, steps[i], 1, tables);
  counts.literal[kEndOfBlock] = 1;
  return counts;
}

namespace {

// Counts reshaped so that the code lengths built from them run-length code
// well: within a stretch of neighbouring symbols whose counts all lie within
// `tolerance` of the stretch's mean, every count becomes that mean, so the
// stretch gets one length and the header one repeat; with fillGaps, unused
// symbols between used ones count once, so that a code's long lengths are
// not broken up by zeros.  The code then codes the real counts a little
// worse and its header a lot better; the caller keeps whichever totals less.
void Reshape(const int32_t* counts, int n, double tolerance, bool fillGaps, int32_t* out) {
  std::copy(counts, counts + n, out);
  if (fillGaps) {
    int first = 0;
    while (first < n && counts[first] <= 0) ++first;
    int last = n - 1;
    while (last > first && counts[last] <= 0) --last;
    for (int i = first; i < last; ++i)
      if (out[i] <= 0) out[i] = 1;
  }
  if (tolerance <= 0) return;
  for (int start = 0; start < n;) {
    double sum = out[start];
    int32_t low = out[start];
    int32_t high = out[start];
    int end = start + 1;
    while (end < n && (out[end] > 0) == (out[start] > 0)) {
      // Every count of the stretch must lie near its mean: the lowest and
      // the highest say whether all do.
      const int32_t nextLow = std::min(low, out[end]);
      const int32_t nextHigh = std::max(high, out[end]);
      const double mean = (sum + out[end]) / (end - start + 1);
      const double slack = tolerance * mean + 1.0;
      if (nextHigh - mean > slack || mean - nextLow > slack) break;
      low = nextLow;
      high = nextHigh;
      sum += out[end];
      ++end;
    }
    if (end - start >= 4 && out[start] > 0) {
      const int32_t mean = std::max<int32_t>(1, int32_t(sum / (end - start) + 0.5));
      std::fill(out + start, out + end, mean);
    }
    start = end;
  }
}

// The bits of each stretch of used symbols under the shared length of its
// mean count, which FlattenStretches prices for every pair of ends under
// each of its weights and gap rules: worked out once per alphabet and
// looked up by the ranks of the stretch's first and last used symbol.
//
// A stretch of sum uses over len symbols, out of total, costs
// sum * log2(total * len / sum) bits.  Every pair of used symbols is a
// stretch, so a logarithm per pair was most of a small block's code search;
// the three logarithms of whole numbers come from a table instead.
class StretchBits {
 public:
  StretchBits(const int32_t* counts, int n) : m_n(n) {
    for (int i = 0; i < n; ++i) m_prefix[i + 1] = m_prefix[i] + std::max(counts[i], 0);
    const double total = std::max(m_prefix[n], 1.0);
    int used = 0;
    for (int i = 0; i < n; ++i) {
      m_rank[i] = counts[i] > 0 ? used : -1;
      if (counts[i] > 0) m_symbol[used++] = i;
    }
    m_used = used;
    // Only pairs in order are read, so the rest is left unset.
    m_bits.reset(new double[size_t(used) * size_t(used)]);
    const std::vector<double>& logs = Log2Table();
    // Block counts beyond the table (large inputs' final codes only) take
    // the logarithm itself.
    const bool tabled = total < double(logs.size());
    const double logTotal = tabled ? logs[size_t(total)] : std::log2(total);
    auto log2Of = [&](double k) { return tabled ? logs[size_t(k)] : std::log2(k); };
    for (int i = 0; i < n; ++i) {
      if (m_rank[i] < 0) continue;
      double* const row = &m_bits[size_t(m_rank[i]) * size_t(used)];
      for (int j = i + 1; j <= n; ++j) {
        if (m_rank[j - 1] < 0) continue;
        const double sum = m_prefix[j] - m_prefix[i];
        row[m_rank[j - 1]] = sum * (logTotal + logs[size_t(j - i)] - log2Of(sum));
      }
    }
  }

  int size() const { return m_n; }
  double Prefix(int i) const { return m_prefix[i]; }
  int Used() const { return m_used; }
  int RankOf(int symbol) const { return m_rank[symbol]; }
  int UsedSymbol(int rank) const { return m_symbol[rank]; }
  // Bits of the used symbols i .. j - 1 (both ends used) as one stretch.
  double Of(int i, int j) const { return m_bits[size_t(m_rank[i]) * size_t(m_used) + size_t(m_rank[j - 1])]; }

 private:
  int m_n;
  int m_used = 0;
  double m_prefix[kLitLenCodes + 1] = {};
  int m_rank[kLitLenCodes];
  int m_symbol[kLitLenCodes];
  std::unique_ptr<double[]> m_bits;

  // log2 of 0 .. 65535 (0 unused), built once and shared by every thread.
  static const std::vector<double>& Log2Table() {
    static const std::vector<double> table = [] {
      std::vector<double> t(size_t(1) << 16);
      for (size_t k = 1; k < t.size(); ++k) t[k] = std::log2(double(k));
      return t;
    }();
    return table;
  }
};

// Counts flattened where a stretch of neighbouring symbols is cheaper with
// one shared length than with lengths of their own.  Reshape grows a stretch
// only while every count stays near its mean, so one outlier ends it; here a
// shortest path over the symbols picks the stretches: a stretch of used
// symbols (with fillGaps, unused ones between them too) costs the bits of
// its counts under the shared length its mean would get, plus what the
// header pays for it (a length, then a repeat per six symbols); a run of
// unused symbols costs one zero-run code.  headerBits weighs the header's
// share, from a light touch to flattening most of the alphabet.
void FlattenStretches(const int32_t* counts, const StretchBits& stretch, double headerBits, bool fillGaps,
                      int32_t* out) {
  constexpr int kMaxSymbols = kLitLenCodes;
  const int n = stretch.size();
  auto headerOf = [headerBits](int symbols) {
    if (symbols < 4) return headerBits * symbols;
    return headerBits + 1.25 * headerBits * ((symbols + 4) / 6);
  };
  double best[kMaxSymbols + 1];
  int from[kMaxSymbols + 1];
  std::fill(best, best + n + 1, 1e300);
  best[0] = 0;
  for (int i = 0; i < n; ++i) {
    if (best[i] >= 1e300) continue;
    if (counts[i] <= 0) {
      int j = i;
      while (j < n && counts[j] <= 0) ++j;
      const double c = best[i] + (j - i < 3 ? headerBits * (j - i) : 2 * headerBits);
      if (c < best[j]) {
        best[j] = c;
        from[j] = i;
      }
      continue;
    }
    // A stretch ends after a used symbol: with fillGaps, after any later
    // one; without, only before the next unused one.
    for (int u = stretch.RankOf(i); u < stretch.Used(); ++u) {
      const int j = stretch.UsedSymbol(u) + 1;
      if (!fillGaps && j - i != u - stretch.RankOf(i) + 1) break;
      const double c = best[i] + stretch.Of(i, j) + headerOf(j - i);
      if (c < best[j]) {
        best[j] = c;
        from[j] = i;
      }
    }
  }
  std::copy(counts, counts + n, out);
  for (int j = n; j > 0; j = from[j]) {
    const int i = from[j];
    if (counts[i] <= 0 || j - i < 2) continue;
    const int32_t mean = std::max<int32_t>(1, int32_t((stretch.Prefix(j) - stretch.Prefix(i)) / (j - i) + 0.5));
    std::fill(out + i, out + j, mean);
  }
}

constexpr double kFlattenWeights[] = {2.0, 4.0};
constexpr int64_t kMaxSearchGainBits = 48;

struct ReshapeChoice {
  double tolerance;
  bool fillGaps;
};
constexpr ReshapeChoice kReshapes[] = {{0.0, true}, {0.15, false}, {0.15, true}, {0.4, false}, {0.4, true}, {0.8, true}, {1.5, true}};

}  // namespace

void CodeLengthsOf(const SymbolCounts& counts, int32_t* literal, int32_t* distance) {
  HuffmanLengths(counts.literal, kLitLenCodes, literal, 16, 1);
  HuffmanLengths(counts.distance, kDistanceCodes, distance, 16, 0);
}

void BuildDynamicCode(const SymbolCounts& counts, bool searchHeader, DynamicCode& code, bool flattenStretches) {
  CodeLengthsOf(counts, code.literal, code.distance);
  PlanCodeLengthHeader(code.literal, code.distance, searchHeader, code.header);
  if (!searchHeader) return;
  int64_t best = DynamicBlockBits(counts, code);
  DynamicCode trial;
  int32_t literal[kLitLenCodes];
  int32_t distance[kDistanceCodes];
  // Reshapes often leave the lengths as an earlier one built them (a
  // tolerance no stretch meets, no gaps to fill); the header search of the
  // same lengths would find the same header, so it runs once per distinct
  // set of lengths.
  std::vector<std::array<int32_t, kLitLenCodes + kDistanceCodes>> tried(1);
  std::copy(code.literal, code.literal + kLitLenCodes, tried[0].begin());
  std::copy(code.distance, code.distance + kDistanceCodes, tried[0].begin() + kLitLenCodes);
  std::vector<std::array<int32_t, kLitLenCodes + kDistanceCodes>> shapes(1);
  std::copy(counts.literal, counts.literal + kLitLenCodes, shapes[0].begin());
  std::copy(counts.distance, counts.distance + kDistanceCodes, shapes[0].begin() + kLitLenCodes);
  auto consider = [&](const int32_t* literal, const int32_t* distance) {
    // Likewise the same counts would build the same lengths.
    std::array<int32_t, kLitLenCodes + kDistanceCodes> shaped;
    std::copy(literal, literal + kLitLenCodes, shaped.begin());
    std::copy(distance, distance + kDistanceCodes, shaped.begin() + kLitLenCodes);
    if (std::find(shapes.begin(), shapes.end(), shaped) != shapes.end()) return;
    shapes.push_back(shaped);
    HuffmanLengths(literal, kLitLenCodes, trial.literal, 16, 1);
    HuffmanLengths(distance, kDistanceCodes, trial.distance, 16, 0);
    std::array<int32_t, kLitLenCodes + kDistanceCodes> lengths;
    std::copy(trial.literal, trial.literal + kLitLenCodes, lengths.begin());
    std::copy(trial.distance, trial.distance + kDistanceCodes, lengths.begin() + kLitLenCodes);
    if (std::find(tried.begin(), tried.end(), lengths) != tried.end()) return;
    tried.push_back(lengths);
    // The search saves a header some bits over the engine's walk, never
    // dozens: lengths whose walked block is that far behind cannot win.
    PlanCodeLengthHeader(trial.literal, trial.distance, false, trial.header);
    if (DynamicBlockBits(counts, trial) > best + kMaxSearchGainBits) return;
    PlanCodeLengthHeader(trial.literal, trial.distance, true, trial.header);
    const int64_t bits = DynamicBlockBits(counts, trial);
    if (bits < best) {
      best = bits;
      code = trial;
    }
  };
  for (const ReshapeChoice& r : kReshapes) {
    Reshape(counts.literal, kLitLenCodes, r.tolerance, r.fillGaps, literal);
    Reshape(counts.distance, kDistanceCodes, r.tolerance, r.fillGaps, distance);
    consider(literal, distance);
  }
  if (!flattenStretches) return;
  const StretchBits literalStretches(counts.literal, kLitLenCodes);
  const StretchBits distanceStretches(counts.distance, kDistanceCodes);
  for (double weight : kFlattenWeights)
    for (bool fillGaps : {false, true}) {
      FlattenStretches(counts.literal, literalStretches, weight, fillGaps, literal);
      FlattenStretches(counts.distance, distanceStretches, weight, fillGaps, distance);
      consider(literal, distance);
    }
}

int64_t SymbolBits(const SymbolCounts& counts, const int32_t* literalLengths, const int32_t* distanceLengths) {
  int64_t bits = 0;
  for (int i = 0; i < kLitLenCodes; ++i) {
    if (!counts.literal[i]) continue;
    const int extra = i > kEndOfBlock ? kLengthCodes[i - 257].extraBits : 0;
    bits += int64_t(counts.literal[i]) * (literalLengths[i] + extra);
  }
  for (int i = 0; i < kDistanceCodes; ++i) {
    if (counts.distance[i]) bits += int64_t(counts.distance[i]) * (distanceLengths[i] + kDistanceCodeInfo[i].extraBits);
  }
  return bits;
}

int64_t DynamicBlockBits(const SymbolCounts& counts, const DynamicCode& code) {
  return 3 + code.header.bits + SymbolBits(counts, code.literal, code.distance);
}

int64_t FixedBlockBits(const SymbolCounts& counts) {
  return 3 + SymbolBits(counts, Fixed().literal, Fixed().distance);
}

int64_t StoredBlockBits(size_t bytes) {
  const size_t pieces = bytes == 0 ? 1 : (bytes + 65534) / 65535;
  // Each piece: 3 header bits and up to 7 padding bits, LEN and NLEN.
  return int64_t(pieces) * (3 + 7 + 32) + int64_t(bytes) * 8;
}

int64_t EstimateBlockBits(const SymbolCounts& counts) {
  DynamicCode code;
  BuildDynamicCode(counts, false, code);
  return std::min(DynamicBlockBits(counts, code), FixedBlockBits(counts));
}

const int32_t* FixedLiteralLengths() { return Fixed().literal; }
const int32_t* FixedDistanceLengths() { return Fixed().distance; }

void WriteBlock(BitSink& out, BlockKind kind, bool final, const uint8_t* data, size_t begin, size_t end,
                const LzStep* steps, size_t count, const DynamicCode* code) {
  if (kind == BlockKind::Stored) {
    // A stored block holds at most 65,535 bytes; longer stretches take
    // several, only the last of which may carry BFINAL.
    size_t at = begin;
    do {
      const size_t n = std::min<size_t>(end - at, 65535);
      out.Put((final && at + n == end) ? 1 : 0, 1);
      out.Put(0, 2);
      out.AlignToByte();
      out.Put(uint32_t(n), 16);
      out.Put(uint32_t(~n & 0xFFFF), 16);
      for (size_t i = 0; i < n; ++i) out.PutByte(data[at + i]);
      at += n;
    } while (at < end);
    return;
  }
  out.Put(final ? 1 : 0, 1);
  if (kind == BlockKind::Fixed) {
    out.Put(1, 2);
    uint32_t litCodes[288];
    uint32_t distCodes[kDistanceCodes];
    CanonicalCodes(Fixed().literal, 288, litCodes);
    CanonicalCodes(Fixed().distance, kDistanceCodes, distCodes);
    PutSymbols(out, steps, count, Fixed().literal, litCodes, Fixed().distance, distCodes);
    return;
  }
  out.Put(2, 2);
  WriteCodeLengthHeader(out, code->header);
  uint32_t litCodes[kLitLenCodes];
  uint32_t distCodes[kDistanceCodes];
  CanonicalCodes(code->literal, kLitLenCodes, litCodes);
  CanonicalCodes(code->distance, kDistanceCodes, distCodes);
  PutSymbols(out, steps, count, code->literal, litCodes, code->distance, distCodes);
}

}  // namespace deflate
