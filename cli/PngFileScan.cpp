#include "cli/PngFileScan.h"

#include <cstring>

#include "common/pngchunks/ChunkBytes.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Chunk lengths above 2^31 - 1 are not PNG (the format's own limit).
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;

}  // namespace

int PngFileScan::Find(const char* type) const {
  for (size_t i = 0; i < chunks.size(); ++i) {
    if (chunks[i].type == type) return int(i);
  }
  return -1;
}

PngFileScan ScanPngFile(const uint8_t* data, size_t size) {
  PngFileScan scan;
  if (size < 8 || std::memcmp(data, kSignature, 8) != 0) return scan;
  scan.isPng = true;
  bool seenIdat = false;
  size_t pos = 8;
  while (size - pos >= 12) {
    ScannedChunk chunk;
    chunk.offset = pos;
    chunk.length = chunks::ReadBe32(data + pos);
    if (chunk.length > kMaxChunkLength || chunk.length > size - pos - 12) break;
    chunk.type.assign(reinterpret_cast<const char*>(data + pos + 4), 4);
    const uint32_t stored = chunks::ReadBe32(data + pos + 8 + chunk.length);
    chunk.crcOk = chunks::ChunkCrc(data + pos + 4, size_t(chunk.length) + 4) == stored;
    if (!chunk.crcOk) ++scan.badCrcs;
    if (scan.chunks.empty() && chunk.type == "IHDR" && chunk.length == 13) {
      const uint8_t* h = chunk.Data(data);
      scan.hasIhdr = true;
      scan.width = chunks::ReadBe32(h);
      scan.height = chunks::ReadBe32(h + 4);
      scan.bitDepth = h[8];
      scan.colorType = h[9];
      scan.interlace = h[12];
    }
    if (chunk.type == "IDAT") seenIdat = true;
    if (chunk.type == "acTL" && !seenIdat) scan.animated = true;
    pos += chunk.RecordSize();
    scan.chunks.push_back(chunk);
    if (scan.chunks.back().type == "IEND") {
      scan.complete = true;
      scan.trailingBytes = size - pos;
      break;
    }
  }
  return scan;
}

std::vector<uint8_t> FirstChunkData(const PngFileScan& scan, const uint8_t* file, const char* type) {
  const int i = scan.Find(type);
  if (i < 0) return {};
  const uint8_t* d = scan.chunks[i].Data(file);
  return std::vector<uint8_t>(d, d + scan.chunks[i].length);
}
