// ImageRender: recognise the format, then hand the data to its renderer.
#include "decode/DecodeFrame.h"
#include "decode/FormatDetect.h"
#include "decode/ImageDecode.h"

int ImageRender(const uint8_t* data, size_t length, uint32_t* frame, int stride, int frameWidth,
                int frameHeight, int x, int y) {
  if (data == nullptr || frame == nullptr) return -1;
  const DecodeFrame target{frame, stride, frameWidth, frameHeight, x, y};
  switch (DetectFormat(data, length)) {
    case ImageFormat::Png: return RenderPng(data, length, target);
    case ImageFormat::Jpeg: return RenderJpeg(data, length, target);
    case ImageFormat::Gif: return RenderGif(data, length, target);
    case ImageFormat::Cel: return RenderCel(data, length, target);
    case ImageFormat::Bmp: return RenderBmp(data, length, target);
    case ImageFormat::Pcx: return RenderPcx(data, length, target);
    case ImageFormat::Dds: return RenderDds(data, length, target);
    case ImageFormat::Tga: return RenderTga(data, length, target);
    case ImageFormat::Unknown: break;
  }
  return -1;
}
