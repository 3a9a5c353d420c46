// A walk over the chunks of a PNG file as it lies on disk, before anything
// trusts it: where each chunk is, whether its CRC holds, whether bytes follow
// IEND, and the header fields and animation chunks the rest of the tool
// decides by.  The file is outside input: every length is checked against
// the bytes before use and the walk stops at the first chunk that does not
// fit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ScannedChunk {
  std::string type;     // four bytes as they stand (not checked to be letters)
  size_t offset = 0;    // of the length field
  uint32_t length = 0;  // of the data
  bool crcOk = true;

  const uint8_t* Data(const uint8_t* file) const { return file + offset + 8; }
  size_t RecordSize() const { return size_t(length) + 12; }
};

struct PngFileScan {
  bool isPng = false;          // the signature is there
  bool hasIhdr = false;        // IHDR is the first chunk with 13 bytes
  uint32_t width = 0, height = 0;
  uint8_t bitDepth = 0, colorType = 0, interlace = 0;
  std::vector<ScannedChunk> chunks;  // in file order, IEND included
  bool complete = false;       // the walk reached IEND
  size_t trailingBytes = 0;    // bytes after IEND
  int badCrcs = 0;
  bool animated = false;       // an acTL before the first IDAT

  // Index of the first chunk of the type, or -1.
  int Find(const char* type) const;
};

// Walks size bytes at data.  Never reads outside them.
PngFileScan ScanPngFile(const uint8_t* data, size_t size);

// The data of the scan's first chunk of the type, or empty when it has none.
std::vector<uint8_t> FirstChunkData(const PngFileScan& scan, const uint8_t* file, const char* type);
