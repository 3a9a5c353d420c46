#include "testhost/Document.h"

#include <cstdio>
#include <memory>

namespace testhost {

void Document::Allocate(int planeCount) {
  planes.assign(static_cast<size_t>(planeCount),
                std::vector<uint8_t>(static_cast<size_t>(width) * static_cast<size_t>(height), 0));
}

bool WritePam(const Document& document, const std::string& path) {
  struct Closer {
    void operator()(FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<FILE, Closer> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  std::fprintf(file.get(), "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
               static_cast<int>(document.width), static_cast<int>(document.height));
  const size_t count = static_cast<size_t>(document.width) * static_cast<size_t>(document.height);
  std::vector<uint8_t> row;
  row.reserve(count * 4);
  for (size_t i = 0; i < count; ++i) {
    for (int plane = 0; plane < 4; ++plane) {
      const bool present = plane < document.PlaneCount();
      row.push_back(present ? document.planes[static_cast<size_t>(plane)][i] : 255);
    }
  }
  return std::fwrite(row.data(), 1, row.size(), file.get()) == row.size();
}

}  // namespace testhost
