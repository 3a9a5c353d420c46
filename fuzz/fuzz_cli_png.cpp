// The command-line tool's own reading of outside bytes: the chunk walk with
// its CRC and trailing-data checks, the animation's frame streams, their
// inflation, samples and the 16-bit reduction, the GIF frame count and the
// chunk-name lists users type, loading with and without --fix, and the
// read-back check of a result.  Nothing
// may be read outside the input, and a file rebuilt around its own streams
// must walk the same way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/ChunkNames.h"
#include "cli/GifFrames.h"
#include "cli/PngFileScan.h"
#include "cli/PngImageData.h"
#include "cli/PngSplice.h"
#include "cli/ResultCheck.h"
#include "cli/SourceImage.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Larger images are valid but only slow the fuzzer down.
constexpr size_t kMaxStream = size_t(1) << 22;

// The read-back check takes any bytes as a result, against the input as a
// kept-format source and as a re-encoded one.
void CheckAsResult(const uint8_t* data, size_t size, const PngFileScan& scan, const std::vector<DataStream>& streams,
                   const std::vector<uint8_t>& result) {
  if (!scan.hasIhdr || uint64_t(scan.width) * scan.height > kMaxStream) return;
  SourceImage source;
  source.bytes.assign(data, data + size);
  source.scan = scan;
  source.isPng = true;
  source.width = int(scan.width);
  source.height = int(scan.height);
  source.streams = streams;
  source.filtered.resize(streams.size());
  for (size_t s = 0; s < streams.size(); ++s) {
    if (!InflateDataStream(data, scan, streams[s], source.filtered[s])) return;
  }
  source.recompress = true;
  CheckResult(source, result);
  source.recompress = false;
  source.pixels.assign(size_t(scan.width) * scan.height, 0xFF000000u);
  CheckResult(source, result);
  CheckResult(source, source.bytes);
}

// Loading as the command does, refusing damage or (--fix) repairing CRCs
// and image data checksums in place: a repaired file walks the same way
// with every CRC right.
void CheckLoad(const uint8_t* data, size_t size, const PngFileScan& scan) {
  if (!scan.hasIhdr || uint64_t(scan.width) * scan.height > kMaxStream) return;
  for (const bool fix : {false, true}) {
    CliOptions options;
    options.fix = fix;
    SourceImage image;
    image.bytes.assign(data, data + size);
    std::string error;
    if (!LoadSourceImage("", options, image, error) || !fix) continue;
    const PngFileScan repaired = ScanPngFile(image.bytes.data(), image.bytes.size());
    Check(repaired.badCrcs == 0 && repaired.chunks.size() == scan.chunks.size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CountGifFrames(data, size);
  std::vector<std::string> names;
  std::string error;
  if (size < 64) ParseChunkList(std::string(reinterpret_cast<const char*>(data), size), names, error);

  const PngFileScan scan = ScanPngFile(data, size);
  CheckLoad(data, size, scan);
  std::vector<DataStream> streams;
  if (!FindDataStreams(scan, data, streams)) return 0;
  std::vector<std::vector<uint8_t>> recompressed(streams.size());
  for (size_t s = 0; s < streams.size(); ++s) {
    if (streams[s].layout.StreamSize() > kMaxStream) return 0;
    std::vector<uint8_t> rows;
    if (!InflateDataStream(data, scan, streams[s], rows)) continue;
    Check(rows.size() == streams[s].layout.StreamSize());
    std::vector<uint16_t> samples;
    Check(ImageSamples(streams[s].layout, rows, samples));
    Check(samples.size() % (size_t(streams[s].layout.width) * streams[s].layout.height) == 0);
    std::vector<uint32_t> pixels;
    if (ReduceSixteenBit(streams[s].layout, rows, nullptr, 0, pixels)) {
      Check(pixels.size() == size_t(streams[s].layout.width) * streams[s].layout.height);
    }
    // A stand-in stream: the splice must frame any bytes soundly.
    recompressed[s].assign(rows.begin(), rows.begin() + long(rows.size() < 40 ? rows.size() : 40));
  }
  const std::vector<uint8_t> rebuilt = SplicePng(data, scan, streams, recompressed, ChunkChoice());
  const PngFileScan again = ScanPngFile(rebuilt.data(), rebuilt.size());
  Check(again.isPng && again.badCrcs == 0 && again.trailingBytes == 0);
  CheckAsResult(data, size, scan, streams, rebuilt);
  return 0;
}
