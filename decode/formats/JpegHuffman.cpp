#include "decode/formats/JpegHuffman.h"

namespace jpeg {

namespace {
constexpr int kFastBits = 9;
}

bool BuildHuffmanTable(const uint8_t counts[16], const uint8_t* symbols, HuffmanTable& table) {
  table = HuffmanTable{};
  int total = 0;
  for (int i = 0; i < 16; ++i) total += counts[i];
  if (total > 256) return false;
  for (int i = 0; i < total; ++i) table.symbols[i] = symbols[i];

  int code = 0;
  int index = 0;
  for (int len = 1; len <= 16; ++len) {
    const int n = counts[len - 1];
    table.valOffset[len] = index - code;
    if (n == 0) {
      table.maxCode[len] = -1;
    } else {
      // The codes of this length must fit in len bits.
      if (code + n > (1 << len)) return false;
      for (int i = 0; i < n; ++i, ++code, ++index) {
        if (len <= kFastBits) {
          const int shift = kFastBits - len;
          const uint16_t entry = static_cast<uint16_t>((len << 8) | table.symbols[index]);
          for (int fill = 0; fill < (1 << shift); ++fill) table.fast[(code << shift) | fill] = entry;
        }
      }
      table.maxCode[len] = code - 1;
    }
    code <<= 1;
  }
  table.maxCode[17] = 0x7FFFFFFF;
  table.defined = true;
  return true;
}

int DecodeSymbol(BitReader& bits, const HuffmanTable& table) {
  const uint16_t entry = table.fast[bits.Peek(kFastBits)];
  if (entry != 0) {
    bits.Consume(entry >> 8);
    return entry & 0xFF;
  }
  const int32_t look = static_cast<int32_t>(bits.Peek(16));
  for (int len = kFastBits + 1; len <= 16; ++len) {
    const int32_t code = look >> (16 - len);
    if (code <= table.maxCode[len]) {
      bits.Consume(len);
      return table.symbols[code + table.valOffset[len]];
    }
  }
  return -1;
}

}  // namespace jpeg
