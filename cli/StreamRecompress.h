// Recompressing an image whose rows are kept (16-bit samples, animations):
// every data stream is re-deflated by the engine's compressor from its
// filtered rows, byte for byte the source's, and the file is rebuilt around
// the streams that came out smaller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/EngineRun.h"
#include "cli/SourceImage.h"

struct RecompressedStreams {
  std::vector<std::vector<uint8_t>> streams;  // per source stream; empty keeps it
  bool deinterlaced = false;  // the IDAT stream holds the rows without interlacing
  std::string rows;           // the filter strategy of refiltered rows, or empty
};

// out.streams[i] becomes the new zlib stream of image.streams[i], or stays
// empty when it is not smaller than the source's.  A still image's rows are
// also refiltered when the settings ask (cli/RowRefilter.h).  False when
// stopped.
bool RecompressStreams(EngineContext& ctx, const SourceImage& image, const RunSettings& settings,
                       const StopFlags& stop, RunProgress* progress, RecompressedStreams& out);

// The rebuilt file.  enginePng, when given, is an engine result for the
// default image: its image data replaces the IDAT stream when its header,
// palette and transparency are the source's exactly (so every frame still
// reads right) and it is smaller; usedEngine tells whether it did.
std::vector<uint8_t> AssembleRecompressed(const SourceImage& image, RecompressedStreams streams,
                                          const std::vector<uint8_t>* enginePng, bool& usedEngine);
