#include "cli/search/DeflateCostModel.h"

#include <algorithm>
#include <cmath>

#include "engine/deflate/DeflateTables.h"

namespace search {

namespace {

constexpr int kHashBits = 15;
using deflate::kMaxMatch;
using deflate::kMinMatch;
using deflate::kWindow;

// The length and distance codes are the compressor's own (one table for the
// writer, the parser and this model), so a symbol is priced as it is coded.
const deflate::CodeTables& Codes() {
  static const deflate::CodeTables tables;
  return tables;
}

inline uint32_t Hash3(const uint8_t* p) {
  const uint32_t v = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

}  // namespace

DeflateCostModel::DeflateCostModel(int chainDepth)
    : m_chainDepth(chainDepth),
      m_head(size_t(1) << kHashBits, -1),
      m_prev(kWindow, -1),
      m_tempHead(size_t(1) << kHashBits, -1),
      m_tempStamp(size_t(1) << kHashBits, 0) {
  // A flat prior: before any statistics every literal costs about 8 bits,
  // as under a fixed code.
  std::fill(std::begin(m_litlenCount), std::end(m_litlenCount), 1u);
  std::fill(std::begin(m_distCount), std::end(m_distCount), 1u);
  m_litlenTotal = 286;
  m_distTotal = 30;
  RefreshCosts();
}

void DeflateCostModel::RefreshCosts() {
  const double litlenTotal = std::log2(double(m_litlenTotal));
  for (int s = 0; s < 286; ++s) m_litlenBits[s] = float(litlenTotal - std::log2(double(m_litlenCount[s])));
  const double distTotal = std::log2(double(m_distTotal));
  for (int s = 0; s < 30; ++s) m_distBits[s] = float(distTotal - std::log2(double(m_distCount[s])));
}

void DeflateCostModel::InsertCommitted(size_t pos) {
  const uint32_t h = Hash3(&m_window[pos]);
  m_prev[pos & (kWindow - 1)] = m_head[h];
  m_head[h] = int32_t(pos);
}

void DeflateCostModel::InsertTemporary(size_t pos) {
  const uint32_t h = Hash3(&m_window[pos]);
  const size_t slot = pos - m_inserted;
  if (m_tempPrev.size() <= slot) m_tempPrev.resize(slot + 1);
  m_tempPrev[slot] = m_tempStamp[h] == m_stamp ? m_tempHead[h] : -1;
  m_tempHead[h] = int32_t(pos);
  m_tempStamp[h] = m_stamp;
}

DeflateCostModel::Match DeflateCostModel::LongestMatch(size_t pos, size_t end) const {
  Match best;
  if (pos + kMinMatch > end) return best;
  const int limit = int(std::min<size_t>(kMaxMatch, end - pos));
  const uint8_t* const data = m_window.data();
  const uint8_t* const cur = data + pos;
  const uint32_t h = Hash3(cur);
  int depth = m_chainDepth;
  auto consider = [&](size_t cand) {
    const uint8_t* c = data + cand;
    if (c[best.length] != cur[best.length] || c[0] != cur[0]) return;
    int l = 0;
    while (l < limit && c[l] == cur[l]) ++l;
    if (l > best.length) {
      best.length = l;
      best.distance = int(pos - cand);
    }
  };
  // The candidate's own positions are nearer, so they come first.
  int32_t cand = m_tempStamp[h] == m_stamp ? m_tempHead[h] : -1;
  while (cand >= 0 && depth-- > 0 && best.length < limit && pos - size_t(cand) <= size_t(kWindow)) {
    consider(size_t(cand));
    cand = m_tempPrev[size_t(cand) - m_inserted];
  }
  // The committed chain is a ring over the window: a link that does not
  // point backwards, or beyond the window, is stale.
  cand = m_head[h];
  size_t last = pos;
  while (cand >= 0 && size_t(cand) < last && depth-- > 0 && best.length < limit &&
         pos - size_t(cand) <= size_t(kWindow)) {
    consider(size_t(cand));
    last = size_t(cand);
    cand = m_prev[last & (kWindow - 1)];
  }
  if (best.length < kMinMatch) best = Match{};
  return best;
}

double DeflateCostModel::ParseSegment(size_t begin, size_t end, CostParse* parse) {
  const deflate::CodeTables& codes = Codes();
  ++m_stamp;
  // Positions before the segment whose three bytes reach into it could not
  // be hashed when they were committed; they join the throw-away chain.
  const auto hashable = [end](size_t p) { return p + kMinMatch <= end; };
  size_t next = m_inserted;
  auto insertUpTo = [&](size_t p) {
    for (; next <= p && hashable(next); ++next) InsertTemporary(next);
  };
  double bits = 0.0;
  if (parse) {
    parse->litlen.clear();
    parse->dist.clear();
  }
  size_t pos = begin;
  while (pos < end) {
    insertUpTo(pos > 0 ? pos - 1 : 0);
    const Match m = LongestMatch(pos, end);
    double matchBits = 0.0;
    if (m.length > 0) {
      const int lcode = codes.LengthCode(m.length);
      const int dcode = codes.DistanceCode(m.distance);
      matchBits = m_litlenBits[deflate::kEndOfBlock + 1 + lcode] + deflate::kLengthCodes[lcode].extraBits +
                  m_distBits[dcode] + deflate::kDistanceCodeInfo[dcode].extraBits;
      double literalBits = 0.0;
      for (int k = 0; k < m.length && literalBits <= matchBits; ++k) literalBits += m_litlenBits[m_window[pos + k]];
      if (literalBits > matchBits) {
        bits += matchBits;
        if (parse) {
          parse->litlen.push_back(uint16_t(deflate::kEndOfBlock + 1 + lcode));
          parse->dist.push_back(uint8_t(dcode));
        }
        pos += size_t(m.length);
        continue;
      }
    }
    bits += m_litlenBits[m_window[pos]];
    if (parse) parse->litlen.push_back(m_window[pos]);
    ++pos;
  }
  if (parse) parse->bits = bits;
  return bits;
}

double DeflateCostModel::Cost(const uint8_t* segment, size_t n, CostParse* parse) {
  const size_t begin = m_window.size();
  m_window.insert(m_window.end(), segment, segment + n);
  const double bits = ParseSegment(begin, m_window.size(), parse);
  m_window.resize(begin);
  return bits;
}

void DeflateCostModel::Append(const uint8_t* segment, size_t n, const CostParse& parse) {
  m_window.insert(m_window.end(), segment, segment + n);
  for (; m_inserted + kMinMatch <= m_window.size(); ++m_inserted) InsertCommitted(m_inserted);
  for (uint16_t s : parse.litlen) {
    ++m_litlenCount[s];
    ++m_litlenTotal;
  }
  for (uint8_t d : parse.dist) {
    ++m_distCount[d];
    ++m_distTotal;
  }
  m_totalBits += parse.bits;
  RefreshCosts();
}

double DeflateCostModel::Append(const uint8_t* segment, size_t n) {
  CostParse parse;
  Cost(segment, n, &parse);
  Append(segment, n, parse);
  return parse.bits;
}

}  // namespace search
