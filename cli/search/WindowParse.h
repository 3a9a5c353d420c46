// What a stretch of a filtered stream costs under codes already chosen.
//
// Once the optimal parser has written an image, each of its blocks has a
// code, and a change to one row moves the stream's size mainly through the
// parse of that row and of the few rows after it that match into it.  So a
// candidate row is judged by the cheapest parse of a window of rows, each
// step priced by the code of the block it starts in: the same shortest
// path the optimal parser takes, over matches a hash-chain search finds in
// the 32 KB before each position.  The codes stay fixed, which is what makes
// the judgement exact enough to compare one row's filters: the blocks'
// headers and every row outside the window cost the same for each of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/deflate/OptimalDeflate.h"
#include "engine/deflate/OptimalParser.h"

namespace search {

class WindowParse {
 public:
  // chainDepth: chain entries visited per position.
  explicit WindowParse(int chainDepth);

  // The blocks of the stream as written, in stream order and covering it.
  void SetBlocks(const std::vector<deflate::WrittenBlock>& blocks);

  // Bits of the cheapest parse of stream bytes [from, to) with matches back
  // to 32 KB before from.  window holds stream bytes [windowStart, to), and
  // windowStart is at most 32 KB before from (less only at the stream's
  // start).  No match crosses the end of its block or `to`.
  double Bits(const uint8_t* window, size_t windowStart, size_t from, size_t to);

 private:
  struct Pair {
    uint16_t length;
    uint16_t distance;
    uint8_t code;  // distance code
  };
  struct Block {
    size_t end;
    deflate::CostModel prices;
  };

  const Block& BlockAt(size_t offset) const;
  void FindMatches(const uint8_t* window, size_t windowStart, size_t from, size_t to);

  int m_chainDepth;
  std::vector<Block> m_blocks;
  std::vector<int32_t> m_head;     // newest window position of each hash
  std::vector<uint32_t> m_stamp;   // which call m_head's entry belongs to
  uint32_t m_call = 0;
  std::vector<int32_t> m_prev;     // older position of the same hash
  std::vector<Pair> m_pairs;       // nearest match of every length, per position
  std::vector<uint32_t> m_offsets; // of each position's pairs
  std::vector<float> m_cost;
};

}  // namespace search
