#include "decode/formats/JpegMarkers.h"

#include <cstring>

#include "decode/formats/JpegHuffman.h"

namespace jpeg {

const uint8_t kZigZagToNatural[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

namespace {
int CeilDiv(int64_t a, int64_t b) { return static_cast<int>((a + b - 1) / b); }
}  // namespace

bool ParseFrameHeader(const uint8_t* p, size_t n, bool progressive, Frame& frame) {
  if (frame.present || n < 6) return false;
  const int precision = p[0];
  const int height = ReadBe16(p + 1);
  const int width = ReadBe16(p + 3);
  const int count = p[5];
  // Height 0 would defer the height to a DNL marker, which we do not take.
  if (precision != 8 || width == 0 || height == 0) return false;
  if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxPixels) return false;
  if (count != 1 && count != 3 && count != 4) return false;
  if (n < 6 + 3 * static_cast<size_t>(count)) return false;

  frame.progressive = progressive;
  frame.width = width;
  frame.height = height;
  frame.componentCount = count;
  frame.hMax = frame.vMax = 1;
  for (int i = 0; i < count; ++i) {
    const uint8_t* c = p + 6 + 3 * i;
    Component& comp = frame.components[i];
    comp.id = c[0];
    comp.h = c[1] >> 4;
    comp.v = c[1] & 15;
    comp.quantSlot = c[2];
    if (comp.h < 1 || comp.h > 4 || comp.v < 1 || comp.v > 4 || comp.quantSlot >= kMaxTables) return false;
    for (int j = 0; j < i; ++j) {
      if (frame.components[j].id == comp.id) return false;
    }
    if (comp.h > frame.hMax) frame.hMax = comp.h;
    if (comp.v > frame.vMax) frame.vMax = comp.v;
  }
  frame.mcusWide = CeilDiv(width, 8 * frame.hMax);
  frame.mcusHigh = CeilDiv(height, 8 * frame.vMax);
  for (int i = 0; i < count; ++i) {
    Component& comp = frame.components[i];
    comp.width = CeilDiv(static_cast<int64_t>(width) * comp.h, frame.hMax);
    comp.height = CeilDiv(static_cast<int64_t>(height) * comp.v, frame.vMax);
    comp.blocksWide = CeilDiv(comp.width, 8);
    comp.blocksHigh = CeilDiv(comp.height, 8);
    comp.stride = frame.mcusWide * comp.h;
    comp.rows = frame.mcusHigh * comp.v;
  }
  frame.present = true;
  return true;
}

bool ParseQuantTables(const uint8_t* p, size_t n, JpegDecodeState& state) {
  size_t at = 0;
  while (at < n) {
    const int precision = p[at] >> 4;
    const int slot = p[at] & 15;
    ++at;
    if (precision > 1 || slot >= kMaxTables) return false;
    const size_t bytes = precision ? 128 : 64;
    if (n - at < bytes) return false;
    QuantTable& table = state.quant[slot];
    for (int k = 0; k < 64; ++k) {
      table.natural[kZigZagToNatural[k]] =
          precision ? static_cast<uint16_t>(ReadBe16(p + at + 2 * k)) : p[at + k];
    }
    table.defined = true;
    at += bytes;
  }
  return true;
}

bool ParseHuffmanTables(const uint8_t* p, size_t n, JpegDecodeState& state) {
  size_t at = 0;
  while (at < n) {
    if (n - at < 17) return false;
    const int cls = p[at] >> 4;
    const int slot = p[at] & 15;
    if (cls > 1 || slot >= kMaxTables) return false;
    uint8_t counts[16];
    std::memcpy(counts, p + at + 1, 16);
    size_t total = 0;
    for (uint8_t c : counts) total += c;
    at += 17;
    if (total > 256 || n - at < total) return false;
    HuffmanTable& table = cls ? state.acTables[slot] : state.dcTables[slot];
    if (!BuildHuffmanTable(counts, p + at, table)) return false;
    at += total;
  }
  return true;
}

bool ParseRestartInterval(const uint8_t* p, size_t n, JpegDecodeState& state) {
  if (n < 2) return false;
  state.restartInterval = ReadBe16(p);
  return true;
}

bool ParseScanHeader(const uint8_t* p, size_t n, const JpegDecodeState& state, ScanHeader& scan) {
  const Frame& frame = state.frame;
  if (!frame.present || n < 1) return false;
  scan.count = p[0];
  if (scan.count < 1 || scan.count > kMaxComponents || n < 1 + 2 * static_cast<size_t>(scan.count) + 3) {
    return false;
  }
  int blocksPerMcu = 0;
  for (int i = 0; i < scan.count; ++i) {
    const int id = p[1 + 2 * i];
    int index = -1;
    for (int c = 0; c < frame.componentCount; ++c) {
      if (frame.components[c].id == id) index = c;
    }
    if (index < 0) return false;
    for (int j = 0; j < i; ++j) {
      if (scan.componentIndex[j] == index) return false;
    }
    scan.componentIndex[i] = index;
    scan.dcSlot[i] = p[2 + 2 * i] >> 4;
    scan.acSlot[i] = p[2 + 2 * i] & 15;
    if (scan.dcSlot[i] >= kMaxTables || scan.acSlot[i] >= kMaxTables) return false;
    blocksPerMcu += frame.components[index].h * frame.components[index].v;
  }
  if (scan.count > 1 && blocksPerMcu > 10) return false;
  const uint8_t* tail = p + 1 + 2 * scan.count;
  if (!frame.progressive) {
    // Sequential scans always carry all 64 coefficients at full precision.
    scan.ss = 0;
    scan.se = 63;
    scan.ah = scan.al = 0;
    return true;
  }
  scan.ss = tail[0];
  scan.se = tail[1];
  scan.ah = tail[2] >> 4;
  scan.al = tail[2] & 15;
  if (scan.ss == 0) {
    if (scan.se != 0) return false;
  } else if (scan.se < scan.ss || scan.se > 63 || scan.count != 1) {
    return false;
  }
  // Refinement scans add exactly one bit.
  if (scan.al > 13 || (scan.ah != 0 && scan.al != scan.ah - 1)) return false;
  return true;
}

void ParseApplicationMarker(int marker, const uint8_t* p, size_t n, ColourHints& hints) {
  if (marker == 0xE0 && n >= 5 && std::memcmp(p, "JFIF\0", 5) == 0) hints.jfif = true;
  if (marker == 0xEE && n >= 12 && std::memcmp(p, "Adobe", 5) == 0) {
    hints.adobe = true;
    hints.adobeTransform = p[11];
  }
}

}  // namespace jpeg
