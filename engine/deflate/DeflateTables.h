// The length and distance codes of RFC 1951 (3.2.5), shared by the symbol
// writer and the parser's cost model.
//
// Symbol index space used throughout the compressor (320 entries per block):
//   0..255 literals, 256 end of block, 257..285 length codes,
//   286..287 never used, 288..317 distance codes 0..29, 318..319 never used.
#pragma once

#include <cstdint>

namespace deflate {

constexpr int kSymbols = 320;
constexpr int kLitLenCodes = 286;
constexpr int kDistanceBase = 288;  // index of distance code 0 in the 320 table
constexpr int kDistanceCodes = 30;
constexpr int kEndOfBlock = 256;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;
constexpr int kWindow = 32768;

struct CodeInfo {
  uint16_t base;
  uint8_t extraBits;
};

// Length codes 257..285, indexed by code - 257.
inline constexpr CodeInfo kLengthCodes[29] = {
    {3, 0},   {4, 0},   {5, 0},   {6, 0},   {7, 0},   {8, 0},   {9, 0},   {10, 0},
    {11, 1},  {13, 1},  {15, 1},  {17, 1},  {19, 2},  {23, 2},  {27, 2},  {31, 2},
    {35, 3},  {43, 3},  {51, 3},  {59, 3},  {67, 4},  {83, 4},  {99, 4},  {115, 4},
    {131, 5}, {163, 5}, {195, 5}, {227, 5}, {258, 0}};

// Distance codes 0..29.
inline constexpr CodeInfo kDistanceCodeInfo[30] = {
    {1, 0},     {2, 0},     {3, 0},     {4, 0},     {5, 1},     {7, 1},
    {9, 2},     {13, 2},    {17, 3},    {25, 3},    {33, 4},    {49, 4},
    {65, 5},    {97, 5},    {129, 6},   {193, 6},   {257, 7},   {385, 7},
    {513, 8},   {769, 8},   {1025, 9},  {1537, 9},  {2049, 10}, {3073, 10},
    {4097, 11}, {6145, 11}, {8193, 12}, {12289, 12}, {16385, 13}, {24577, 13}};

// Maps match lengths and distances to their codes.  Built once per run
// context; 258 always maps to code 285 (not 284 with 31 extra).
class CodeTables {
 public:
  CodeTables();
  // Length code index 0..28 (symbol 257 + index) for a length 3..258.
  int LengthCode(int length) const { return m_lengthCode[length]; }
  // Distance code 0..29 for a distance 1..32768.
  int DistanceCode(int distance) const {
    return distance <= 256 ? m_distSmall[distance] : m_distLarge[(distance - 1) >> 7];
  }

 private:
  uint8_t m_lengthCode[kMaxMatch + 1];
  uint8_t m_distSmall[257];
  uint8_t m_distLarge[256];
};

}  // namespace deflate
