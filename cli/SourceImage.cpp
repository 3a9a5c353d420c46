#include "cli/SourceImage.h"

#include <algorithm>
#include <cstring>

#include "cli/AtomicFile.h"
#include "cli/GifFrames.h"
#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ExtractChunks.h"
#include "decode/ImageDecode.h"
#include "engine/deflate/Adler32.h"

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

// The chunk walk of the extraction marks the bKGD of an RGB source as
// present without a colour, and takes none from a 16-bit source: those are
// read here (an 8-bit source stores each sample zero-extended, a 16-bit one
// reduced to 8 bits stores v * 257; the high byte serves both after
// scaling).
uint32_t WideOrTrueColorBackground(const PngFileScan& scan, const uint8_t* file, uint32_t extracted) {
  const int index = scan.Find("bKGD");
  if (index < 0) return extracted;
  const ScannedChunk& chunk = scan.chunks[index];
  const uint8_t* d = chunk.Data(file);
  auto sample = [&](int i) {
    const uint16_t v = chunks::ReadBe16(d + 2 * i);
    return uint32_t(scan.bitDepth == 16 ? v >> 8 : v & 0xFF);
  };
  if ((scan.colorType == 2 || scan.colorType == 6) && chunk.length == 6) {
    return 0xFF000000 | sample(0) << 16 | sample(1) << 8 | sample(2);
  }
  if ((scan.colorType == 0 || scan.colorType == 4) && chunk.length == 2 && scan.bitDepth == 16) {
    return 0xFF000000 | sample(0) * 0x010101u;
  }
  return extracted;
}

// Sets a chunk's stored CRC to what its type and data give.
void RewriteCrc(SourceImage& image, const ScannedChunk& chunk) {
  uint8_t* record = image.bytes.data() + chunk.offset;
  chunks::WriteBe32(record + 8 + chunk.length, chunks::ChunkCrc(record + 4, size_t(chunk.length) + 4));
}

// Damage the user must accept with --fix: wrong CRCs (the bytes may have
// changed on the way) and data after IEND (lost in the output).
bool CheckIntegrity(SourceImage& image, bool fix, std::string& error) {
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

// The engine carries at most kMaxExtractedChunks chunks; the ones after
// those are lost however the user's list reads, and the user is told which.
// A spliced file (kept rows) carries them all.
void ReportChunksBeyondRoom(SourceImage& image) {
  int wanted = 0;
  for (const ScannedChunk& chunk : image.scan.chunks) {
    if (!image.chunkChoice.Keeps(chunk.type) || ++wanted <= image.chunkcount) continue;
    if (std::find(image.chunkChoice.dropped.begin(), image.chunkChoice.dropped.end(), chunk.type) ==
        image.chunkChoice.dropped.end()) {
      image.chunkChoice.dropped.push_back(chunk.type);
    }
  }
  if (wanted > image.chunkcount) {
    image.notes.push_back("kept the first " + std::to_string(image.chunkcount) + " ancillary chunks; " +
                          std::to_string(wanted - image.chunkcount) + " more dropped");
  }
}

void ExtractKeptChunks(SourceImage& image) {
  // Only the chunks the scan walked, up to IEND: bytes after it (dropped
  // with --fix) may well parse as chunks, and must not come back.
  const ScannedChunk* last = image.scan.chunks.empty() ? nullptr : &image.scan.chunks.back();
  const size_t size = last ? last->offset + last->RecordSize() : image.bytes.size();
  uint8_t colorType = 0, bitDepth = 0;
  // The source palette comes from a scan that keeps everything, so that -kp
  // works whatever the keep list says; the kept chunks from the user's list.
  EncodeJob scanJob{};
  std::vector<uint8_t*> scratch(256, nullptr);
  scanJob.pal = image.palette.data();
  scanJob.chunks = scratch.data();
  chunks::ExtractChunks(scanJob, image.bytes.data(), size, "ALL", colorType, bitDepth);
  image.palcount = colorType == 3 ? scanJob.palcount : 0;

  const std::string keepList = image.chunkChoice.KeepList();
  if (keepList.empty()) return;
  // The background colour of a palette source is read through its palette,
  // so this scan gets one too (a copy: it rewrites it).
  std::vector<uint32_t> palette = image.palette;
  EncodeJob kept{};
  kept.pal = palette.data();
  kept.chunks = image.chunks.data();
  chunks::ExtractChunks(kept, image.bytes.data(), size, keepList.c_str(), colorType, bitDepth);
  image.bkgd = image.chunkChoice.Keeps("bKGD") ? WideOrTrueColorBackground(image.scan, image.bytes.data(), kept.bkgd) : 0;
  image.chunkpre = kept.chunkpre;
  image.chunkmid = kept.chunkmid;
  image.chunkpost = kept.chunkpost;
  image.chunkcount = kept.chunkcount;
  if (!image.recompress) ReportChunksBeyondRoom(image);
}

// For an animation held to its format: the palette with the tRNS alphas, as
// the frames see it.
void AddPaletteAlpha(SourceImage& image) {
  const int trns = image.scan.Find("tRNS");
  if (trns < 0) return;
  const ScannedChunk& chunk = image.scan.chunks[trns];
  const uint8_t* alpha = chunk.Data(image.bytes.data());
  for (int i = 0; i < image.palcount && i < int(chunk.length); ++i) {
    image.palette[i] = (image.palette[i] & 0x00FFFFFF) | uint32_t(alpha[i]) << 24;
  }
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

size_t SourceImage::StreamBytes(size_t stream) const {
  size_t total = 0;
  for (size_t i : streams[stream].chunkIndexes) total += scan.chunks[i].length - streams[stream].skip;
  return total;
}

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
    if (!CheckIntegrity(image, options.fix, error)) return false;
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
