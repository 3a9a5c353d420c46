// Build tool: writes the PiPL and AETE bytes of resources/PluginResources
// into two files, which the Windows resource script then embeds as raw
// resources.  It runs on the build machine, so it is built natively even
// when the module is cross-built.
#include <cstdio>
#include <vector>

#include "resources/PluginResources.h"

namespace {

bool Write(const char* path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: WriteResourceBytes PIPL.bin AETE.bin\n");
    return 2;
  }
  if (!Write(argv[1], resources::BuildPipl()) || !Write(argv[2], resources::BuildAete())) {
    std::fprintf(stderr, "WriteResourceBytes: cannot write the resource files\n");
    return 1;
  }
  return 0;
}
