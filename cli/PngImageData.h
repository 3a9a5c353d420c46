// The image data streams of a PNG the engine does not re-encode: the IDAT
// stream and, in an animation, the fdAT stream of each frame.
//
// A stream is inflated to its filtered rows, which are checked to be exactly
// as long as the image's rows (interlaced or not) and to carry valid filter
// types, so that a recompressed stream holds the same bytes the source held
// and a damaged one is never passed on.  16-bit images whose every sample is
// v * 257 are unfiltered into 8-bit pixels for the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cli/PngFileScan.h"
#include "engine/RowFilterEntry.h"

// The pixel layout of a stream: the IHDR fields, with the frame's own size
// for an fdAT stream.
struct ImageLayout {
  uint32_t width = 0, height = 0;
  int bitDepth = 0, colorType = 0;
  bool interlaced = false;

  // Samples per pixel: 1 grey or palette index, 2 grey and alpha, 3 RGB,
  // 4 RGBA; 0 for a colour type PNG does not define.
  int Channels() const;
  int BitsPerPixel() const;
  // Bytes of the filtered stream (filter bytes included); 0 when the layout
  // is not one PNG defines or the size does not fit.
  size_t StreamSize() const;
  // Bytes of one row of the whole image, filter byte included.
  size_t RowSize() const;
};

ImageLayout LayoutOf(const PngFileScan& scan);

// One data stream: the chunks that carry it, and how many bytes of each
// chunk's data come before the stream (4 for fdAT's sequence number).
struct DataStream {
  std::vector<size_t> chunkIndexes;
  size_t skip = 0;
  ImageLayout layout;
};

// The IDAT stream and the fdAT stream of every frame, in file order.  False
// when the animation's chunks are malformed (an fcTL of the wrong size, a
// frame outside the image, fdAT without fcTL).
bool FindDataStreams(const PngFileScan& scan, const uint8_t* file, std::vector<DataStream>& streams);

// Inflates the stream into its filtered rows.  False when the zlib data is
// damaged, or yields more or fewer bytes than the layout, or a row starts
// with a filter type above 4.
bool InflateDataStream(const uint8_t* file, const PngFileScan& scan, const DataStream& stream,
                       std::vector<uint8_t>& filtered);

// The image data of a still PNG whose IDAT is its only stream, found and
// inflated (FindDataStreams, InflateDataStream): what a rewrite of the rows
// alone starts from.  False for a scan without IHDR, an animation, or data
// either call refuses.
bool InflateStillImageData(const uint8_t* file, const PngFileScan& scan, std::vector<DataStream>& streams,
                           std::vector<uint8_t>& filtered);

// Bytes of the stream as stored: the zlib data its chunks carry, each
// chunk's skipped bytes left out.
size_t DataStreamBytes(const PngFileScan& scan, const DataStream& stream);

// 16-bit samples that are all v * 257 (the high byte repeats in the low
// byte) as 8-bit pixels 0xAARRGGBB, width * height of them, with the tRNS
// colour of a grey or RGB source as transparent pixels.  False when any
// sample is not so, or the layout is not 16-bit.
bool ReduceSixteenBit(const ImageLayout& layout, const std::vector<uint8_t>& filtered, const uint8_t* trnsData,
                      size_t trnsLength, std::vector<uint32_t>& pixels);

// The unfiltered rows of a stream whose pixels are whole bytes (bit depth 8
// or 16), in row order of the whole image: an interlaced stream's passes are
// put back in place, so the rows can be filtered afresh without interlacing.
// width * bytes per pixel bytes per row, no filter bytes; a filter looks
// back by one pixel.  False when the layout packs pixels below a byte or the
// rows do not match it.
bool UnfilteredImageRows(const ImageLayout& layout, const std::vector<uint8_t>& filtered, UnfilteredRows& rows);

// Every sample of a stream at its own precision (1 to 16 bits), pixel after
// pixel in row order of the whole image, channels in file order: interlaced
// passes are put back in place and the padding bits that end a packed row
// are left out.  Two streams of the same colour type and depth hold the same
// picture exactly when their samples are equal, whatever their filters,
// interlacing or compression.  False when the rows do not match the layout.
bool ImageSamples(const ImageLayout& layout, const std::vector<uint8_t>& filtered, std::vector<uint16_t>& samples);
