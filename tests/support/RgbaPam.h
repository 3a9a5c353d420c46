// Reads back the RGBA PAM images the host stand-ins dump for the suites to
// compare against libpng's pixels.
#pragma once

#include <filesystem>

#include "support/Oracles.h"

namespace oracle {

// The RGBA bytes of a PAM as 0xAARRGGBB words.  False when the header lacks
// WIDTH, HEIGHT or ENDHDR, or the pixel bytes are not width * height * 4.
bool ReadRgbaPam(const std::filesystem::path& path, Image& image);

}  // namespace oracle
