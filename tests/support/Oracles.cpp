#include "support/Oracles.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

namespace oracle {

namespace {

struct PngReadSource {
  const std::vector<uint8_t>* bytes;
  size_t pos;
};

void ReadFromVector(png_structp png, png_bytep out, png_size_t n) {
  auto* src = static_cast<PngReadSource*>(png_get_io_ptr(png));
  if (src->pos + n > src->bytes->size()) png_error(png, "read past end of data");
  std::memcpy(out, src->bytes->data() + src->pos, n);
  src->pos += n;
}

uint32_t ReadBe32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

}  // namespace

namespace {

// libpng's plain reader (not the simplified API, whose 16-bit format would
// convert the gamma): palette and tRNS expanded, grey to RGB, alpha added,
// interlacing undone; 8 bits a sample (16-bit samples cut to their high
// byte) or 16 in host order.
bool ReadRgba(const std::vector<uint8_t>& bytes, bool sixteen, std::vector<uint8_t>& rgba, int& width, int& height) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  PngReadSource src{&bytes, 0};
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &src, ReadFromVector);
  png_read_info(png, info);
  png_set_expand(png);
  if (sixteen) {
    png_set_expand_16(png);
    png_set_swap(png);  // host order on little-endian machines
  } else {
    png_set_strip_16(png);
  }
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, sixteen ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  width = static_cast<int>(png_get_image_width(png, info));
  height = static_cast<int>(png_get_image_height(png, info));
  const size_t rowBytes = size_t(width) * (sixteen ? 8 : 4);
  rgba.resize(rowBytes * height);
  rows.resize(height);
  for (int y = 0; y < height; ++y) rows[y] = rgba.data() + rowBytes * y;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

bool DecodePng(const std::vector<uint8_t>& bytes, Image& out, std::string* error) {
  std::vector<uint8_t> rgba;
  if (!ReadRgba(bytes, false, rgba, out.width, out.height)) {
    if (error) *error = "libpng rejected the file";
    return false;
  }
  out.pixels.resize(size_t(out.width) * out.height);
  for (size_t i = 0; i < out.pixels.size(); ++i) {
    const uint8_t* p = &rgba[i * 4];
    out.pixels[i] = (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
  }
  return true;
}

bool DecodePng16(const std::vector<uint8_t>& png, std::vector<uint16_t>& rgba, int& width, int& height) {
  std::vector<uint8_t> bytes;
  if (!ReadRgba(png, true, bytes, width, height)) return false;
  rgba.resize(bytes.size() / 2);
  std::memcpy(rgba.data(), bytes.data(), bytes.size());
  return true;
}

uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size) {
  return uint32_t(adler32_z(adler, data, size));
}

std::vector<uint8_t> CompressZlib(const std::vector<uint8_t>& data) {
  uLongf size = compressBound(uLong(data.size()));
  std::vector<uint8_t> out(size);
  if (compress2(out.data(), &size, data.data(), uLong(data.size()), 9) != Z_OK) return {};
  out.resize(size);
  return out;
}

bool InflateZlib(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return false;
  zs.next_in = const_cast<Bytef*>(data);
  zs.avail_in = static_cast<uInt>(size);
  out.clear();
  std::array<uint8_t, 65536> chunk;
  int rc;
  do {
    zs.next_out = chunk.data();
    zs.avail_out = chunk.size();
    rc = inflate(&zs, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) {
      inflateEnd(&zs);
      return false;
    }
    out.insert(out.end(), chunk.data(), chunk.data() + (chunk.size() - zs.avail_out));
  } while (rc != Z_STREAM_END && (zs.avail_in > 0 || zs.avail_out == 0));
  const bool ok = rc == Z_STREAM_END && zs.avail_in == 0;
  inflateEnd(&zs);
  return ok;
}

bool ListChunks(const std::vector<uint8_t>& png, std::vector<Chunk>& out) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  out.clear();
  if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) return false;
  size_t pos = 8;
  while (pos < png.size()) {
    if (png.size() - pos < 12) return false;
    const uint32_t len = ReadBe32(&png[pos]);
    if (len > png.size() - pos - 12) return false;
    const uint32_t crc = ReadBe32(&png[pos + 8 + len]);
    if (crc32(0, &png[pos + 4], len + 4) != crc) return false;
    Chunk c;
    c.type.assign(reinterpret_cast<const char*>(&png[pos + 4]), 4);
    c.data.assign(png.begin() + pos + 8, png.begin() + pos + 8 + len);
    out.push_back(std::move(c));
    pos += 12 + len;
  }
  return true;
}

std::vector<uint8_t> RawChunk(std::string_view type, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out(data.size() + 12);  // sized up front: GCC warns about a range insert here
  const auto put32 = [&out](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  put32(0, static_cast<uint32_t>(data.size()));
  std::copy_n(type.begin(), std::min<size_t>(type.size(), 4), out.begin() + 4);
  std::copy(data.begin(), data.end(), out.begin() + 8);
  put32(8 + data.size(), static_cast<uint32_t>(crc32(0, out.data() + 4, static_cast<uInt>(data.size() + 4))));
  return out;
}

PngFile::PngFile() : bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A} {}

PngFile& PngFile::Chunk(std::string_view type, const std::vector<uint8_t>& data) {
  const std::vector<uint8_t> chunk = RawChunk(type, data);
  bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  return *this;
}

PngFile& PngFile::Header(uint32_t w, uint32_t h, int depth, int colorType, int interlace) {
  return Chunk("IHDR", {uint8_t(w >> 24), uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w), uint8_t(h >> 24), uint8_t(h >> 16),
                        uint8_t(h >> 8), uint8_t(h), uint8_t(depth), uint8_t(colorType), 0, 0, uint8_t(interlace)});
}

PngFile& PngFile::Image(const std::vector<uint8_t>& rows, size_t idatSize) {
  const std::vector<uint8_t> stream = CompressZlib(rows);
  for (size_t at = 0; at < stream.size(); at += idatSize)
    Chunk("IDAT", std::vector<uint8_t>(stream.begin() + long(at), stream.begin() + long(std::min(stream.size(), at + idatSize))));
  return *this;
}

bool InflateIdat(const std::vector<uint8_t>& png, std::vector<uint8_t>& out) {
  std::vector<Chunk> chunks;
  if (!ListChunks(png, chunks)) return false;
  std::vector<uint8_t> zdata;
  for (const Chunk& c : chunks)
    if (c.type == "IDAT") zdata.insert(zdata.end(), c.data.begin(), c.data.end());
  return InflateZlib(zdata.data(), zdata.size(), out);
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

int RunPython(const std::string& script, std::string* out) {
  TempDir dir;
  const auto scriptPath = dir.path() / "script.py";
  const auto outPath = dir.path() / "out.txt";
  WriteFile(scriptPath, std::vector<uint8_t>(script.begin(), script.end()));
  const std::string cmd = std::string(VELKOR_PYTHON) + " '" + scriptPath.string() + "' > '" + outPath.string() + "'";
  const int status = std::system(cmd.c_str());
  if (out) {
    const auto bytes = ReadFile(outPath);
    out->assign(bytes.begin(), bytes.end());
  }
  return status;
}

TempDir::TempDir() {
  std::random_device rd;
  for (;;) {
    m_path = std::filesystem::temp_directory_path() / ("velkor-test-" + std::to_string(rd()));
    if (std::filesystem::create_directory(m_path)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path DataDir() { return VELKOR_CORPUS_DIR; }
std::filesystem::path SourceDir() { return VELKOR_SOURCE_DIR; }

std::vector<std::filesystem::path> PngSuiteFiles(bool readableOnly) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(DataDir() / "pngsuite")) {
    const std::filesystem::path& path = entry.path();
    if (path.extension() != ".png") continue;
    if (readableOnly) {
      if (path.filename().string()[0] == 'x') continue;
      const std::vector<uint8_t> png = ReadFile(path);
      if (png.size() < 25 || png[24] > 8) continue;
    }
    files.push_back(path);
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace oracle
