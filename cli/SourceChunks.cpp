#include "cli/SourceChunks.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ExtractChunks.h"

namespace {

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

}  // namespace

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

void AddPaletteAlpha(SourceImage& image) {
  const int trns = image.scan.Find("tRNS");
  if (trns < 0) return;
  const ScannedChunk& chunk = image.scan.chunks[trns];
  const uint8_t* alpha = chunk.Data(image.bytes.data());
  for (int i = 0; i < image.palcount && i < int(chunk.length); ++i) {
    image.palette[i] = (image.palette[i] & 0x00FFFFFF) | uint32_t(alpha[i]) << 24;
  }
}
