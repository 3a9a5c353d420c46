#include "cli/OptimalRedeflate.h"

#include "cli/PngImageData.h"
#include "cli/PngSplice.h"

namespace {
// Above the compressor's own levels: 6 searches longest, 7 also lists the
// longest match of every distance code.
constexpr int kLongestSearchLevel = deflate::kOptimalLevelMax + 1;
constexpr int kEveryDistanceCodeLevel = kLongestSearchLevel + 1;
}  // namespace

deflate::OptimalSettings OptimalSettingsOf(int level) {
  deflate::OptimalSettings settings = deflate::OptimalLevelSettings(level);
  if (level >= kLongestSearchLevel) {
    settings.restarts = 10;
    settings.iterations = 60;
    settings.patience = 8;
  }
  if (level >= kEveryDistanceCodeLevel) settings.matchFinder.everyDistanceCode = true;
  return settings;
}

bool RedeflateImageData(std::vector<uint8_t>& png, int level) {
  const PngFileScan scan = ScanPngFile(png.data(), png.size());
  std::vector<DataStream> streams;
  if (!scan.hasIhdr || scan.animated || !FindDataStreams(scan, png.data(), streams) || streams.size() != 1) {
    return false;
  }
  std::vector<uint8_t> rows;
  if (!InflateDataStream(png.data(), scan, streams[0], rows)) return false;
  std::vector<std::vector<uint8_t>> zlib(1);
  deflate::OptimalDeflate(rows.data(), rows.size(), OptimalSettingsOf(level), zlib[0]);
  size_t current = 0;
  for (size_t i : streams[0].chunkIndexes) current += scan.chunks[i].length;
  if (zlib[0].size() >= current) return false;
  // Every chunk of the engine's file stays; only the image data changes.
  ChunkChoice everything;
  for (const ScannedChunk& chunk : scan.chunks) everything.kept.push_back(chunk.type);
  png = SplicePng(png.data(), scan, streams, zlib, everything);
  return true;
}
