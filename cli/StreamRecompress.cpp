#include "cli/StreamRecompress.h"

#include <cstring>

#include "cli/PngSplice.h"
#include "cli/RowRefilter.h"

namespace {

bool SameFormat(const SourceImage& image, const std::vector<uint8_t>& png) {
  const PngFileScan other = ScanPngFile(png.data(), png.size());
  for (const char* type : {"IHDR", "PLTE", "tRNS"}) {
    if (FirstChunkData(image.scan, image.bytes.data(), type) != FirstChunkData(other, png.data(), type)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool RecompressStreams(EngineContext& ctx, const SourceImage& image, const RunSettings& settings,
                       const StopFlags& stop, RunProgress* progress, RecompressedStreams& out) {
  out = RecompressedStreams();
  out.streams.assign(image.streams.size(), {});
  for (size_t s = 0; s < image.streams.size(); ++s) {
    const std::vector<uint8_t>& rows = image.filtered[s];
    const int rowLength = int(image.streams[s].layout.RowSize());
    std::vector<uint8_t> zlib;
    if (!RunByteStream(ctx, rows.data(), rows.size(), rowLength, settings, stop, progress, zlib)) return false;
    if (zlib.size() < image.StreamBytes(s)) {
      out.streams[s] = std::move(zlib);
    } else if (image.streams[s].skip == 0 && image.streams[s].chunkIndexes.size() > 1) {
      // IDAT chunks carry no sequence numbers: the source's own stream in
      // one chunk saves 12 bytes for every chunk it was cut into.
      for (size_t i : image.streams[s].chunkIndexes) {
        const ScannedChunk& chunk = image.scan.chunks[i];
        out.streams[s].insert(out.streams[s].end(), chunk.Data(image.bytes.data()),
                              chunk.Data(image.bytes.data()) + chunk.length);
      }
    }
    // After the first Ctrl-C the stream under way finished its pass; the
    // remaining frames keep their own data.
    if (stop.finishAfterPass) break;
  }
  // An animation's frames share the header's interlacing and are filtered
  // against it, so only a still image's rows are filtered afresh.
  if (image.streams.size() == 1 && !stop.finishAfterPass) {
    RefilteredRows refiltered;
    if (!RefilterRows(ctx, image.streams[0].layout, image.filtered[0], settings, stop, progress, refiltered)) {
      return false;
    }
    const size_t current = out.streams[0].empty() ? image.StreamBytes(0) : out.streams[0].size();
    if (!refiltered.zlib.empty() && refiltered.zlib.size() < current) {
      out.streams[0] = std::move(refiltered.zlib);
      out.deinterlaced = image.streams[0].layout.interlaced;
      out.rows = refiltered.strategy;
    }
  }
  return true;
}

std::vector<uint8_t> AssembleRecompressed(const SourceImage& image, RecompressedStreams streams,
                                          const std::vector<uint8_t>* enginePng, bool& usedEngine) {
  usedEngine = false;
  if (enginePng && !streams.streams.empty() && SameFormat(image, *enginePng)) {
    std::vector<uint8_t> idat = IdatStreamOf(*enginePng);
    const size_t current = streams.streams[0].empty() ? image.StreamBytes(0) : streams.streams[0].size();
    if (!idat.empty() && idat.size() < current) {
      streams.streams[0] = std::move(idat);
      streams.deinterlaced = false;
      usedEngine = true;
    }
  }
  return SplicePng(image.bytes.data(), image.scan, image.streams, streams.streams, image.chunkChoice,
                   streams.deinterlaced);
}
