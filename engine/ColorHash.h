// Exact-colour to palette-index hash.
//
// 2048 bucket heads and 256 chain links over one bound palette array of 256
// 0xAARRGGBB entries.  A later insert of an equal colour is found first, so
// callers that want the lowest index of duplicates insert from the last entry
// to the first.  Lookups cost one bucket computation and a short chain walk,
// which is why every colour-to-index question in the engine goes through here
// instead of searching the palette.
#pragma once

#include <cstdint>

class ColorHash {
 public:
  static constexpr int kBuckets = 2048;
  static constexpr int kEntries = 256;

  // Binds the palette whose values lookups compare, and empties the hash.
  void Clear(const uint32_t* palette);

  static int Bucket(uint32_t v) {
    // Arithmetic (sign-extending) shifts of the value taken as signed.
    const int32_t s = static_cast<int32_t>(v);
    const uint32_t mixed = static_cast<uint32_t>((s >> 22) ^ (s >> 11)) - v;
    return static_cast<int>(mixed & 0x7FF);
  }

  void Insert(uint32_t v, int index);

  // Index whose palette entry equals v in all 32 bits, or -1.
  int Lookup(uint32_t v) const;

 private:
  const uint32_t* m_palette = nullptr;
  int32_t m_head[kBuckets];
  int32_t m_link[kEntries];
};
