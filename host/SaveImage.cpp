#include "host/SaveImage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "common/pngchunks/ChunkBytes.h"
#include "host/EngineMessages.h"

namespace host {

namespace {

constexpr int kBytesPerCell = 4;

// The defaults a save starts from; the options dialogs may change them.
void FillJob(EncodeJob& job, char* pixels, int32_t stride, const ImageSize& size) {
  std::memset(&job, 0, sizeof job);
  job.pixels = reinterpret_cast<uint32_t*>(pixels);
  job.stride = stride;
  job.width = size.width;
  job.height = size.height;
  job.filter = -1;
  job.colortype = -1;
  job.bitdepth = 0;
  job.strategy = 0;
  job.splitthreshold = 256.0;
  job.print = PrintEngineMessage;
}

void RequestRgb(FormatRecord& record, SaveBuffers& save, uint64_t size) {
  record.loPlane = 0;
  if (record.transparencyPlane != 0) {
    record.hiPlane = 3;
  } else {
    // Without a transparency plane the host leaves byte 3 alone: opaque.
    record.hiPlane = 2;
    std::memset(save.pixels, 0xFF, static_cast<size_t>(size));
  }
  record.colBytes = kBytesPerCell;
  record.rowBytes = save.job.stride;
  record.planeBytes = 1;
  // Red to byte 2 and blue to byte 0 make the 0xAARRGGBB words.
  record.planeMap[0] = 2;
  record.planeMap[2] = 0;
  record.transparencyMatting = 0;
  record.data = save.pixels;
}

// The host's colour table as palette entries; `count` is already in
// 1..256, and the transparent index marks an entry only when it is one.
void FillPalette(const FormatRecord& record, uint32_t* palette, int count) {
  for (int i = 0; i < count; ++i) {
    palette[i] = 0xFF000000u | uint32_t{record.redLUT[i]} << 16 | uint32_t{record.greenLUT[i]} << 8 |
                 uint32_t{record.blueLUT[i]};
  }
  const int transparent = record.transparentIndex;
  if (transparent >= 0 && transparent < count) palette[transparent] &= 0x00FFFFFFu;
}

// Replaces each cell's index by its colour.  The palette has room for 256
// entries, so any index byte stays inside it; entries past the host's
// count are zero.
void IndicesToColours(SaveBuffers& save) {
  const uint32_t* palette = reinterpret_cast<const uint32_t*>(save.palette);
  for (int y = 0; y < save.job.height; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(save.pixels + static_cast<size_t>(y) * save.job.stride);
    for (int x = 0; x < save.job.width; ++x) row[x] = palette[row[x] & 0xFF];
  }
}

}  // namespace

SaveBuffers::~SaveBuffers() {
  if (m_context.record != nullptr) m_context.record->data = nullptr;
  DisposeBuffer(m_context, pixels);
  DisposeBuffer(m_context, palette);
  if (job.kbuf != nullptr) FreeEncodeBuffer(job.kbuf);
  chunks::FreeChunkArray(job.chunks);
  m_context.chunkStore.Clear();
}

bool ReadHostImage(HostContext& context, SaveBuffers& save) {
  FormatRecord& record = *context.record;
  const ImageSize size = GetImageSize(record);
  // In 64 bits: 4 x width x height wraps a 32-bit size_t long before the
  // host's largest documents.
  const uint64_t width = uint64_t(std::max(size.width, 0));
  const uint64_t planeRowBytes = (uint64_t(std::max<int16_t>(record.depth, 0)) * width + 7) / 8;
  // Below 8 bits a plane row is shorter than a row of cells, but the host
  // delivers, the index pass rewrites and the engine reads `width` cells on
  // every row: a row is never shorter than that.
  const uint64_t stride = std::max(planeRowBytes, width) * kBytesPerCell;
  const uint64_t bytes = stride * uint64_t(std::max(size.height, 0));
  const bool fits = bytes > 0 && stride <= uint64_t(INT32_MAX);
  save.pixels = fits ? NewBuffer(context, bytes) : nullptr;
  if (save.pixels == nullptr) {
    context.Fail(memFullErr);
    return false;
  }
  std::memset(save.pixels, 0, static_cast<size_t>(bytes));
  FillJob(save.job, save.pixels, static_cast<int32_t>(stride), size);
  save.job.pal = save.localPalette;
  save.job.palcount = 0;
  SetImageRect(record, 0, 0, size.height, size.width);

  if (record.imageMode == plugInModeRGBColor) {
    RequestRgb(record, save, bytes);
    context.Fail(record.advanceState());
    return true;
  }
  save.palette = NewBuffer(context, kPaletteRoom * sizeof(uint32_t));
  if (save.palette == nullptr) {
    DisposeBuffer(context, save.pixels);
    context.Fail(memFullErr);
    return false;
  }
  std::memset(save.palette, 0, kPaletteRoom * sizeof(uint32_t));
  const int count = std::clamp<int>(record.lutCount, 1, kPaletteRoom);
  save.job.pal = reinterpret_cast<uint32_t*>(save.palette);
  save.job.palcount = count;
  FillPalette(record, save.job.pal, count);
  record.loPlane = 0;
  record.hiPlane = 0;
  record.colBytes = kBytesPerCell;
  record.rowBytes = save.job.stride;
  record.planeBytes = 0;
  record.transparencyMatting = 0;
  record.data = save.pixels;
  const OSErr error = record.advanceState();
  context.Fail(error);
  if (error == noErr) IndicesToColours(save);
  return true;
}

}  // namespace host
