// JPEG renderer: walks the marker segments of a baseline, extended or
// progressive Huffman-coded file, decodes every scan into the coefficient
// store and draws the picture once the file (or the data) ends.
//
// Data that stops between two segments after at least one whole scan is
// drawn from what has arrived (a progressive file then shows its coarser
// passes); data that stops inside a scan, or a scan that does not decode,
// fails the render.  Arithmetic-coded, lossless and hierarchical files are
// refused.
#include "decode/DecodeFrame.h"
#include "decode/formats/JpegMarkers.h"
#include "decode/formats/JpegOutput.h"
#include "decode/formats/JpegScan.h"
#include "decode/formats/JpegTypes.h"

namespace {

using jpeg::JpegDecodeState;

constexpr int kSof0 = 0xC0, kSof1 = 0xC1, kSof2 = 0xC2, kDht = 0xC4, kSoi = 0xD8, kEoi = 0xD9,
              kSos = 0xDA, kDqt = 0xDB, kDnl = 0xDC, kDri = 0xDD, kApp0 = 0xE0, kApp15 = 0xEF;

bool IsStandaloneMarker(int m) { return (m >= 0xD0 && m <= 0xD7) || m == 0x01; }

// Frame types we do not decode: lossless, hierarchical (with DHP and EXP),
// arithmetic coding (with DAC, its conditioning table), and DNL, which would
// set the height only after the first scan.
bool IsUnsupportedFrame(int m) { return m == 0xC3 || (m >= 0xC5 && m <= 0xCF) || m == kDnl || m == 0xDE || m == 0xDF; }

// Gives every component its coefficient store the first time a scan comes.
// Each block of each component costs at least one bit of the data still to
// come (its DC code), so a header cannot make us reserve memory for more
// blocks than the rest of the file could fill.
bool AllocateStore(JpegDecodeState& state, size_t bytesLeft) {
  if (state.storeAllocated) return true;
  jpeg::Frame& frame = state.frame;
  uint64_t coded = 0;
  for (int c = 0; c < frame.componentCount; ++c) {
    const jpeg::Component& comp = frame.components[c];
    coded += static_cast<uint64_t>(comp.blocksWide) * static_cast<uint64_t>(comp.blocksHigh);
  }
  if (coded > static_cast<uint64_t>(bytesLeft) * 8) return false;
  for (int c = 0; c < frame.componentCount; ++c) {
    jpeg::Component& comp = frame.components[c];
    comp.coefficients.assign(static_cast<size_t>(comp.stride) * comp.rows * 64, 0);
  }
  state.storeAllocated = true;
  return true;
}

bool DecodeScanSegment(JpegDecodeState& state, const uint8_t* data, size_t size, size_t segment, size_t length,
                       size_t& pos) {
  jpeg::ScanHeader scan;
  if (!jpeg::ParseScanHeader(data + segment, length, state, scan)) return false;
  pos = segment + length;
  if (!AllocateStore(state, size - pos)) return false;
  if (!jpeg::DecodeScan(state, scan, data, size, pos)) return false;
  ++state.scansDecoded;
  return true;
}

// Handles one segment with a length field; pos is just after the length.
bool HandleSegment(int marker, JpegDecodeState& state, const uint8_t* data, size_t size, size_t& pos) {
  if (size - pos < 2) return false;
  const size_t length = static_cast<size_t>(jpeg::ReadBe16(data + pos));
  if (length < 2 || length > size - pos) return false;
  const size_t segment = pos + 2;
  const size_t payload = length - 2;
  const uint8_t* p = data + segment;
  bool ok = true;
  switch (marker) {
    case kSof0:
    case kSof1: ok = jpeg::ParseFrameHeader(p, payload, false, state.frame); break;
    case kSof2: ok = jpeg::ParseFrameHeader(p, payload, true, state.frame); break;
    case kDht: ok = jpeg::ParseHuffmanTables(p, payload, state); break;
    case kDqt: ok = jpeg::ParseQuantTables(p, payload, state); break;
    case kDri: ok = jpeg::ParseRestartInterval(p, payload, state); break;
    case kSos: return DecodeScanSegment(state, data, size, segment, payload, pos);
    default:
      if (marker >= kApp0 && marker <= kApp15) jpeg::ParseApplicationMarker(marker, p, payload, state.colour);
      // COM and anything else with a length carries nothing we need.
      break;
  }
  pos = segment + payload;
  return ok;
}

}  // namespace

int RenderJpeg(const uint8_t* data, size_t size, const DecodeFrame& frame) {
  if (size < 2 || data[0] != 0xFF || data[1] != kSoi) return -1;
  JpegDecodeState state;
  size_t pos = 2;
  for (;;) {
    // Find the next marker; stray bytes between segments are skipped, and
    // 0xFF may be repeated as fill before the marker code.
    while (pos < size && data[pos] != 0xFF) ++pos;
    while (pos < size && data[pos] == 0xFF) ++pos;
    if (pos >= size) break;  // the data ends without EOI
    const int marker = data[pos++];
    if (marker == kEoi) break;
    if (marker == 0x00 || marker == kSoi || IsStandaloneMarker(marker)) continue;
    if (IsUnsupportedFrame(marker)) return -1;
    if (!HandleSegment(marker, state, data, size, pos)) return -1;
  }
  return jpeg::WritePixels(state, frame) ? 0 : -1;
}
