// PNG renderer: the chunk walk finds the header, colours and image data, the
// inflater turns the IDAT chunks into bytes and the row processor turns the
// bytes into frame pixels.  All state lives in this call, so renders on
// different threads do not meet.
#include <memory>

#include "decode/DecodeFrame.h"
#include "decode/Inflater.h"
#include "decode/PngChunkWalk.h"
#include "decode/PngRows.h"

int RenderPng(const uint8_t* data, size_t size, const DecodeFrame& frame) {
  PngImageInfo info;
  if (WalkPngChunks(data, size, info) != 0) return -1;
  PngRowProcessor rows;
  if (!rows.Setup(info, frame)) return -1;
  if (rows.done()) return 0;

  IdatInput input(data, size, info.firstIdat);
  auto inflater = std::make_unique<Inflater>();
  inflater->Start(&input, true);
  for (;;) {
    const uint8_t* piece = nullptr;
    size_t length = 0;
    switch (inflater->NextPiece(piece, length)) {
      case Inflater::Status::Error:
        return -1;
      case Inflater::Status::End:
        // The stream ended before the last row: the image is incomplete.
        return -1;
      case Inflater::Status::Ok:
        break;
    }
    switch (rows.Consume(piece, length)) {
      case PngRowProcessor::Result::Error:
        return -1;
      case PngRowProcessor::Result::Done:
        return 0;
      case PngRowProcessor::Result::NeedMore:
        break;
    }
  }
}
