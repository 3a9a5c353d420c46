#include "cli/search/WindowParse.h"

#include <algorithm>
#include <limits>

#include "engine/deflate/LzBlock.h"

namespace search {
namespace {

constexpr size_t kWindow = 32768;
constexpr int kHashBits = 16;
// A stored block has no code: its bytes cost eight bits each and it holds
// no matches.
constexpr float kNoMatch = 1e9f;

uint32_t HashOf(const uint8_t* p) {
  const uint32_t v = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

}  // namespace

WindowParse::WindowParse(int chainDepth)
    : m_chainDepth(std::max(chainDepth, 1)), m_head(size_t(1) << kHashBits), m_stamp(size_t(1) << kHashBits, 0) {}

void WindowParse::SetBlocks(const std::vector<deflate::WrittenBlock>& blocks) {
  m_blocks.clear();
  for (const deflate::WrittenBlock& b : blocks) {
    Block block{b.end, {}};
    if (b.kind == deflate::BlockKind::Stored) {
      std::fill(std::begin(block.prices.literal), std::end(block.prices.literal), 8.0f);
      std::fill(std::begin(block.prices.length), std::end(block.prices.length), kNoMatch);
      std::fill(std::begin(block.prices.distance), std::end(block.prices.distance), kNoMatch);
    } else {
      block.prices = deflate::CostsOfLengths(b.literal, b.distance);
    }
    m_blocks.push_back(block);
  }
}

const WindowParse::Block& WindowParse::BlockAt(size_t offset) const {
  const auto it = std::upper_bound(m_blocks.begin(), m_blocks.end(), offset,
                                   [](size_t at, const Block& b) { return at < b.end; });
  return it == m_blocks.end() ? m_blocks.back() : *it;
}

// Walks each position's hash chain from the nearest entry outwards and
// keeps every match longer than all nearer ones: the nearest match of every
// length, as the optimal parser's own finder lists them.
void WindowParse::FindMatches(const uint8_t* window, size_t windowStart, size_t from, size_t to) {
  ++m_call;
  if (m_call == 0) {
    std::fill(m_stamp.begin(), m_stamp.end(), 0);
    m_call = 1;
  }
  const size_t size = to - windowStart;
  m_prev.assign(size, -1);
  m_pairs.clear();
  m_offsets.assign(to - from + 1, 0);
  const deflate::CodeTables& tables = deflate::SharedCodeTables();
  const size_t first = from - windowStart;
  size_t blockEnd = 0;
  for (size_t p = 0; p + 3 <= size; ++p) {
    const uint32_t h = HashOf(window + p);
    const bool chained = m_stamp[h] == m_call;
    if (p >= first) {
      m_offsets[p - first] = uint32_t(m_pairs.size());
      if (windowStart + p >= blockEnd) blockEnd = BlockAt(windowStart + p).end;
      const size_t room = std::min({size_t(deflate::kMaxMatch), size - p, blockEnd - (windowStart + p)});
      int best = deflate::kMinMatch - 1;
      int32_t candidate = chained ? m_head[h] : -1;
      for (int visited = 0; visited < m_chainDepth && candidate >= 0 && size_t(best) < room; ++visited) {
        const size_t q = size_t(candidate);
        if (p - q > kWindow) break;
        if (window[q + size_t(best)] == window[p + size_t(best)]) {
          size_t length = 0;
          while (length < room && window[q + length] == window[p + length]) ++length;
          if (length > size_t(best)) {
            best = int(length);
            const int distance = int(p - q);
            m_pairs.push_back({uint16_t(length), uint16_t(distance), uint8_t(tables.DistanceCode(distance))});
          }
        }
        candidate = m_prev[q];
      }
    }
    if (chained) m_prev[p] = m_head[h];
    m_stamp[h] = m_call;
    m_head[h] = int32_t(p);
  }
  // The last two positions start no match.
  for (size_t p = std::max(first, size >= 2 ? size - 2 : 0); p < size; ++p) m_offsets[p - first] = uint32_t(m_pairs.size());
  m_offsets[to - from] = uint32_t(m_pairs.size());
}

double WindowParse::Bits(const uint8_t* window, size_t windowStart, size_t from, size_t to) {
  if (to <= from || m_blocks.empty()) return 0.0;
  FindMatches(window, windowStart, from, to);
  const size_t n = to - from;
  const uint8_t* data = window + (from - windowStart);
  m_cost.assign(n + 1, std::numeric_limits<float>::infinity());
  m_cost[0] = 0.0f;
  const Block* block = &BlockAt(from);
  float pairCost[deflate::kMaxMatch + 1];
  for (size_t i = 0; i < n; ++i) {
    if (from + i >= block->end) block = &BlockAt(from + i);
    const deflate::CostModel& prices = block->prices;
    const float here = m_cost[i];
    m_cost[i + 1] = std::min(m_cost[i + 1], here + prices.literal[data[i]]);
    const Pair* pairs = m_pairs.data() + m_offsets[i];
    const int count = int(m_offsets[i + 1] - m_offsets[i]);
    for (int k = 0; k < count; ++k) {
      pairCost[k] = prices.distance[pairs[k].code];
      // A nearer pair at no higher price already reached its lengths as
      // cheaply; this one starts above them.
      int length = deflate::kMinMatch;
      for (int j = k - 1; j >= 0; --j) {
        if (pairCost[j] <= pairCost[k]) {
          length = int(pairs[j].length) + 1;
          break;
        }
      }
      const float base = here + pairCost[k];
      for (; length <= pairs[k].length; ++length) {
        m_cost[i + size_t(length)] = std::min(m_cost[i + size_t(length)], base + prices.length[length]);
      }
    }
  }
  return double(m_cost[n]);
}

}  // namespace search
