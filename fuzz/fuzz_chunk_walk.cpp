// The chunk walk over arbitrary bytes: ExtractChunks with several keep
// lists, then every kept chunk described, its background read, and the lot
// filed into a ChunkList and flattened.  Nothing may be read outside the
// input, and the flattened block must hold the kept chunks unchanged.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ChunkFuzz.h"
#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ChunkList.h"
#include "common/pngchunks/ExtractChunks.h"
#include "common/pngchunks/PngChunk.h"
#include "engine/EncodeJob.h"
#include "platform/MessageBox.h"

namespace {

using chunk_fuzz::Check;

void DescribeAll(const EncodeJob& job, int colorType, int bitDepth) {
  for (int i = 0; i < job.chunkcount; ++i) {
    chunks::PngChunk chunk(job.chunks[i]);
    char text[256];
    Check(chunk.Describe(text, sizeof text));
    Check(std::strlen(text) < sizeof text);
    chunk.DescribeBackground(text, sizeof text, colorType, bitDepth);
    char tiny[3];
    chunk.Describe(tiny, sizeof tiny);
    uint16_t r, g, b;
    chunk.GetBackgroundColor(colorType, bitDepth, job.palcount, job.pal, r, g, b);
  }
}

void FlattenAll(const EncodeJob& job) {
  chunks::ChunkList list;
  for (const chunks::ChunkRef& ref : chunks::ChunkList::ListFlattened(job)) list.Add(ref.chunk, ref.group);
  chunks::FlatChunks flat;
  Check(list.Flatten(flat));
  Check(flat.chunkcount == static_cast<int>(list.count()));
  uint64_t bytes = 0;
  for (int i = 0; i < flat.chunkcount; ++i) bytes += chunks::ReadBe32(flat.chunks[i]) + 12u;
  Check(bytes == list.total());
  chunk_fuzz::FreeFlattened(flat);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::RecordedMessageBoxes boxes;
  static platform::ScopedMessageBoxSink quiet(boxes);
  // An exactly-sized copy, so that a read past the end is caught.
  std::vector<uint8_t> png(data, data + size);
  for (const char* keep : {"ALL", "1", "gAMA,tEXt,bKGD,tIME", "all,", "vpAg,,iCCP"}) {
    EncodeJob job{};
    std::vector<uint32_t> palette(size % 2 ? 256 : 16, 0);
    job.pal = palette.data();
    job.palcount = static_cast<int>(palette.size() == 256 ? 0 : palette.size());
    std::vector<uint8_t*> array(chunks::kMaxExtractedChunks, nullptr);
    job.chunks = array.data();
    uint8_t colorType = 0, bitDepth = 0;
    chunks::ExtractChunks(job, png.data(), png.size(), keep, colorType, bitDepth);
    Check(0 == job.chunkpre && job.chunkpre <= job.chunkmid && job.chunkmid <= job.chunkpost &&
          job.chunkpost <= job.chunkcount && job.chunkcount <= chunks::kMaxExtractedChunks);
    Check(job.palcount >= 0 && job.palcount <= static_cast<int>(palette.size()));
    DescribeAll(job, colorType, bitDepth);
    FlattenAll(job);
  }
  return 0;
}
