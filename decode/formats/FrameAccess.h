// Clipping helpers shared by the format decoders.  DecodeFrame::Put already
// drops pixels outside the frame; these answer the questions a decoder asks
// before it loops: which image columns and rows can land in the frame at all
// (so a huge header size with a small frame costs nothing), and where a
// covered frame pixel lives when a decoder fills an area or changes one byte
// of a pixel.
#pragma once

#include <algorithm>
#include <cstdint>

#include "decode/DecodeFrame.h"

// Image coordinates [begin, end) along one axis that land inside the frame.
struct VisibleSpan {
  int64_t begin = 0;
  int64_t end = 0;
  bool Empty() const { return begin >= end; }
};

// `extent` image pixels placed at frame offset `offset` on a frame axis of
// `frameSize` pixels.
inline VisibleSpan ClipSpan(int64_t extent, int64_t offset, int64_t frameSize) {
  VisibleSpan span;
  span.begin = std::max<int64_t>(0, -offset);
  span.end = std::min<int64_t>(extent, frameSize - offset);
  if (span.end < span.begin) span.end = span.begin;
  return span;
}

inline VisibleSpan VisibleColumns(const DecodeFrame& frame, int64_t width, int64_t left = 0) {
  return ClipSpan(width, frame.x + left, frame.width);
}

inline VisibleSpan VisibleRows(const DecodeFrame& frame, int64_t height, int64_t top = 0) {
  return ClipSpan(height, frame.y + top, frame.height);
}

// The frame pixel under image pixel (col, row), or null when it lies outside.
inline uint32_t* FramePixel(const DecodeFrame& frame, int64_t col, int64_t row) {
  const int64_t fx = frame.x + col;
  const int64_t fy = frame.y + row;
  if (fx < 0 || fy < 0 || fx >= frame.width || fy >= frame.height) return nullptr;
  auto* line = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(frame.pixels) +
                                           static_cast<ptrdiff_t>(fy) * frame.stride);
  return line + fx;
}
