#include "cli/SourceImage.h"

#include <algorithm>

#include "cli/AtomicFile.h"
#include "cli/GifFrames.h"
#include "cli/SourceChunks.h"
#include "cli/SourceIntegrity.h"
#include "decode/ImageDecode.h"

namespace {

// The engine counts file bytes in 32-bit integers: its stored-file estimate
// of (4 * width + 6) * height plus chunks must stay below 2^31.  Checked by
// division: a header may claim 2^31 - 1 on both sides, whose product does
// not fit 64 bits.
bool FitsTheEngine(long long width, long long height, size_t chunkBytes) {
  const long long budget = 0x7FFFFFFFLL - 2111 - static_cast<long long>(chunkBytes);
  if (budget <= 0 || width <= 0 || height <= 0) return false;
  return 4 * width + 6 <= (budget - 1) / height;
}

// 16-bit images and animations: their streams and rows.  A 16-bit still
// image whose samples all fit 8 bits gets 8-bit pixels instead and is
// re-encoded like any other.
bool PrepareRecompression(SourceImage& image, std::string& error) {
  const PngFileScan& scan = image.scan;
  if (!FindDataStreams(scan, image.bytes.data(), image.streams)) {
    error = "malformed animation chunks";
    return false;
  }
  image.filtered.resize(image.streams.size());
  for (size_t s = 0; s < image.streams.size(); ++s) {
    if (!InflateDataStream(image.bytes.data(), scan, image.streams[s], image.filtered[s])) {
      error = s == 0 ? "damaged image data" : "damaged data in animation frame " + std::to_string(s);
      return false;
    }
  }
  if (!scan.animated) {
    const int trns = scan.Find("tRNS");
    const uint8_t* trnsData = trns >= 0 ? scan.chunks[trns].Data(image.bytes.data()) : nullptr;
    const size_t trnsLength = trns >= 0 ? scan.chunks[trns].length : 0;
    if (ReduceSixteenBit(image.streams[0].layout, image.filtered[0], trnsData, trnsLength, image.pixels)) {
      image.notes.push_back("16-bit samples reduced to 8 bits (all were v * 257)");
      image.streams.clear();
      image.filtered.clear();
      return true;
    }
    image.notes.push_back("16-bit samples kept; image data recompressed");
  } else {
    image.notes.push_back("animation kept (" + std::to_string(image.streams.size()) + " frame streams)");
    image.holdFormat = scan.bitDepth <= 8 && scan.interlace == 0;
  }
  image.recompress = true;
  return true;
}

constexpr const char* kUndecodable = "cannot decode the image (damaged or unsupported variant)";

// Deflate turns one byte into at most 1032 (a 258-byte match in two one-bit
// codes per byte).  Image data too short to fill its rows cannot decode, and
// a few bytes claiming a huge image must not cost its pixels' memory first.
bool ImageDataCanFill(const PngFileScan& scan) {
  const uint64_t needed = LayoutOf(scan).StreamSize();
  uint64_t compressed = 0;
  for (const ScannedChunk& chunk : scan.chunks) {
    if (chunk.type == "IDAT") compressed += chunk.length;
  }
  return needed == 0 || needed <= (compressed + 1) * 1032;
}

bool DecodePixels(SourceImage& image, std::string& error) {
  if (!image.pixels.empty()) return true;  // a reduced 16-bit image
  if (image.isPng && !ImageDataCanFill(image.scan)) {
    error = kUndecodable;
    return false;
  }
  image.pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
  if (ImageRender(image.bytes.data(), image.bytes.size(), image.pixels.data(), image.width * 4, image.width,
                  image.height, 0, 0) < 0) {
    error = kUndecodable;
    return false;
  }
  return true;
}

}  // namespace

RunInput SourceImage::AsRunInput(bool withPalette) const {
  RunInput input;
  input.pixels = pixels.data();
  input.width = width;
  input.height = height;
  if (withPalette && palcount > 0) {
    input.pal = palette.data();
    input.palcount = palcount;
  }
  input.bkgd = bkgd;
  input.chunkpre = chunkpre;
  input.chunkmid = chunkmid;
  input.chunkpost = chunkpost;
  input.chunkcount = chunkcount;
  input.chunks = const_cast<uint8_t**>(chunks.data());
  return input;
}

size_t SourceImage::StreamBytes(size_t stream) const { return DataStreamBytes(scan, streams[stream]); }

bool LoadSourceImage(const std::filesystem::path& path, const CliOptions& options, SourceImage& image,
                     std::string& error) {
  image.path = path;
  if (image.bytes.empty() && !ReadWholeFile(path, image.bytes, error)) return false;
  const size_t size = image.bytes.size();
  if (size > 0x7FFFFFFF) {
    error = "file too large";
    return false;
  }
  image.scan = ScanPngFile(image.bytes.data(), size);
  image.isPng = image.scan.isPng;
  image.fromLossyFormat = size >= 3 && image.bytes[0] == 0xFF && image.bytes[1] == 0xD8 && image.bytes[2] == 0xFF;
  const int gifFrames = CountGifFrames(image.bytes.data(), size);
  if (gifFrames > 1 && !options.firstFrame) {
    error = "animated GIF (" + std::to_string(gifFrames) +
            " frames): a PNG would hold the first frame only; --first-frame writes it";
    return false;
  }
  if (gifFrames > 1) image.notes.push_back("first of " + std::to_string(gifFrames) + " frames");

  if (image.isPng) {
    if (!CheckChunkIntegrity(image, options.fix, error)) return false;
    if (!image.scan.hasIhdr) {
      error = "damaged PNG header";
      return false;
    }
    if (!CheckStreamChecksums(image, options.fix, error)) return false;
    image.width = int(std::min<uint32_t>(image.scan.width, 0x7FFFFFFF));
    image.height = int(std::min<uint32_t>(image.scan.height, 0x7FFFFFFF));
    if ((image.scan.bitDepth == 16 || image.scan.animated) && !PrepareRecompression(image, error)) return false;
  } else {
    ImageGetSize(image.bytes.data(), size, &image.width, &image.height);
  }
  if (image.width <= 0 || image.height <= 0) {
    error = "not a supported image (PNG, GIF, BMP, TGA, PCX, CEL, DDS, JPEG) or damaged header";
    return false;
  }
  if (!FitsTheEngine(image.width, image.height, size)) {
    error = "image too large (" + std::to_string(image.width) + "x" + std::to_string(image.height) + ")";
    return false;
  }
  const bool engineRuns = !image.recompress || image.holdFormat;
  if (engineRuns && !DecodePixels(image, error)) return false;

  image.chunks.assign(256, nullptr);
  image.palette.assign(256, 0);
  if (image.isPng) {
    image.chunkChoice = ChooseChunks(image.scan, options.chunks, !image.recompress);
    ExtractKeptChunks(image);
    if (image.holdFormat) AddPaletteAlpha(image);
  }
  return true;
}
