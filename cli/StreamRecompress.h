// Recompressing an image whose rows are kept (16-bit samples, animations):
// every data stream is re-deflated by the engine's compressor from its
// filtered rows, byte for byte the source's, and the file is rebuilt around
// the streams that came out smaller.
#pragma once

#include <cstdint>
#include <vector>

#include "cli/EngineRun.h"
#include "cli/SourceImage.h"

// streams[i] becomes the new zlib stream of image.streams[i], or stays empty
// when it is not smaller than the source's.  False when stopped.
bool RecompressStreams(EngineContext& ctx, const SourceImage& image, const RunSettings& settings,
                       const StopFlags& stop, RunProgress* progress, std::vector<std::vector<uint8_t>>& streams);

// The rebuilt file.  enginePng, when given, is an engine result for the
// default image: its image data replaces the IDAT stream when its header,
// palette and transparency are the source's exactly (so every frame still
// reads right) and it is smaller; usedEngine tells whether it did.
std::vector<uint8_t> AssembleRecompressed(const SourceImage& image, std::vector<std::vector<uint8_t>> streams,
                                          const std::vector<uint8_t>* enginePng, bool& usedEngine);
