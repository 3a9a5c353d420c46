#include "support/RgbaPam.h"

#include <regex>
#include <string>
#include <vector>

namespace oracle {

bool ReadRgbaPam(const std::filesystem::path& path, Image& image) {
  const std::vector<uint8_t> bytes = ReadFile(path);
  const std::string text(bytes.begin(), bytes.end());
  const size_t end = text.find("ENDHDR\n");
  std::smatch width, height;
  const std::string header = text.substr(0, end);
  if (end == std::string::npos || !std::regex_search(header, width, std::regex("WIDTH (\\d+)")) ||
      !std::regex_search(header, height, std::regex("HEIGHT (\\d+)")))
    return false;
  image.width = std::stoi(width[1]);
  image.height = std::stoi(height[1]);
  const uint8_t* p = bytes.data() + end + 7;
  if (bytes.size() - (end + 7) != size_t(image.width) * size_t(image.height) * 4) return false;
  image.pixels.clear();
  for (size_t i = 0; i < size_t(image.width) * size_t(image.height); ++i, p += 4)
    image.pixels.push_back(uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
  return true;
}

}  // namespace oracle
