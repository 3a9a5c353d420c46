// The frame every decoder renders into, and the per-format renderers the
// dispatcher of ImageRender chooses between.  Internal to the decoding
// library: callers use decode/ImageDecode.h.
#pragma once

#include <cstddef>
#include <cstdint>

struct DecodeFrame {
  uint32_t* pixels;  // first pixel of the frame's top row
  int stride;        // bytes from one frame row to the next
  int width;         // frame size in pixels
  int height;
  int x;             // placement of the image's top-left corner in the frame
  int y;

  // Stores image pixel (col, row) as 0xAARRGGBB when it lands inside the
  // frame; pixels outside are dropped, so no decoder can write out of bounds.
  void Put(int col, int row, uint32_t argb) const {
    const long long fx = static_cast<long long>(x) + col;
    const long long fy = static_cast<long long>(y) + row;
    if (fx < 0 || fy < 0 || fx >= width || fy >= height) return;
    auto* line = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(pixels) +
                                             static_cast<ptrdiff_t>(fy) * stride);
    line[fx] = argb;
  }
};

// Each renderer returns 0 on success and -1 when it rejects the data.
// Pixels written before a failure stay written.
int RenderPng(const uint8_t* data, size_t size, const DecodeFrame& frame);
int RenderJpeg(const uint8_t* data, size_t size, const DecodeFrame& frame);
int RenderGif(const uint8_t* data, size_t size, const DecodeFrame& frame);
int RenderCel(const uint8_t* data, size_t size, const DecodeFrame& frame);
int RenderBmp(const uint8_t* data, size_t size, const DecodeFrame& frame);
int RenderPcx(const uint8_t* data, size_t size, const DecodeFrame& frame);
int RenderDds(const uint8_t* data, size_t size, const DecodeFrame& frame);
int RenderTga(const uint8_t* data, size_t size, const DecodeFrame& frame);
