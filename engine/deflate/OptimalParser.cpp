#include "engine/deflate/OptimalParser.h"

#include <algorithm>
#include <limits>

#include "engine/CorrectlyRoundedLog.h"

namespace deflate {
namespace {

// Every pair of a position is priced: its list holds one pair per record
// length (at most 256, lengths 3 to 258) plus, with the farther distance
// codes on, one per distance code.  The farthest pairs are the longest, so
// a cap here would drop exactly the matches a gradient or a repeated
// pattern needs most.
constexpr int kMaxPairsPriced = (kMaxMatch - kMinMatch + 1) + kDistanceCodes;

}  // namespace

// The forward sweep spends most of its time relaxing the 256 lengths of a
// long match, one float each; where the processor has 256-bit vectors
// (chosen at load time), that loop runs in half the instructions.  The
// sums and minima are the same IEEE operations either way, so every build
// finds the same costs and writes the same stream.  Only GCC on x86-64
// Linux resolves such clones at load time; elsewhere the plain build runs.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__) && \
    !defined(__SANITIZE_ADDRESS__)
#define VELKOR_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define VELKOR_WIDE_VECTORS
#endif

CostModel CostsOfLengths(const int32_t* literalLengths, const int32_t* distanceLengths) {
  int longest = 0;
  for (int i = 0; i < kLitLenCodes; ++i) longest = std::max(longest, int(literalLengths[i]));
  const float unusedLiteral = float(longest + 1);
  int longestDistance = 0;
  for (int i = 0; i < kDistanceCodes; ++i) longestDistance = std::max(longestDistance, int(distanceLengths[i]));
  const float unusedDistance = float(longestDistance + 1);
  auto price = [](int32_t length, float unused) { return length > 0 ? float(length) : unused; };

  CostModel m;
  for (int b = 0; b < 256; ++b) m.literal[b] = price(literalLengths[b], unusedLiteral);
  const CodeTables& tables = SharedCodeTables();
  m.length[0] = m.length[1] = m.length[2] = 0;
  for (int len = kMinMatch; len <= kMaxMatch; ++len) {
    const int lc = tables.LengthCode(len);
    m.length[len] = price(literalLengths[257 + lc], unusedLiteral) + float(kLengthCodes[lc].extraBits);
  }
  for (int dc = 0; dc < kDistanceCodes; ++dc)
    m.distance[dc] = price(distanceLengths[dc], unusedDistance) + float(kDistanceCodeInfo[dc].extraBits);
  return m;
}

// The forward sweep keeps only costs: a plain running minimum per target
// position, which the compiler turns into vector instructions; the hot case
// is a long match, whose 256 lengths are all relaxed from one position.
// The walk back then finds, at each position of the path, a step whose
// recomputed cost (the same float operations in the same order, so the
// same value) equals the cost recorded there.  Any such step lies on a
// cheapest path.  The literal is tried first and matches from the nearest
// position on, so short steps win ties as in a sweep that kept arrivals.
CostModel CostsOfCounts(const SymbolCounts& counts) {
  // Literal/length and distance symbols are priced within their own code.
  // The correctly rounded logarithm, so that every build prices alike and
  // writes the same stream.
  auto bitsOf = [](const int32_t* c, int n, float* out) {
    constexpr double kBitsPerNat = 1.4426950408889634;
    double total = 0;
    for (int i = 0; i < n; ++i) total += std::max(c[i], 0);
    const double all = CorrectlyRoundedLog(std::max(total, 1.0)) * kBitsPerNat;
    for (int i = 0; i < n; ++i)
      out[i] = float(c[i] > 0 ? all - CorrectlyRoundedLog(double(c[i])) * kBitsPerNat : all + 1.0);
  };
  float lit[kLitLenCodes];
  float dist[kDistanceCodes];
  bitsOf(counts.literal, kLitLenCodes, lit);
  bitsOf(counts.distance, kDistanceCodes, dist);
  CostModel m;
  for (int b = 0; b < 256; ++b) m.literal[b] = lit[b];
  const CodeTables& tables = SharedCodeTables();
  m.length[0] = m.length[1] = m.length[2] = 0;
  for (int len = kMinMatch; len <= kMaxMatch; ++len) {
    const int lc = tables.LengthCode(len);
    m.length[len] = lit[257 + lc] + float(kLengthCodes[lc].extraBits);
  }
  for (int dc = 0; dc < kDistanceCodes; ++dc) m.distance[dc] = dist[dc] + float(kDistanceCodeInfo[dc].extraBits);
  return m;
}

VELKOR_WIDE_VECTORS void OptimalParser::Parse(const uint8_t* data, const MatchCache& matches, size_t begin, size_t end,
                          const CostModel& costs, std::vector<LzStep>& out) {
  const size_t n = end - begin;
  m_cost.assign(n + 1, std::numeric_limits<float>::infinity());
  m_cost[0] = 0;
  float* const cost = m_cost.data();
  for (size_t i = 0; i < n; ++i) {
    const float here = cost[i];
    cost[i + 1] = std::min(cost[i + 1], here + costs.literal[data[begin + i]]);
    const int room = int(std::min<size_t>(n - i, kMaxMatch));
    const MatchPair* const pairs = matches.begin(begin + i);
    const uint8_t* const codes = matches.codes(begin + i);
    const int count = int(matches.end(begin + i) - pairs);
    float pairCost[kMaxPairsPriced];
    for (int k = 0; k < count && k < kMaxPairsPriced; ++k) {
      pairCost[k] = costs.distance[codes[k]];
      // Lengths that a pair seen before covers at no higher price are
      // already relaxed as cheaply; start above them.  Pairs grow longer
      // with distance, so the nearest such pair back covers the most (with
      // the farther distance codes on, not always the most, but never more
      // than is covered: starting lower only relaxes again).
      int length = kMinMatch;
      for (int j = k - 1; j >= 0; --j) {
        if (pairCost[j] <= pairCost[k]) {
          length = std::max(length, int(pairs[j].length) + 1);
          break;
        }
      }
      const int last = std::min<int>(pairs[k].length, room);
      const float base = here + pairCost[k];
      float* const target = cost + i;
      for (; length <= last; ++length) target[length] = std::min(target[length], base + costs.length[length]);
    }
  }

  const float cheapestDistance = *std::min_element(costs.distance, costs.distance + kDistanceCodes);
  const size_t first = out.size();
  for (size_t at = n; at > 0;) {
    const LzStep step = ArrivalAt(data, matches, begin, at, costs, cheapestDistance);
    out.push_back(step);
    at -= step.length;
  }
  std::reverse(out.begin() + std::ptrdiff_t(first), out.end());
}

LzStep OptimalParser::ArrivalAt(const uint8_t* data, const MatchCache& matches, size_t begin, size_t at,
                                const CostModel& costs, float cheapestDistance) const {
  const uint8_t byte = data[begin + at - 1];
  if (m_cost[at - 1] + costs.literal[byte] == m_cost[at]) return {1, byte};
  const size_t longest = std::min<size_t>(at, kMaxMatch);
  for (size_t length = kMinMatch; length <= longest; ++length) {
    const size_t i = at - length;
    // Float addition rounds monotonically, so no pair from i arrives at the
    // recorded cost when even the cheapest distance code overshoots it;
    // inside a long match, most starting points are far too dear.
    if (m_cost[i] + cheapestDistance + costs.length[length] > m_cost[at]) continue;
    const MatchPair* const pairs = matches.begin(begin + i);
    const uint8_t* const codes = matches.codes(begin + i);
    const int count = std::min<int>(int(matches.end(begin + i) - pairs), kMaxPairsPriced);
    for (int k = 0; k < count; ++k) {
      if (pairs[k].length < length) continue;
      const float base = m_cost[i] + costs.distance[codes[k]];
      if (base + costs.length[length] == m_cost[at]) return {uint16_t(length), pairs[k].distance};
    }
  }
  // Unreachable: every finite cost was set by one of the steps above.
  return {1, byte};
}

size_t OptimalParser::MemoryBytes() const {
  return m_cost.capacity() * sizeof(float);
}

}  // namespace deflate
