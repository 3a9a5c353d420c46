// The state of one JPEG decode: tables, frame geometry and the coefficient
// store every scan adds to.  Baseline and progressive files share it: all
// scans land in one quantised-coefficient buffer per component, and pixels
// are formed only after the last scan, so a progressive file needs no
// second path through the output stage.
//
// Nothing here is global; RenderJpeg builds one JpegDecodeState per call.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace jpeg {

constexpr int kMaxComponents = 4;
constexpr int kMaxTables = 4;  // quantisation and Huffman slots 0..3
// A decode refuses pictures above this many pixels so that no header field
// can demand an arbitrary amount of memory.
constexpr uint64_t kMaxPixels = uint64_t{1} << 28;

// Natural (row-major) position of the k-th coefficient in zig-zag order.
extern const uint8_t kZigZagToNatural[64];

// A Huffman table ready for decoding: a 9-bit lookahead for the common
// short codes and, per code length, the largest code and where its
// symbols start for the rest.
struct HuffmanTable {
  bool defined = false;
  std::array<uint16_t, 512> fast{};    // (length << 8) | symbol, 0 = slow path
  std::array<int32_t, 18> maxCode{};   // largest code of each length, -1 if none
  std::array<int32_t, 17> valOffset{}; // symbol index minus the first code of a length
  std::array<uint8_t, 256> symbols{};
};

struct QuantTable {
  bool defined = false;
  std::array<uint16_t, 64> natural{};  // divisors in natural order
};

struct Component {
  int id = 0;
  int h = 1;       // sampling factors
  int v = 1;
  int quantSlot = 0;
  // Sample size of this component (before upsampling) and its block grid.
  int width = 0;
  int height = 0;
  int blocksWide = 0;    // blocks that carry image samples
  int blocksHigh = 0;
  int stride = 0;        // blocks per row in the store, padded to whole MCUs
  int rows = 0;          // block rows in the store, padded to whole MCUs
  // The divisors this component was coded with, taken at its first scan:
  // a later DQT may reuse the slot for another component.
  bool quantLatched = false;
  std::array<uint16_t, 64> quant{};
  std::vector<int16_t> coefficients;  // 64 per block, natural order
  int16_t* Block(int bx, int by) {
    return coefficients.data() + (static_cast<size_t>(by) * stride + bx) * 64;
  }
};

struct Frame {
  bool present = false;
  bool progressive = false;
  int width = 0;
  int height = 0;
  int componentCount = 0;
  std::array<Component, kMaxComponents> components;
  int hMax = 1;
  int vMax = 1;
  int mcusWide = 0;
  int mcusHigh = 0;
};

// How to read the colour channels, from the JFIF and Adobe markers.
struct ColourHints {
  bool jfif = false;
  bool adobe = false;
  int adobeTransform = -1;  // 0 RGB/CMYK, 1 YCbCr, 2 YCCK
};

struct JpegDecodeState {
  Frame frame;
  std::array<QuantTable, kMaxTables> quant;
  std::array<HuffmanTable, kMaxTables> dcTables;
  std::array<HuffmanTable, kMaxTables> acTables;
  int restartInterval = 0;
  ColourHints colour;
  bool storeAllocated = false;
  int scansDecoded = 0;
};

// Big-endian 16-bit read; the caller has checked the bounds.
inline int ReadBe16(const uint8_t* p) { return (p[0] << 8) | p[1]; }

}  // namespace jpeg
