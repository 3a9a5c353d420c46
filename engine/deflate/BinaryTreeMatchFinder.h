// Binary-tree match finder for the optimal parser: for every position, the
// nearest match of every length.
//
// Algorithm.  Positions whose next three bytes hash alike form one binary
// search tree, ordered by the bytes that follow each position (the suffix
// read as a string).  The newest position is always the root: inserting
// position p walks down from the old root, and at each node compares the
// suffix there with p's own, then hangs the node under p's "less" or
// "greater" side and continues into the node's child on the side that can
// still hold closer strings.  Because the walk starts at the newest position
// and every node it meets is younger than the nodes below it on that side,
// the lengths it sees grow while the distances grow too: each time the
// common length beats every length seen so far, the pair (length, distance)
// is the nearest match of all lengths from the previous best + 1 up to it.
// That is exactly the list the parser wants.
//
// Both sides carry the length already known to match (the smaller of the
// two is shared by every node deeper in the walk), so comparisons resume
// there instead of at the first byte.
//
// Bounds.  The walk visits at most `maxDepth` nodes; a node that matches
// `niceLength` bytes (or all the bytes left) ends the walk, and p takes over
// that node's two subtrees, which drops the old node from the tree (p is the
// same string to that length and nearer).  Nodes farther than the 32 KB
// window are cut off when met; the tree stops one byte short of the window
// (distance 32,767) because the slot of a node exactly 32,768 back is the
// slot the new position is taking over.  A tree pruned by these bounds can only miss
// matches, never report a false one: every reported match is checked
// byte for byte before it is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace deflate {

// A match: length 3..258 and distance 1..32768.
struct MatchPair {
  uint16_t length;
  uint16_t distance;
};

struct MatchFinderLimits {
  int maxDepth = 64;     // tree nodes visited per position
  int niceLength = 258;  // a match this long ends the walk
  // Also list, for each distance code the walk meets, its longest match:
  // under a block's Huffman code a farther distance code can be the cheaper
  // one, which the nearest match of a length never shows.
  bool everyDistanceCode = false;
};

class BinaryTreeMatchFinder {
 public:
  explicit BinaryTreeMatchFinder(MatchFinderLimits limits);

  // Starts over on data[0..size): every position is later passed to
  // FindMatches exactly once, in increasing order.
  void Reset(const uint8_t* data, size_t size);

  // Inserts position pos into its tree and appends to out, by increasing
  // distance, the nearest matches of increasing length (each the nearest of
  // every length from the previous one's length + 1 up to its own), at most
  // maxLength long; with everyDistanceCode, also the longest match of each
  // distance code met whose length is no record.
  void FindMatches(size_t pos, int maxLength, std::vector<MatchPair>& out);

  // Bytes of working memory.
  static size_t MemoryBytes();

 private:
  static constexpr int kHashBits = 16;
  static constexpr uint32_t kNone = 0xFFFFFFFFu;

  MatchFinderLimits m_limits;
  const uint8_t* m_data = nullptr;
  size_t m_size = 0;
  std::vector<uint32_t> m_heads;     // root position of each hash's tree
  std::vector<uint32_t> m_children;  // two per window slot: less, greater
};

// The matches of every position of a buffer, found once and reused by every
// iteration of the parser.
class MatchCache {
 public:
  void Build(const uint8_t* data, size_t size, MatchFinderLimits limits);

  // Matches at pos, distances increasing.
  const MatchPair* begin(size_t pos) const { return m_pairs.data() + m_offsets[pos]; }
  const MatchPair* end(size_t pos) const { return m_pairs.data() + m_offsets[pos + 1]; }
  // The distance codes of the pairs at pos, in the same order.
  const uint8_t* codes(size_t pos) const { return m_codes.data() + m_offsets[pos]; }
  size_t MemoryBytes() const;

 private:
  std::vector<uint32_t> m_offsets;  // size + 1 entries
  std::vector<MatchPair> m_pairs;
  std::vector<uint8_t> m_codes;
};

}  // namespace deflate
