// Builds small PNG files for the decoder tests: chunks in any order with
// correct CRCs, image data compressed by zlib (the oracle's compressor, not
// ours) and split over as many IDAT chunks as a test asks for.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace png_test {

struct PngFile {
  PngFile() : bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A} {}
  std::vector<uint8_t> bytes;

  static void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
  }
  PngFile& Chunk(const std::string& type, const std::vector<uint8_t>& data) {
    Put32(bytes, static_cast<uint32_t>(data.size()));
    const size_t typeAt = bytes.size();
    bytes.insert(bytes.end(), type.begin(), type.end());
    bytes.insert(bytes.end(), data.begin(), data.end());
    Put32(bytes, static_cast<uint32_t>(crc32(0, bytes.data() + typeAt, static_cast<uInt>(4 + data.size()))));
    return *this;
  }
  PngFile& Header(uint32_t width, uint32_t height, int depth, int colorType, int interlace = 0) {
    std::vector<uint8_t> data;
    Put32(data, width), Put32(data, height);
    data.insert(data.end(), {uint8_t(depth), uint8_t(colorType), 0, 0, uint8_t(interlace)});
    return Chunk("IHDR", data);
  }
  // Compresses the filtered rows and spreads the stream over IDAT chunks of
  // at most idatSize bytes.
  PngFile& Image(const std::vector<uint8_t>& rows, size_t idatSize = 1 << 20) {
    uLongf size = compressBound(rows.size());
    std::vector<uint8_t> stream(size);
    compress2(stream.data(), &size, rows.data(), rows.size(), 9);
    for (size_t at = 0; at < size; at += idatSize)
      Chunk("IDAT", std::vector<uint8_t>(stream.begin() + at, stream.begin() + std::min<size_t>(size, at + idatSize)));
    return *this;
  }
  PngFile& End() { return Chunk("IEND", {}); }
};

}  // namespace png_test
