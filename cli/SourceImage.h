// An input file as the engine needs it: its bytes, its pixels decoded by the
// decoding library, and, for a PNG, the chunks the user keeps and its
// palette and background colour.
//
// Most images are re-encoded by the engine.  Two kinds are recompressed
// instead, their filtered rows kept byte for byte: 16-bit images whose
// samples do not all fit 8 bits, and animations, whose frames are written
// against the source's colour type, depth and palette.  An animation's
// default image may still be re-encoded by the engine when it keeps that
// format exactly (holdFormat).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/ChunkChoice.h"
#include "cli/CliOptions.h"
#include "cli/EngineRun.h"
#include "cli/PngFileScan.h"
#include "cli/PngImageData.h"

struct SourceImage {
  std::filesystem::path path;
  std::vector<uint8_t> bytes;     // the whole file; kept chunks point into it
  bool isPng = false;
  bool fromLossyFormat = false;   // JPEG: a PNG of it may well be larger
  PngFileScan scan;               // of a PNG input
  ChunkChoice chunkChoice;        // kept and dropped ancillary chunks
  std::vector<std::string> notes; // what the user should know (-v, --json)
  bool repaired = false;          // a checksum set right with --fix

  bool recompress = false;        // rows kept, streams recompressed
  bool holdFormat = false;        // engine runs held to the source's format
  std::vector<DataStream> streams;               // IDAT, then each frame
  std::vector<std::vector<uint8_t>> filtered;    // each stream's rows

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
  // Bytes of the source's image data streams as they stand.
  size_t StreamBytes(size_t stream) const;
};

// Reads and decodes path (bytes already read when given); the options say
// which chunks are kept and what damage is accepted.  False with a one-line
// reason on failure.
bool LoadSourceImage(const std::filesystem::path& path, const CliOptions& options, SourceImage& image,
                     std::string& error);
