// A fast estimate of what deflate would spend on a byte stream, row by row.
//
// The filter search compares candidate rows by the bits they would cost
// appended to the rows already chosen.  Running the real compressor for
// every candidate is far too slow, so this model imitates it cheaply: a
// greedy LZ77 parse over a 32 KB window (hash chains of bounded depth, as a
// fast deflate level does), priced with adaptive code lengths learnt from the
// symbols of the rows committed so far (-log2 of their frequencies, with a
// flat prior so the first rows are priced like a fixed code).  What matters
// is that it ranks candidates as the real compressor would, not its absolute
// numbers.
//
// A candidate is priced without changing the model (Cost); the chosen one is
// then committed (Append), which adds its bytes to the window and its symbols
// to the statistics.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace search {

// The symbols of one parse, kept so that committing a priced candidate does
// not parse it again.
struct CostParse {
  std::vector<uint16_t> litlen;  // 0..285
  std::vector<uint8_t> dist;     // 0..29, one per match
  double bits = 0.0;
};

class DeflateCostModel {
 public:
  explicit DeflateCostModel(int chainDepth = 16);

  // Bits the segment would cost appended to the window now; the parse goes
  // to parse when given.  The model is left as it was.
  double Cost(const uint8_t* segment, size_t n, CostParse* parse = nullptr);

  // Appends the segment with the parse Cost produced for exactly these bytes.
  void Append(const uint8_t* segment, size_t n, const CostParse& parse);
  // Prices and appends in one step; returns the bits.
  double Append(const uint8_t* segment, size_t n);

  double TotalBits() const { return m_totalBits; }

 private:
  struct Match {
    int length = 0;
    int distance = 0;
  };
  Match LongestMatch(size_t pos, size_t end) const;
  void InsertTemporary(size_t pos);
  void InsertCommitted(size_t pos);
  void RefreshCosts();
  double ParseSegment(size_t begin, size_t end, CostParse* parse);

  int m_chainDepth;
  std::vector<uint8_t> m_window;       // every committed byte, then a candidate
  std::vector<int32_t> m_head;         // committed positions by hash
  std::vector<int32_t> m_prev;         // committed chain, a ring over the window
  size_t m_inserted = 0;               // positions [0, m_inserted) are in the chain
  // The candidate's own positions live in a second, throw-away chain.
  std::vector<int32_t> m_tempHead;
  std::vector<uint32_t> m_tempStamp;
  std::vector<int32_t> m_tempPrev;
  uint32_t m_stamp = 0;

  uint32_t m_litlenCount[286];
  uint32_t m_distCount[30];
  uint32_t m_litlenTotal = 0;
  uint32_t m_distTotal = 0;
  float m_litlenBits[286];
  float m_distBits[30];
  double m_totalBits = 0.0;
};

}  // namespace search
