// Decoding throughput of our PNG decoder against libpng's, on PngSuite, the
// samples and larger generated images (photo-like RGBA, palette, grey,
// interlaced).  libpng is loaded at run time through its simplified API, so
// the benchmark needs the library installed but the build does not link it.
// Both decoders produce the same 32-bit BGRA pixels; the benchmark checks
// that before it times anything.  Prints a table; --write-results writes it
// to bench/results/decode_throughput.txt, --out FILE elsewhere.
//
// Usage: decode_throughput [--write-results | --out FILE]
#include <dlfcn.h>
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ResultsFile.h"
#include "decode/ImageDecode.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct Libpng {
  decltype(&png_image_begin_read_from_memory) beginRead = nullptr;
  decltype(&png_image_finish_read) finishRead = nullptr;
  decltype(&png_image_write_to_memory) writeToMemory = nullptr;
  decltype(&png_image_free) free = nullptr;

  bool Load() {
    void* library = dlopen("libpng16.so.16", RTLD_NOW);
    if (library == nullptr) return false;
    beginRead = reinterpret_cast<decltype(beginRead)>(dlsym(library, "png_image_begin_read_from_memory"));
    finishRead = reinterpret_cast<decltype(finishRead)>(dlsym(library, "png_image_finish_read"));
    writeToMemory = reinterpret_cast<decltype(writeToMemory)>(dlsym(library, "png_image_write_to_memory"));
    free = reinterpret_cast<decltype(free)>(dlsym(library, "png_image_free"));
    return beginRead && finishRead && writeToMemory && free;
  }

  bool Decode(const Bytes& file, std::vector<uint32_t>& pixels) const {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!beginRead(&image, file.data(), file.size())) return false;
    image.format = PNG_FORMAT_BGRA;
    pixels.resize(static_cast<size_t>(image.width) * image.height);
    const bool ok = finishRead(&image, nullptr, pixels.data(), 0, nullptr) != 0;
    free(&image);
    return ok;
  }

  Bytes Encode(const std::vector<uint32_t>& bgra, int width, int height, uint32_t format) const {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    // Convert the 32-bit pixels to the requested layout: grey or colour.
    Bytes samples;
    for (uint32_t p : bgra) {
      if (format == PNG_FORMAT_GRAY) {
        samples.push_back(static_cast<uint8_t>(p >> 8));
      } else {
        samples.insert(samples.end(), {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8),
                                       static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 24)});
      }
    }
    png_alloc_size_t size = 0;
    writeToMemory(&image, nullptr, &size, 0, samples.data(), 0, nullptr);
    Bytes out(size);
    if (!writeToMemory(&image, out.data(), &size, 0, samples.data(), 0, nullptr)) return {};
    out.resize(size);
    return out;
  }
};

std::vector<uint32_t> PhotoLike(int width, int height, bool fewColours) {
  std::mt19937 random(3);
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double v = std::sin(x * 0.013) * std::cos(y * 0.021) + 0.3 * std::sin((x + y) * 0.05);
      uint32_t r = static_cast<uint32_t>(127 + 100 * v + random() % 9);
      uint32_t g = static_cast<uint32_t>(127 + 90 * std::sin(v * 2 + y * 0.001) + random() % 5);
      uint32_t b = static_cast<uint32_t>((x ^ y) & 0xFF);
      uint32_t a = (x / 64 + y / 64) % 5 == 0 ? 128 : 255;
      if (fewColours) {
        r &= 0xC0;
        g &= 0xC0;
        b &= 0x80;
        a = 255;
      }
      pixels[static_cast<size_t>(y) * width + x] = a << 24 | std::min(r, 255u) << 16 | std::min(g, 255u) << 8 | b;
    }
  return pixels;
}

// Interlaces a PNG by re-encoding it with Pillow, which libpng's simplified
// writer cannot do.
Bytes Interlaced(const Bytes& png) {
  const fs::path in = fs::temp_directory_path() / "velkor-bench-in.png";
  const fs::path out = fs::temp_directory_path() / "velkor-bench-out.png";
  std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), static_cast<long>(png.size()));
  const std::string command = "/usr/bin/python3 -c \"from PIL import Image; Image.open('" + in.string() +
                              "').save('" + out.string() + "', interlace=1)\" 2>/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  std::ifstream file(out, std::ios::binary);
  Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  fs::remove(in);
  fs::remove(out);
  return bytes;
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

bool DecodeOurs(const Bytes& file, std::vector<uint32_t>& pixels) {
  int width = 0, height = 0;
  ImageGetSize(file.data(), file.size(), &width, &height);
  pixels.assign(static_cast<size_t>(width) * height, 0);
  return ImageRender(file.data(), file.size(), pixels.data(), width * 4, width, height, 0, 0) == 0;
}

// Best of several rounds, each long enough to time reliably.
template <class Decode>
double SecondsPerDecode(Decode decode) {
  using Clock = std::chrono::steady_clock;
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    int runs = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
      decode();
      ++runs;
      elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < 0.05);
    best = std::min(best, elapsed / runs);
  }
  return best;
}

struct Sample {
  std::string name;
  Bytes bytes;
};

}  // namespace

int main(int argc, char** argv) {
  bench::ResultsFile resultsFile;
  for (int i = 1; i < argc; ++i) {
    if (!resultsFile.TakeOption(argc, argv, i)) {
      std::fprintf(stderr, "usage: decode_throughput [--write-results | --out FILE]\n");
      return 2;
    }
  }
  Libpng libpng;
  if (!libpng.Load()) {
    std::fprintf(stderr, "libpng16.so.16 not found\n");
    return 1;
  }
  std::vector<Sample> samples;
  const fs::path source = VELKOR_SOURCE_DIR;
  Sample suite{"PngSuite (8-bit and below, concatenated timing)", {}};
  std::vector<Bytes> suiteFiles;
  for (const auto& entry : fs::directory_iterator(source / "tests/data/pngsuite")) {
    const std::string name = entry.path().filename().string();
    const std::string stem = entry.path().stem().string();
    if (entry.path().extension() != ".png" || name[0] == 'x' || stem.ends_with("16")) continue;
    suiteFiles.push_back(ReadFile(entry.path()));
  }
  for (const auto& entry : fs::directory_iterator(source / "samples"))
    if (entry.path().extension() == ".png") samples.push_back({entry.path().filename().string(), ReadFile(entry.path())});
  const int w = 2048, h = 1536;
  samples.push_back({"generated RGBA 2048x1536", libpng.Encode(PhotoLike(w, h, false), w, h, PNG_FORMAT_BGRA)});
  samples.push_back({"generated grey 2048x1536", libpng.Encode(PhotoLike(w, h, false), w, h, PNG_FORMAT_GRAY)});
  samples.push_back({"generated few-colour 2048x1536", libpng.Encode(PhotoLike(w, h, true), w, h, PNG_FORMAT_BGRA)});
  const Bytes interlaced = Interlaced(samples[samples.size() - 3].bytes);
  if (!interlaced.empty()) samples.push_back({"generated RGBA 2048x1536 interlaced", interlaced});

  std::ostringstream table;
  table << "file | bytes | ours ms | libpng ms | ours MB/s (pixels) | libpng / ours time ratio\n";
  table << "---|---|---|---|---|---\n";
  auto report = [&](const std::string& name, size_t bytes, size_t pixels, double ours, double theirs) {
    char line[512];
    std::snprintf(line, sizeof line, "%s | %zu | %.3f | %.3f | %.1f | %.2f\n", name.c_str(), bytes, ours * 1e3,
                  theirs * 1e3, pixels * 4 / ours / 1e6, theirs / ours);
    table << line;
  };

  for (const Sample& sample : samples) {
    std::vector<uint32_t> ours, theirs;
    if (!DecodeOurs(sample.bytes, ours) || !libpng.Decode(sample.bytes, theirs) || ours != theirs) {
      std::fprintf(stderr, "%s: the decoders disagree\n", sample.name.c_str());
      return 1;
    }
    const double oursTime = SecondsPerDecode([&] { DecodeOurs(sample.bytes, ours); });
    const double theirsTime = SecondsPerDecode([&] { libpng.Decode(sample.bytes, theirs); });
    report(sample.name, sample.bytes.size(), ours.size(), oursTime, theirsTime);
  }
  size_t suiteBytes = 0, suitePixels = 0;
  for (const Bytes& file : suiteFiles) {
    std::vector<uint32_t> pixels;
    DecodeOurs(file, pixels);
    suiteBytes += file.size();
    suitePixels += pixels.size();
  }
  std::vector<uint32_t> scratch;
  const double oursSuite = SecondsPerDecode([&] {
    for (const Bytes& file : suiteFiles) DecodeOurs(file, scratch);
  });
  const double theirsSuite = SecondsPerDecode([&] {
    for (const Bytes& file : suiteFiles) libpng.Decode(file, scratch);
  });
  report(suite.name, suiteBytes, suitePixels, oursSuite, theirsSuite);

  std::fputs(table.str().c_str(), stdout);
  return resultsFile.Write(table.str(), "decode_throughput.txt") ? 0 : 1;
}
