// Independent oracles for the test suites: libpng decodes our files, zlib
// inflates our streams, Pillow (through /usr/bin/python3) reads and writes
// other formats.  None of them shares code with the product.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace oracle {

// An image as 0xAARRGGBB words, rows packed (stride = width * 4).
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  bool operator==(const Image&) const = default;
};

// Decodes a PNG with libpng, expanded to 8-bit RGBA with tRNS applied
// (16-bit samples are cut to their high byte).  False with a reason on error.
bool DecodePng(const std::vector<uint8_t>& png, Image& out, std::string* error = nullptr);

// Every sample of a PNG at 16 bits per channel, RGBA (palette and tRNS
// expanded, grey to RGB, alpha added, 8-bit samples scaled by 257).
bool DecodePng16(const std::vector<uint8_t>& png, std::vector<uint16_t>& rgba, int& width, int& height);

// zlib's Adler-32 of size bytes, continuing from adler.
uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size);

// Inflates a zlib stream with zlib.  False on any error or trailing garbage.
bool InflateZlib(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

// The bytes as a zlib stream made by zlib at level 9.
std::vector<uint8_t> CompressZlib(const std::vector<uint8_t>& data);

// The chunks of a PNG file in order: type and data.  Verifies every CRC;
// false when a CRC is wrong or the structure is broken.
struct Chunk {
  std::string type;
  std::vector<uint8_t> data;
};
bool ListChunks(const std::vector<uint8_t>& png, std::vector<Chunk>& out);

// A chunk record: length, type, data and zlib's CRC-32 of type and data.
std::vector<uint8_t> RawChunk(std::string_view type, const std::vector<uint8_t>& data);

// A PNG built chunk by chunk with zlib's CRCs; Image() compresses filtered
// rows with zlib over IDAT chunks of at most idatSize bytes.
struct PngFile {
  PngFile();  // the signature (out of line: GCC 12 misreads an inline initialiser list here)
  PngFile& Chunk(std::string_view type, const std::vector<uint8_t>& data);
  PngFile& Header(uint32_t width, uint32_t height, int depth, int colorType, int interlace = 0);
  PngFile& Image(const std::vector<uint8_t>& rows, size_t idatSize = 1 << 20);
  PngFile& End() { return Chunk("IEND", {}); }
  std::vector<uint8_t> bytes;
};

// Concatenated IDAT data of a PNG, inflated with zlib.
bool InflateIdat(const std::vector<uint8_t>& png, std::vector<uint8_t>& out);

std::vector<uint8_t> ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// Runs /usr/bin/python3 with a script; returns its exit status, stdout in out.
int RunPython(const std::string& script, std::string* out = nullptr);

// A fresh folder under the system temp dir, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

// Folder of the bundled test data (PngSuite) and of the project sources.
std::filesystem::path DataDir();
std::filesystem::path SourceDir();

// The PngSuite files in name order; `readableOnly` keeps those a sound
// reader opens at 8 bits or less (no "x" prefix, bit depth byte <= 8).
std::vector<std::filesystem::path> PngSuiteFiles(bool readableOnly = false);

}  // namespace oracle
