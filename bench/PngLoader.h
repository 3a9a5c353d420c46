// The benchmark's own PNG reader: libpng decodes an input file into the
// engine's pixel layout (0xAARRGGBB words, rows packed), expanding every
// colour type to 8-bit RGBA.  Benchmarks may use libpng; the product may not.
// Also the benchmarks' way of listing the PNG files of a folder.
#pragma once

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> words;
};

inline bool LoadPng(const std::string& path, Pixels& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_BGRA;  // bytes B, G, R, A in memory: 0xAARRGGBB words
  out.width = int(image.width);
  out.height = int(image.height);
  out.words.assign(size_t(image.width) * image.height, 0);
  if (!png_image_finish_read(&image, nullptr, out.words.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  return true;
}

// The .png files directly in a folder, sorted, so that tables list files in
// the same order on every machine.
inline std::vector<std::filesystem::path> PngFilesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".png") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace bench
