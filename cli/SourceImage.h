// An input file as the engine needs it: its bytes, its pixels decoded by the
// decoding library, and, for a PNG, the chunks the user keeps and its
// palette and background colour.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/ChunkChoice.h"
#include "cli/CliOptions.h"
#include "cli/EngineRun.h"
#include "cli/PngFileScan.h"

struct SourceImage {
  std::filesystem::path path;
  std::vector<uint8_t> bytes;     // the whole file; kept chunks point into it
  bool isPng = false;
  PngFileScan scan;               // of a PNG input
  ChunkChoice chunkChoice;        // kept and dropped ancillary chunks
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;   // 0xAARRGGBB, stride width * 4
  std::vector<uint32_t> palette;  // the PNG's PLTE (room for 256), for -kp
  int palcount = 0;
  uint32_t bkgd = 0;
  std::vector<uint8_t*> chunks;   // room for 256 kept chunk pointers
  int chunkpre = 0, chunkmid = 0, chunkpost = 0, chunkcount = 0;

  // The engine's view of the image and its kept chunks.
  RunInput AsRunInput(bool withPalette) const;
};

// Reads and decodes path; the options say which chunks are kept.  False
// with a one-line reason on failure.
bool LoadSourceImage(const std::filesystem::path& path, const CliOptions& options, SourceImage& image,
                     std::string& error);
