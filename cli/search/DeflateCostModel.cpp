#include "cli/search/DeflateCostModel.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace search {

namespace {

constexpr int kHashBits = 15;
constexpr int kWindow = 32768;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;

// RFC 1951 length and distance codes: symbol and extra bits per value.
struct CodeTables {
  std::array<uint16_t, kMaxMatch + 1> lengthSymbol{};
  std::array<uint8_t, kMaxMatch + 1> lengthExtra{};
  std::array<uint8_t, kWindow + 1> distanceCode{};
  std::array<uint8_t, 30> distanceExtra{};

  CodeTables() {
    static constexpr int lengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr int lengthBits[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    for (int code = 0; code < 29; ++code) {
      const int last = code == 28 ? kMaxMatch : std::min(kMaxMatch, lengthBase[code + 1] - 1);
      for (int l = lengthBase[code]; l <= last; ++l) {
        lengthSymbol[l] = uint16_t(257 + code);
        lengthExtra[l] = uint8_t(lengthBits[code]);
      }
    }
    int base = 1;
    for (int code = 0; code < 30; ++code) {
      const int bits = code < 4 ? 0 : (code - 2) / 2;
      distanceExtra[code] = uint8_t(bits);
      for (int d = base; d < base + (1 << bits) && d <= kWindow; ++d) distanceCode[d] = uint8_t(code);
      base += 1 << bits;
    }
  }
};

const CodeTables& Codes() {
  static const CodeTables tables;
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
  const CodeTables& codes = Codes();
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
      const int dcode = codes.distanceCode[m.distance];
      matchBits = m_litlenBits[codes.lengthSymbol[m.length]] + codes.lengthExtra[m.length] + m_distBits[dcode] +
                  codes.distanceExtra[dcode];
      double literalBits = 0.0;
      for (int k = 0; k < m.length && literalBits <= matchBits; ++k) literalBits += m_litlenBits[m_window[pos + k]];
      if (literalBits > matchBits) {
        bits += matchBits;
        if (parse) {
          parse->litlen.push_back(codes.lengthSymbol[m.length]);
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
