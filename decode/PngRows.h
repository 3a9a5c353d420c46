// PNG row processor: turns the inflated byte stream of a PNG into frame
// pixels.  It splits the stream into rows (one filter-type byte, then the
// packed samples), undoes the five scanline filters against the previous row
// of the same interlace pass, expands each pixel to 0xAARRGGBB and stores it
// straight into the caller's frame — only where the frame has room, so a frame
// smaller than the image, or placed at any offset, is never written outside.
//
// Interlaced images run through the seven Adam7 passes, each with its own row
// width and a zero "previous row" at its start; passes without pixels are
// skipped and no pixel is replicated.  Once the last pass has moved below the
// frame the processor reports Done, so the caller can stop inflating.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "decode/DecodeFrame.h"
#include "decode/PngChunkWalk.h"

class PngRowProcessor {
 public:
  enum class Result { NeedMore, Done, Error };

  // False when a row (filter byte included) would be 65,536 bytes or longer.
  bool Setup(const PngImageInfo& info, const DecodeFrame& frame);

  // Feeds the next piece of inflated bytes.  Error on a filter type above 4.
  Result Consume(const uint8_t* data, size_t size);

  bool done() const { return m_done; }

 private:
  struct Pass {
    int colStart, colStep, rowStart, rowStep;
  };

  void StartPass(int pass);
  void NextRow();
  void CheckDone();
  void Unfilter();
  void EmitRow() const;

  const PngImageInfo* m_info = nullptr;
  DecodeFrame m_frame{};
  int m_filterBytesPerPixel = 1;
  int m_samplesPerPixel = 1;

  int m_pass = 0;
  int m_lastPass = 0;  // the last pass with pixels
  Pass m_geometry{};
  int m_passWidth = 0;
  int m_passRows = 0;
  int m_row = 0;           // row within the pass
  size_t m_rowBytes = 0;   // without the filter byte
  size_t m_filled = 0;     // bytes of the current row received, filter byte included
  uint8_t m_filter = 0;
  bool m_done = false;

  std::vector<uint8_t> m_current;   // filter-byte-free rows, with bytes-per-pixel
  std::vector<uint8_t> m_previous;  // zeros in front so Sub/Average/Paeth need no edge case
};
