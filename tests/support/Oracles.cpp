#include "support/Oracles.h"

#include <png.h>
#include <zlib.h>

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

bool DecodePng(const std::vector<uint8_t>& bytes, Image& out, std::string* error) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  PngReadSource src{&bytes, 0};
  std::vector<uint8_t> rgba;
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    if (error) *error = "libpng rejected the file";
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &src, ReadFromVector);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const int w = static_cast<int>(png_get_image_width(png, info));
  const int h = static_cast<int>(png_get_image_height(png, info));
  rgba.resize(size_t(w) * h * 4);
  rows.resize(h);
  for (int y = 0; y < h; ++y) rows[y] = rgba.data() + size_t(y) * w * 4;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  out.width = w;
  out.height = h;
  out.pixels.resize(size_t(w) * h);
  for (size_t i = 0; i < out.pixels.size(); ++i) {
    const uint8_t* p = &rgba[i * 4];
    out.pixels[i] = (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
  }
  return true;
}

uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size) {
  return uint32_t(adler32_z(adler, data, size));
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

bool InflateIdat(const std::vector<uint8_t>& png, std::vector<uint8_t>& out) {
  std::vector<Chunk> chunks;
  if (!ListChunks(png, chunks)) return false;
  std::vector<uint8_t> zdata;
  for (const Chunk& c : chunks) {
    if (c.type == "IDAT") zdata.insert(zdata.end(), c.data.begin(), c.data.end());
  }
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

}  // namespace oracle
