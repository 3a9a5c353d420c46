#include "cli/SourceImage.h"

#include <algorithm>
#include <cstring>

#include "cli/AtomicFile.h"
#include "common/pngchunks/ExtractChunks.h"
#include "decode/ImageDecode.h"

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// The engine counts file bytes in 32-bit integers: its stored-file estimate
// of (4 * width + 6) * height plus chunks must stay below 2^31.
bool FitsTheEngine(long long width, long long height, size_t chunkBytes) {
  const long long estimate = (4 * width + 6) * height + 2111 + static_cast<long long>(chunkBytes);
  return estimate < 0x7FFFFFFFLL;
}

// The chunk walk of the decoder's extraction marks the bKGD of an RGB source
// as present without a colour; its 16-bit samples are read here (the high
// bytes: 8-bit sources store each sample in the low byte, zero-extended).
uint32_t TrueColorBackground(const PngFileScan& scan, const uint8_t* file) {
  const int index = scan.Find("bKGD");
  if (index < 0) return 0xFF000000;
  const ScannedChunk& chunk = scan.chunks[index];
  if ((scan.colorType != 2 && scan.colorType != 6) || chunk.length != 6 || scan.bitDepth != 8) return 0xFF000000;
  const uint8_t* d = chunk.Data(file);
  return 0xFF000000 | uint32_t(d[1]) << 16 | uint32_t(d[3]) << 8 | d[5];
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

bool LoadSourceImage(const std::filesystem::path& path, const CliOptions& options, SourceImage& image,
                     std::string& error) {
  image.path = path;
  if (!ReadWholeFile(path, image.bytes, error)) return false;
  const size_t size = image.bytes.size();
  if (size > 0x7FFFFFFF) {
    error = "file too large";
    return false;
  }
  image.isPng = image.bytes.size() >= 8 && std::memcmp(image.bytes.data(), kPngSignature, 8) == 0;

  // Converting 16-bit samples to the engine's 8 would lose data: refuse.
  if (image.isPng && size > 24 && image.bytes[24] == 16 && std::memcmp(&image.bytes[12], "IHDR", 4) == 0) {
    error = "16-bit samples are not supported (the engine writes at most 8 bits per sample)";
    return false;
  }
  int width = 0, height = 0;
  ImageGetSize(image.bytes.data(), size, &width, &height);
  if (width <= 0 || height <= 0) {
    error = "not a supported image (PNG, GIF, BMP, TGA, PCX, CEL, DDS, JPEG) or damaged header";
    return false;
  }
  if (!FitsTheEngine(width, height, image.bytes.size())) {
    error = "image too large (" + std::to_string(width) + "x" + std::to_string(height) + ")";
    return false;
  }
  image.width = width;
  image.height = height;
  image.pixels.assign(static_cast<size_t>(width) * height, 0);
  if (ImageRender(image.bytes.data(), size, image.pixels.data(), width * 4, width, height, 0, 0) < 0) {
    error = "cannot decode the image (damaged or unsupported variant)";
    return false;
  }

  image.chunks.assign(256, nullptr);
  image.palette.assign(256, 0);
  if (image.isPng) {
    // The source palette comes from a scan that keeps everything, so that
    // -kp works whatever -k says; the kept chunks from the user's list.
    EncodeJob scan{};
    std::vector<uint8_t*> scratch(256, nullptr);
    scan.pal = image.palette.data();
    scan.chunks = scratch.data();
    uint8_t colorType = 0, bitDepth = 0;
    chunks::ExtractChunks(scan, image.bytes.data(), size, "ALL", colorType, bitDepth);
    image.palcount = colorType == 3 ? scan.palcount : 0;

    image.scan = ScanPngFile(image.bytes.data(), size);
    image.chunkChoice = ChooseChunks(image.scan, options.chunks, true);
    const std::string keepList = image.chunkChoice.KeepList();
    if (!keepList.empty()) {
      // The background colour of a palette source is read through its
      // palette, so this scan gets one too (a copy: it rewrites it).
      std::vector<uint32_t> palette = image.palette;
      EncodeJob kept{};
      kept.pal = palette.data();
      kept.chunks = image.chunks.data();
      chunks::ExtractChunks(kept, image.bytes.data(), size, keepList.c_str(), colorType, bitDepth);
      image.bkgd = kept.bkgd == 0xFF000000 ? TrueColorBackground(image.scan, image.bytes.data()) : kept.bkgd;
      image.chunkpre = kept.chunkpre;
      image.chunkmid = kept.chunkmid;
      image.chunkpost = kept.chunkpost;
      image.chunkcount = kept.chunkcount;
    }
  }
  return true;
}
