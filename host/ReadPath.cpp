// Opening a PNG: read start reads the whole data fork, takes the resolution
// from pHYs, decodes into a 32-bit buffer from the host's buffer suite and
// describes an 8-bit RGB image with four planes; read continue hands all
// pixels over in one request; read finish answers the scripting system and
// stamps the document with the time of opening.
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>

#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ChunkList.h"
#include "common/pngchunks/PngChunk.h"
#include "decode/ImageDecode.h"
#include "engine/EncodeJob.h"
#include "host/HostServices.h"
#include "host/Selectors.h"
#include "host/SourceChunks.h"
#include "host/TimeText.h"

namespace host {

namespace {

constexpr uint8_t kPngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr OSType kHistoryResource = FourCC("hist");

using FileBuffer = chunks::OwnedChunkBytes;

struct StreamCloser {
  void operator()(FILE* stream) const { std::fclose(stream); }
};

void DisposeImageResources(HostContext& context) {
  FormatRecord& record = *context.record;
  if (record.imageRsrcData != nullptr) DisposeHandle(context, record.imageRsrcData);
  record.imageRsrcData = nullptr;
  record.imageRsrcSize = 0;
}

// Steps 2 and 3: the signature and the header's bit depth, read from the
// data fork without reading the rest.
void CheckHeader(HostContext& context, DataForkHandle fork) {
  if (SetDataForkPosition(fork, 0, 0) != noErr) return context.Fail(writErr);
  uint8_t signature[8];
  int32_t count = sizeof signature;
  if (ReadDataFork(fork, &count, signature) != noErr) return context.Fail(readErr);
  if (std::memcmp(signature, kPngSignature, sizeof signature) != 0) return context.Fail(formatCannotRead);
  uint8_t header[28];
  count = sizeof header;
  if (ReadDataFork(fork, &count, header) != noErr) return context.Fail(readErr);
  if (header[24 - 8] > 8) {
    ShowErrorBox("VELKOR cannot read bit channel data greater than 8 bits in width.", "Unsupported Image Format");
    context.Fail(30501);
  }
}

// Steps 4 and 5: the whole file in one buffer.  A read that stops short
// fails the open rather than decoding bytes that were never read.
FileBuffer ReadWholeFile(HostContext& context, DataForkHandle fork, size_t& size) {
  uint64_t length = 0;
  if (SetDataForkPosition(fork, 0, 0) != noErr) {
    context.Fail(writErr);
    return nullptr;
  }
  if (!GetDataForkSize(fork, length) || length == 0 || length > std::numeric_limits<size_t>::max()) {
    context.Fail(memFullErr);
    return nullptr;
  }
  size = static_cast<size_t>(length);
  FileBuffer file(chunks::AllocateChunkBytes(size));
  if (!file) {
    context.Fail(memFullErr);
    return nullptr;
  }
  std::unique_ptr<FILE, StreamCloser> stream(OpenDataForkStream(fork));
  StreamContext streams;
  if (!stream || streams.Attach(stream.get()) != 0 ||
      streams.Read(file.get(), size) != static_cast<long long>(size)) {
    context.Fail(readErr);
    return nullptr;
  }
  return file;
}

// 16.16 pixels per inch from pixels per metre, truncated toward zero; the
// host's value stays when the result is 0 or does not fit.
void SetResolution(Fixed& target, uint32_t pixelsPerMetre) {
  const double fixed = std::trunc(pixelsPerMetre * 0.0254 * 65536);
  if (fixed >= 1 && fixed <= std::numeric_limits<Fixed>::max()) target = static_cast<Fixed>(fixed);
}

// Step 6: the resolution from the file's pHYs, through the same chunk scan
// the save uses.  The file buffer always stays with the open.
void ReadResolution(HostContext& context, uint8_t* file, size_t size) {
  EncodeJob job{};
  SourceImageInfo source;
  GatherSourceChunks(job, file, size, context.chunkStore, FileBufferUse::MustStay, source);
  for (const chunks::ChunkRef& ref : chunks::ChunkList::ListFlattened(job)) {
    chunks::PngChunk described(ref.chunk);
    if (!described.Is(chunks::kPHYS)) continue;
    chunks::PhysChunk phys;
    phys.Attach(ref.chunk);
    uint32_t x = 0, y = 0;
    uint8_t unit = 0;
    if (phys.Read(x, y, unit) && unit == 1) {
      SetResolution(context.record->imageHRes, x);
      SetResolution(context.record->imageVRes, y);
    }
  }
  chunks::FreeChunkArray(job.chunks);
  context.chunkStore.Clear();
}

// Steps 7 to 9: decode into a buffer from the host.
void Decode(HostContext& context, const uint8_t* file, size_t size, int& width, int& height) {
  ImageGetSize(file, size, &width, &height);
  const FormatRecord& record = *context.record;
  const bool fitsNarrow = width <= std::numeric_limits<int16_t>::max() && height <= std::numeric_limits<int16_t>::max();
  const uint64_t stride = uint64_t(width > 0 ? width : 0) * 4;
  if (width <= 0 || height <= 0 || stride > INT_MAX || (!fitsNarrow && !UsesWideCoordinates(record)))
    return context.Fail(formatCannotRead);
  char* pixels = NewBuffer(context, stride * uint64_t(height));
  if (pixels == nullptr) return context.Fail(memFullErr);
  // Whatever the decoder leaves unwritten reaches the host as transparent
  // black, never as the host's stale bytes.
  std::memset(pixels, 0, static_cast<size_t>(stride * uint64_t(height)));
  if (ImageRender(file, size, reinterpret_cast<uint32_t*>(pixels), static_cast<int>(stride), width, height, 0, 0) <
      0) {
    DisposeBuffer(context, pixels);
    context.chunkStore.Clear();
    DisposeImageResources(context);
    return context.Fail(formatCannotRead);
  }
  context.decodedPixels = pixels;
}

}  // namespace

void ReadStart(HostContext& context) {
  FormatRecord& record = *context.record;
  DiscardReadDescriptor(context);
  if (!context.Ok()) return;
  CheckHeader(context, record.dataFork);
  if (!context.Ok()) return;
  size_t size = 0;
  FileBuffer file = ReadWholeFile(context, record.dataFork, size);
  if (!file) return;
  ReadResolution(context, file.get(), size);
  int width = 0, height = 0;
  DisposeBuffer(context, context.decodedPixels);  // a read start without continue before
  Decode(context, file.get(), size, width, height);
  file.reset();
  if (!context.Ok()) return;
  if (context.decodedPixels == nullptr) return context.Fail(formatCannotRead);
  record.imageMode = plugInModeRGBColor;
  SetImageSize(record, height, width);
  record.depth = 8;
  record.planes = 4;
  record.transparencyMatting = 0;
}

void ReadContinue(HostContext& context) {
  FormatRecord& record = *context.record;
  DisposeImageResources(context);
  const ImageSize size = GetImageSize(record);
  const int32_t bytesPerPlaneRow = static_cast<int32_t>((int64_t{record.depth} * size.width + 7) / 8);
  record.colBytes = 4;
  record.rowBytes = static_cast<int32_t>(int64_t{bytesPerPlaneRow} * record.planes);
  record.planeBytes = 1;
  record.loPlane = 0;
  record.hiPlane = 3;
  if (record.transparencyPlane == -1) record.transparencyPlane = 3;
  if (record.depth == 16) record.maxValue = 0x8000;
  record.planeMap[0] = 2;
  record.planeMap[2] = 0;
  SetImageRect(record, 0, 0, size.height, size.width);
  record.data = context.decodedPixels;
  // Without decoded pixels (no read start before) there is nothing to hand over.
  if (context.decodedPixels == nullptr) context.Fail(formatCannotRead);
  if (context.Ok()) context.Fail(record.advanceState());
  if (record.progressProc != nullptr) record.progressProc(1, int32_t{record.planes} * size.height);
  record.data = nullptr;
  DisposeBuffer(context, context.decodedPixels);
}

void ReadFinish(HostContext& context) {
  DisposeImageResources(context);
  HandBackEmptyDescriptor(context);
  const std::string text = CtimeText(std::time(nullptr));
  const int32_t length = static_cast<int32_t>(text.size());
  Handle stamp = NewHandle(context, length);
  if (stamp == nullptr) return;
  if (char* bytes = LockHandle(context, stamp)) {
    std::memcpy(bytes, text.data(), text.size());
    AddImageResource(context, kHistoryResource, stamp);
    UnlockHandle(context, stamp);
  }
  DisposeHandle(context, stamp);
}

}  // namespace host
