// velkor-encode-folder INPUT_FOLDER OUTPUT_FOLDER
//
// Encodes every PNG of a folder (in name order) with the engine at the
// write path's default settings, once with strategy 0 and once with
// strategy 1, into OUTPUT_FOLDER/<name>.s0.png and <name>.s1.png.  Files
// the decoder refuses are listed as skipped.  Built for every platform, so
// that the files one build writes can be compared byte for byte with
// another's: the engine must make the same choices everywhere.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "decode/ImageDecode.h"
#include "engine/EncodeJob.h"

namespace fs = std::filesystem;

namespace {

constexpr int kStrategies[] = {0, 1};

// The job the write path builds when no dialog changes it.
EncodeJob DefaultJob(uint32_t* pixels, int width, int height, int strategy) {
  EncodeJob job;
  std::memset(&job, 0, sizeof job);
  job.pixels = pixels;
  job.stride = width * 4;
  job.width = width;
  job.height = height;
  job.filter = -1;
  job.colortype = -1;
  job.bitdepth = -1;
  job.strategy = strategy;
  job.splitthreshold = 256.0;
  return job;
}

bool WriteFile(const fs::path& path, const uint8_t* bytes, int length) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes), length);
  return bool(out);
}

// Encodes one file; false when an encoding failed or could not be written.
bool EncodeFile(const fs::path& input, const fs::path& outputFolder) {
  uint32_t* frame = nullptr;
  int stride = 0, width = 0, height = 0;
  if (ImageLoadFile(input.string().c_str(), &frame, &stride, &width, &height) != 0) {
    std::printf("skipped %s\n", input.filename().string().c_str());
    return true;
  }
  bool ok = true;
  for (int strategy : kStrategies) {
    EncodeJob job = DefaultJob(frame, width, height, strategy);
    const int length = OptimizePng(&job);
    const std::string name = input.stem().string() + ".s" + std::to_string(strategy) + ".png";
    if (length == kEncodeFailed || !WriteFile(outputFolder / name, job.kbuf, length)) {
      std::printf("FAILED %s\n", name.c_str());
      ok = false;
    } else {
      std::printf("wrote %s %d\n", name.c_str(), length);
    }
    FreeEncodeBuffer(job.kbuf);
  }
  ImageFreeFrame(frame);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: velkor-encode-folder INPUT_FOLDER OUTPUT_FOLDER\n");
    return 2;
  }
  const fs::path input = argv[1], output = argv[2];
  std::error_code error;
  fs::create_directories(output, error);
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(input, error)) {
    if (entry.is_regular_file() && entry.path().extension() == ".png") files.push_back(entry.path());
  }
  if (error) {
    std::fprintf(stderr, "cannot list %s\n", argv[1]);
    return 2;
  }
  std::sort(files.begin(), files.end());
  bool ok = true;
  for (const auto& file : files) ok = EncodeFile(file, output) && ok;
  std::fflush(stdout);
  return ok ? 0 : 1;
}
