// Builds small PNG files for the decoder tests: chunks in any order with
// correct CRCs, image data compressed by zlib (the oracle's compressor, not
// ours) and split over as many IDAT chunks as a test asks for.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace png_test {

inline void PutBigEndian32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

class PngFile {
 public:
  PngFile() { bytes = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}; }

  PngFile& Chunk(const std::string& type, const std::vector<uint8_t>& data) {
    PutBigEndian32(bytes, static_cast<uint32_t>(data.size()));
    const size_t typeAt = bytes.size();
    bytes.insert(bytes.end(), type.begin(), type.end());
    bytes.insert(bytes.end(), data.begin(), data.end());
    const uLong crc = crc32(0, bytes.data() + typeAt, static_cast<uInt>(4 + data.size()));
    PutBigEndian32(bytes, static_cast<uint32_t>(crc));
    return *this;
  }

  PngFile& Header(uint32_t width, uint32_t height, int depth, int colorType, int interlace = 0) {
    std::vector<uint8_t> data;
    PutBigEndian32(data, width);
    PutBigEndian32(data, height);
    data.insert(data.end(), {static_cast<uint8_t>(depth), static_cast<uint8_t>(colorType), 0, 0,
                             static_cast<uint8_t>(interlace)});
    return Chunk("IHDR", data);
  }

  // Compresses the filtered rows and spreads the stream over IDAT chunks of
  // at most idatSize bytes.
  PngFile& Image(const std::vector<uint8_t>& rows, size_t idatSize = 1 << 20) {
    std::vector<uint8_t> stream = Compressed(rows);
    for (size_t at = 0; at < stream.size(); at += idatSize)
      Chunk("IDAT", std::vector<uint8_t>(stream.begin() + at, stream.begin() + std::min(stream.size(), at + idatSize)));
    return *this;
  }

  PngFile& End() { return Chunk("IEND", {}); }

  static std::vector<uint8_t> Compressed(const std::vector<uint8_t>& rows) {
    uLongf size = compressBound(rows.size());
    std::vector<uint8_t> stream(size);
    compress2(stream.data(), &size, rows.data(), rows.size(), 9);
    stream.resize(size);
    return stream;
  }

  std::vector<uint8_t> bytes;
};

}  // namespace png_test
