#include "engine/deflate/BinaryTreeMatchFinder.h"

#include <algorithm>
#include <cstring>

#include "engine/deflate/DeflateTables.h"
#include "engine/deflate/LzBlock.h"

namespace deflate {
namespace {

constexpr uint32_t kWindowMask = kWindow - 1;

uint32_t Hash3(const uint8_t* p) {
  const uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  return (v * 0x9E3779B1u) >> (32 - 16);
}

}  // namespace

BinaryTreeMatchFinder::BinaryTreeMatchFinder(MatchFinderLimits limits)
    : m_limits(limits), m_heads(size_t(1) << kHashBits, kNone), m_children(2 * size_t(kWindow), kNone) {}

void BinaryTreeMatchFinder::Reset(const uint8_t* data, size_t size) {
  m_data = data;
  m_size = size;
  std::fill(m_heads.begin(), m_heads.end(), kNone);
}

size_t BinaryTreeMatchFinder::MemoryBytes() {
  return ((size_t(1) << kHashBits) + 2 * size_t(kWindow)) * sizeof(uint32_t);
}

void BinaryTreeMatchFinder::FindMatches(size_t pos, int maxLength, std::vector<MatchPair>& out) {
  if (pos + kMinMatch > m_size) return;
  const uint8_t* const cur = m_data + pos;
  uint32_t& head = m_heads[Hash3(cur)];
  uint32_t node = head;
  head = uint32_t(pos);

  // The two places where the next node on each side will hang.
  uint32_t* lessSlot = &m_children[2 * (pos & kWindowMask)];
  uint32_t* greaterSlot = lessSlot + 1;
  const int limit = std::min<int>(maxLength, kMaxMatch);
  const int nice = std::min(m_limits.niceLength, limit);
  int lessLength = 0;
  int greaterLength = 0;
  int bestLength = kMinMatch - 1;
  // The longest match of the current distance code that is no record,
  // held back until the walk leaves that code (the walk's distances grow).
  const CodeTables& tables = SharedCodeTables();
  int bucketCode = -1;
  int bucketLength = 0;
  MatchPair held{0, 0};
  for (int depth = m_limits.maxDepth; node != kNone && pos - node < size_t(kWindow) && depth > 0; --depth) {
    const uint8_t* const cand = m_data + node;
    int length = std::min(lessLength, greaterLength);
    while (length < limit && cand[length] == cur[length]) ++length;
    uint32_t* const children = &m_children[2 * (node & kWindowMask)];
    if (length >= kMinMatch && m_limits.everyDistanceCode) {
      const int code = tables.DistanceCode(int(pos - node));
      if (code != bucketCode) {
        if (held.length) out.push_back(held);
        held = {0, 0};
        bucketCode = code;
        bucketLength = 0;
      }
      if (length <= bestLength && length > bucketLength && std::memcmp(cand, cur, size_t(length)) == 0) {
        held = {uint16_t(length), uint16_t(pos - node)};
        bucketLength = length;
      }
    }
    if (length > bestLength && std::memcmp(cand, cur, size_t(length)) == 0) {
      bestLength = length;
      bucketLength = length;
      held = {0, 0};
      out.push_back({uint16_t(length), uint16_t(pos - node)});
    }
    if (length >= nice) {
      // The node is the same string as far as we look, and farther: drop it.
      *lessSlot = children[0];
      *greaterSlot = children[1];
      if (held.length) out.push_back(held);
      return;
    }
    if (cand[length] < cur[length]) {
      *lessSlot = node;
      lessSlot = &children[1];
      node = *lessSlot;
      lessLength = length;
    } else {
      *greaterSlot = node;
      greaterSlot = &children[0];
      node = *greaterSlot;
      greaterLength = length;
    }
  }
  *lessSlot = kNone;
  *greaterSlot = kNone;
  if (held.length) out.push_back(held);
}

void MatchCache::Build(const uint8_t* data, size_t size, MatchFinderLimits limits) {
  BinaryTreeMatchFinder finder(limits);
  finder.Reset(data, size);
  m_offsets.assign(size + 1, 0);
  m_pairs.clear();
  m_pairs.reserve(size);
  std::vector<MatchPair> found;
  for (size_t pos = 0; pos < size; ++pos) {
    m_offsets[pos] = uint32_t(m_pairs.size());
    found.clear();
    const size_t left = size - pos;
    finder.FindMatches(pos, int(std::min<size_t>(left, kMaxMatch)), found);
    m_pairs.insert(m_pairs.end(), found.begin(), found.end());
  }
  m_offsets[size] = uint32_t(m_pairs.size());
  m_pairs.shrink_to_fit();
  const CodeTables& tables = SharedCodeTables();
  m_codes.resize(m_pairs.size());
  for (size_t k = 0; k < m_pairs.size(); ++k) m_codes[k] = uint8_t(tables.DistanceCode(m_pairs[k].distance));
}

size_t MatchCache::MemoryBytes() const {
  return m_offsets.capacity() * sizeof(uint32_t) + m_pairs.capacity() * sizeof(MatchPair) + m_codes.capacity() +
         BinaryTreeMatchFinder::MemoryBytes();
}

}  // namespace deflate
