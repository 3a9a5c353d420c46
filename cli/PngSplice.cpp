#include "cli/PngSplice.h"

#include "cli/ChunkNames.h"
#include "common/pngchunks/ChunkBytes.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

void PutChunk(std::vector<uint8_t>& out, const std::string& type, const uint8_t* prefix, size_t prefixSize,
              const uint8_t* data, size_t size) {
  uint8_t field[4];
  chunks::WriteBe32(field, uint32_t(prefixSize + size));
  out.insert(out.end(), field, field + 4);
  const size_t crcFrom = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), prefix, prefix + prefixSize);
  out.insert(out.end(), data, data + size);
  chunks::WriteBe32(field, chunks::ChunkCrc(out.data() + crcFrom, out.size() - crcFrom));
  out.insert(out.end(), field, field + 4);
}

// An animation frame keeps its number of fdAT chunks (their sequence
// numbers stay); the IDAT stream becomes one chunk.
size_t PiecesOf(const DataStream& stream) { return stream.skip > 0 ? stream.chunkIndexes.size() : 1; }

// The stream's bytes in as many pieces as it had chunks (one for IDAT).
void PutStream(std::vector<uint8_t>& out, const uint8_t* file, const PngFileScan& scan, const DataStream& stream,
               const std::vector<uint8_t>& zlib) {
  const size_t pieces = PiecesOf(stream);
  size_t done = 0;
  for (size_t p = 0; p < pieces; ++p) {
    const ScannedChunk& original = scan.chunks[stream.chunkIndexes[p]];
    const size_t n = p + 1 == pieces ? zlib.size() - done : zlib.size() / pieces;
    PutChunk(out, original.type, original.Data(file), stream.skip, zlib.data() + done, n);
    done += n;
  }
}

bool IsCritical(const std::string& type) { return type.size() == 4 && type[0] >= 'A' && type[0] <= 'Z'; }

}  // namespace

std::vector<uint8_t> SplicePng(const uint8_t* file, const PngFileScan& scan, const std::vector<DataStream>& streams,
                               const std::vector<std::vector<uint8_t>>& newStreams, const ChunkChoice& choice,
                               bool deinterlaced) {
  std::vector<uint8_t> out(kSignature, kSignature + 8);
  // Which stream each chunk belongs to, and whether it opens it.
  std::vector<int> owner(scan.chunks.size(), -1);
  for (size_t s = 0; s < streams.size(); ++s) {
    for (size_t i : streams[s].chunkIndexes) owner[i] = int(s);
  }
  std::vector<bool> written(streams.size(), false);
  for (size_t i = 0; i < scan.chunks.size(); ++i) {
    const ScannedChunk& chunk = scan.chunks[i];
    const int s = owner[i];
    if (s >= 0 && s < int(newStreams.size()) && !newStreams[s].empty() &&
        newStreams[s].size() >= PiecesOf(streams[s])) {
      if (!written[s]) PutStream(out, file, scan, streams[s], newStreams[s]);
      written[s] = true;
      continue;
    }
    const bool suggestedPalette = chunk.type == "PLTE" && scan.colorType != 3;
    const bool keep = s >= 0 || (suggestedPalette ? choice.suggestedPalette : IsCritical(chunk.type)) ||
                      chunk.type == "tRNS" || IsAnimationChunk(chunk.type) || choice.Keeps(chunk.type);
    if (chunk.type == "IHDR" && deinterlaced && chunk.length == 13) {
      std::vector<uint8_t> header(chunk.Data(file), chunk.Data(file) + 13);
      header[12] = 0;
      PutChunk(out, chunk.type, nullptr, 0, header.data(), header.size());
    } else if (keep) {
      PutChunk(out, chunk.type, nullptr, 0, chunk.Data(file), chunk.length);
    }
    if (chunk.type == "IEND") break;
  }
  return out;
}

std::vector<uint8_t> IdatStreamOf(const std::vector<uint8_t>& png) {
  const PngFileScan scan = ScanPngFile(png.data(), png.size());
  std::vector<uint8_t> stream;
  for (const ScannedChunk& chunk : scan.chunks) {
    if (chunk.type == "IDAT") stream.insert(stream.end(), chunk.Data(png.data()), chunk.Data(png.data()) + chunk.length);
  }
  return stream;
}
