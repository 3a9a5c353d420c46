#include "common/pngchunks/ExtractChunks.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ChunkTypes.h"
#include "common/pngchunks/GreyLevel.h"
#include "engine/EncodeJob.h"

namespace chunks {
namespace {

constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr size_t kBitDepthOffset = 24;
constexpr size_t kColorTypeOffset = 25;
constexpr size_t kHeaderBytes = 8;  // length and type of a chunk

// Where the walk stands; a kept chunk's group is its position minus one.
enum Position { kBeforeHeader = 0, kAfterHeader = 1, kAfterPalette = 2, kAfterImageData = 3 };

// The types a keep list names.  Matching never changes the list's text.
class KeepMatcher {
 public:
  explicit KeepMatcher(std::string_view list) {
    if (list == "1" || (list.size() == 3 && (list[0] | 0x20) == 'a' && (list[1] | 0x20) == 'l' &&
                        (list[2] | 0x20) == 'l')) {
      m_all = true;
      return;
    }
    size_t start = 0;
    while (start <= list.size()) {
      size_t comma = list.find(',', start);
      if (comma == std::string_view::npos) comma = list.size();
      const std::string_view entry = list.substr(start, comma - start);
      if (entry.size() == 4) m_types.push_back(ReadChunkType(reinterpret_cast<const uint8_t*>(entry.data())));
      start = comma + 1;
    }
  }

  bool Keeps(ChunkType type) const {
    if (m_all) return true;
    for (const ChunkType& entry : m_types) {
      if (entry == type) return true;
    }
    return false;
  }

 private:
  bool m_all = false;
  std::vector<ChunkType> m_types;
};

// The room of the job's palette: what the caller's palette holds, or the
// 256 entries of a full table when it came with no entries.
int PaletteRoom(const EncodeJob& job) {
  if (job.palcount <= 0) return 256;
  return job.palcount < 256 ? job.palcount : 256;
}

void CopyPalette(EncodeJob& job, const uint8_t* data, uint32_t length, int room) {
  const uint32_t entries = length / 3;
  job.palcount = entries < static_cast<uint32_t>(room) ? static_cast<int>(entries) : room;
  for (int i = job.palcount - 1; i >= 0; --i) {
    const uint8_t* rgb = data + 3 * i;
    job.pal[i] = 0xFF000000u | uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | uint32_t{rgb[2]};
  }
}

// Reads a bKGD for the source image: false when the chunk does not fit the
// image (wrong length for the colour type, grey level outside the bit
// depth); else the background is present, and `color` becomes its colour
// 0x00RRGGBB when the chunk gives one.  A palette image's bKGD gives none
// when there is no palette to look in or its index lies beyond the palette's
// entries: `color` then keeps what an earlier bKGD gave, black at first.
bool BackgroundOf(const EncodeJob& job, const uint8_t* data, uint32_t length, int colorType,
                  int bitDepth, uint32_t& color) {
  switch (colorType) {
    case 3:
      if (length != 1) return false;
      if (job.pal != nullptr && data[0] < job.palcount) color = job.pal[data[0]] & 0xFFFFFF;
      return true;
    case 0:
    case 4: {
      uint32_t level = 0;
      if (length != 2 || !GreyLevel(ReadBe16(data), bitDepth, level)) return false;
      color = level * 0x010101u;
      return true;
    }
    case 2:
    case 6:
      // The low bytes of the 16-bit samples, as the options dialogs read an
      // RGB background; a 16-bit image's background is dropped below.
      if (length != 6) return false;
      color = uint32_t{data[1]} << 16 | uint32_t{data[3]} << 8 | uint32_t{data[5]};
      return true;
    default:
      return false;
  }
}

}  // namespace

void ExtractChunks(EncodeJob& job, uint8_t* png, size_t size, const char* keepList,
                   uint8_t& sourceColorType, uint8_t& sourceBitDepth) {
  if (keepList == nullptr || keepList[0] == '\0') return;
  const KeepMatcher matcher(keepList);
  job.chunkpre = job.chunkmid = job.chunkpost = job.chunkcount = 0;
  bool backgroundFound = false;
  uint32_t background = 0;
  int bitDepth = 0;

  if (png != nullptr && size >= sizeof kSignature && std::memcmp(png, kSignature, sizeof kSignature) == 0) {
    // The image header's fields, wherever the walk later finds IHDR.
    sourceBitDepth = size > kBitDepthOffset ? png[kBitDepthOffset] : 0;
    sourceColorType = size > kColorTypeOffset ? png[kColorTypeOffset] : 0;
    bitDepth = sourceBitDepth;
    const int colorType = sourceColorType;
    const int paletteRoom = PaletteRoom(job);
    int position = kBeforeHeader;

    size_t offset = sizeof kSignature;
    while (size - offset >= kHeaderBytes) {
      uint8_t* raw = png + offset;
      const uint32_t length = ReadBe32(raw);
      const uint64_t chunkSize = RawChunkSize(length);
      if (chunkSize > size - offset) break;  // stated length runs past the bytes
      const ChunkType type = ReadChunkType(raw + 4);
      const uint8_t* data = raw + 8;

      if (type == kIHDR) {
        position = kAfterHeader;
      } else if (type == kPLTE) {
        position = kAfterPalette;
        if (colorType == 3 && job.pal != nullptr) CopyPalette(job, data, length, paletteRoom);
      } else if (type == kIDAT) {
        position = kAfterImageData;
      } else if (type != kTRNS && type != kIEND) {
        const int keepPosition = matcher.Keeps(type) ? position : kBeforeHeader;
        if (keepPosition > kBeforeHeader && job.chunks != nullptr &&
            job.chunkcount < kMaxExtractedChunks) {
          if (type == kBKGD) {
            if (BackgroundOf(job, data, length, colorType, bitDepth, background)) backgroundFound = true;
          }
          job.chunks[job.chunkcount] = raw;
          if (keepPosition == kAfterHeader) ++job.chunkmid;
          if (keepPosition <= kAfterPalette) ++job.chunkpost;
          ++job.chunkcount;
        }
      }
      offset += static_cast<size_t>(chunkSize);
    }
  }
  job.bkgd = backgroundFound && bitDepth < 9 ? 0xFF000000u | background : 0;
}

}  // namespace chunks
