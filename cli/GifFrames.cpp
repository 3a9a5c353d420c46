#include "cli/GifFrames.h"

#include <cstring>

namespace {

// Skips a chain of sub-blocks (a size byte, that many bytes, ... a zero).
// False when the chain runs past the end.
bool SkipSubBlocks(const uint8_t* data, size_t size, size_t& pos) {
  while (pos < size) {
    const size_t n = data[pos++];
    if (n == 0) return true;
    if (n > size - pos) return false;
    pos += n;
  }
  return false;
}

size_t ColorTableBytes(uint8_t packed) { return (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0; }

}  // namespace

int CountGifFrames(const uint8_t* data, size_t size) {
  if (size < 13 || (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0)) return 0;
  size_t pos = 13 + ColorTableBytes(data[10]);
  int frames = 0;
  while (pos < size) {
    const uint8_t introducer = data[pos++];
    if (introducer == 0x21) {  // extension: label, sub-blocks
      if (pos >= size) break;
      ++pos;
      if (!SkipSubBlocks(data, size, pos)) break;
    } else if (introducer == 0x2C) {  // image: descriptor, colour table, LZW size, sub-blocks
      if (size - pos < 9) break;
      const size_t table = ColorTableBytes(data[pos + 8]);
      ++frames;
      pos += 9;
      if (table > size - pos || size - pos - table < 1) break;
      pos += table + 1;
      if (!SkipSubBlocks(data, size, pos)) break;
    } else {
      break;  // the trailer (0x3B) or something that is not GIF
    }
  }
  return frames;
}
