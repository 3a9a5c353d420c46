#include "cli/SourceIntegrity.h"

#include <cstdint>
#include <vector>

#include "common/pngchunks/ChunkBytes.h"
#include "engine/deflate/Adler32.h"

namespace {

// Sets a chunk's stored CRC to what its type and data give.
void RewriteCrc(SourceImage& image, const ScannedChunk& chunk) {
  uint8_t* record = image.bytes.data() + chunk.offset;
  chunks::WriteBe32(record + 8 + chunk.length, chunks::ChunkCrc(record + 4, size_t(chunk.length) + 4));
}

// The Adler-32 that ends a zlib stream: the stream's last four bytes, which
// may straddle its chunks.  Empty when the stream is shorter than that.
std::vector<uint8_t*> AdlerBytesOf(SourceImage& image, const DataStream& stream,
                                   std::vector<size_t>& chunksTouched) {
  std::vector<uint8_t*> bytes;
  for (auto i = stream.chunkIndexes.rbegin(); i != stream.chunkIndexes.rend() && bytes.size() < 4; ++i) {
    const ScannedChunk& chunk = image.scan.chunks[*i];
    uint8_t* data = image.bytes.data() + chunk.offset + 8;
    for (size_t at = chunk.length; at > stream.skip && bytes.size() < 4; --at) {
      bytes.insert(bytes.begin(), data + at - 1);
    }
    chunksTouched.push_back(*i);
  }
  if (bytes.size() < 4) bytes.clear();
  return bytes;
}

}  // namespace

// Damage the user must accept with --fix: wrong CRCs (the bytes may have
// changed on the way) and data after IEND (lost in the output).
bool CheckChunkIntegrity(SourceImage& image, bool fix, std::string& error) {
  const PngFileScan& scan = image.scan;
  if (!fix) {
    if (scan.badCrcs > 0) {
      error = "CRC error in " + std::to_string(scan.badCrcs) + " chunk" + (scan.badCrcs == 1 ? "" : "s") +
              " (the data may be damaged); --fix accepts it";
      return false;
    }
    if (!scan.complete) {
      error = "no IEND chunk (the file is truncated or damaged); --fix accepts it";
      return false;
    }
    if (scan.trailingBytes > 0) {
      error = std::to_string(scan.trailingBytes) + " bytes after IEND would be lost; --fix drops them";
      return false;
    }
    return true;
  }
  for (const ScannedChunk& chunk : scan.chunks) {
    if (chunk.crcOk) continue;
    RewriteCrc(image, chunk);
    image.notes.push_back("fixed the CRC of " + chunk.type);
  }
  if (scan.trailingBytes > 0) image.notes.push_back("dropped " + std::to_string(scan.trailingBytes) + " bytes after IEND");
  return true;
}

// A wrong Adler-32 under right CRCs: the rows were damaged before the chunks
// were written, or the writer is faulty.  Our decoder does not read the
// checksum but other readers do, so such a file is refused like a CRC error;
// with --fix, when the rows inflate completely, the checksum is set to what
// they hold.  Rows that do not inflate are left to the decoder to judge.
bool CheckStreamChecksums(SourceImage& image, bool fix, std::string& error) {
  std::vector<DataStream> streams;
  if (!FindDataStreams(image.scan, image.bytes.data(), streams)) return true;
  std::vector<uint8_t> rows;
  for (size_t s = 0; s < streams.size(); ++s) {
    if (!InflateDataStream(image.bytes.data(), image.scan, streams[s], rows)) continue;
    std::vector<size_t> touched;
    const std::vector<uint8_t*> stored = AdlerBytesOf(image, streams[s], touched);
    if (stored.empty()) continue;
    const uint32_t adler = deflate::AdlerBytes(1, rows.data(), rows.size());
    const uint32_t written =
        uint32_t(*stored[0]) << 24 | uint32_t(*stored[1]) << 16 | uint32_t(*stored[2]) << 8 | *stored[3];
    if (written == adler) continue;
    const std::string where = s == 0 ? "the image data" : "animation frame " + std::to_string(s);
    if (!fix) {
      error = "wrong Adler-32 in " + where + " (the data may be damaged); --fix accepts it";
      return false;
    }
    for (int b = 0; b < 4; ++b) *stored[b] = uint8_t(adler >> (24 - 8 * b));
    for (size_t i : touched) RewriteCrc(image, image.scan.chunks[i]);
    image.repaired = true;
    image.notes.push_back("fixed the Adler-32 of " + where);
  }
  return true;
}
