// JPEG decoding checked against libjpeg-turbo: Pillow writes the test files
// (baseline, progressive, each chroma subsampling, grey) and decodes them,
// and our pixels must stay within 2 of its pixels in every channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "decode/DecodeFrame.h"
#include "support/Oracles.h"

namespace {

struct Decoded {
  int status = -1;
  std::vector<uint32_t> pixels;
};

Decoded Render(const std::vector<uint8_t>& file, int width, int height) {
  Decoded d;
  d.pixels.assign(static_cast<size_t>(width) * height, 0x12345678u);
  const DecodeFrame frame{d.pixels.data(), width * 4, width, height, 0, 0};
  d.status = RenderJpeg(file.data(), file.size(), frame);
  return d;
}

// A picture with smooth gradients, hard edges and noise, so that every
// coefficient band and the chroma filter have something to do.
const char* kPictureScript = R"(
import random
from PIL import Image
def picture(w, h, seed):
    rnd = random.Random(seed)
    img = Image.new('RGB', (w, h))
    px = img.load()
    for y in range(h):
        for x in range(w):
            r = (x * 255) // max(1, w - 1)
            g = (y * 255) // max(1, h - 1)
            b = 255 if ((x // 5) + (y // 7)) % 2 else 30
            n = rnd.randint(-20, 20)
            px[x, y] = (max(0, min(255, r + n)), max(0, min(255, g - n)), b)
    return img
)";

struct ReferenceFile {
  std::vector<uint8_t> jpeg;
  std::vector<uint8_t> rgb;  // libjpeg's decode, 3 bytes a pixel
};

// Runs `save` (Python statements that write `path`) after building `img`,
// then has Pillow decode the file to raw RGB.
ReferenceFile MakeReference(const std::string& save, int width, int height) {
  oracle::TempDir dir;
  const std::string jpegPath = (dir.path() / "t.jpg").string();
  const std::string rgbPath = (dir.path() / "t.rgb").string();
  const std::string script = std::string(kPictureScript) + "img = picture(" + std::to_string(width) + ", " +
                             std::to_string(height) + ", 7)\npath = '" + jpegPath + "'\n" + save +
                             "\nopen('" + rgbPath + "', 'wb').write(Image.open(path).convert('RGB').tobytes())\n";
  ReferenceFile ref;
  if (oracle::RunPython(script) != 0) return ref;
  ref.jpeg = oracle::ReadFile(jpegPath);
  ref.rgb = oracle::ReadFile(rgbPath);
  return ref;
}

// The largest channel difference between our decode and libjpeg's.
int LargestDifference(const std::vector<uint32_t>& ours, const std::vector<uint8_t>& rgb) {
  int largest = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    EXPECT_EQ(ours[i] >> 24, 0xFFu) << "pixel " << i;
    for (int c = 0; c < 3; ++c) {
      const int mine = static_cast<int>((ours[i] >> (16 - 8 * c)) & 0xFF);
      largest = std::max(largest, std::abs(mine - rgb[3 * i + c]));
    }
  }
  return largest;
}

struct PillowCase {
  const char* name;
  int width;
  int height;
  const char* save;  // Python that writes img (or a variant of it) to path
};

const PillowCase kPillowCases[] = {
    {"baseline444", 67, 45, "img.save(path, 'JPEG', quality=90, subsampling=0)"},
    {"baseline422", 67, 45, "img.save(path, 'JPEG', quality=90, subsampling=1)"},
    {"baseline420", 67, 45, "img.save(path, 'JPEG', quality=90, subsampling=2)"},
    {"baseline420Coarse", 80, 64, "img.save(path, 'JPEG', quality=8, subsampling=2)"},
    {"baseline420Fine", 33, 17, "img.save(path, 'JPEG', quality=100, subsampling=2)"},
    {"progressive444", 67, 45, "img.save(path, 'JPEG', quality=85, subsampling=0, progressive=True)"},
    {"progressive422", 67, 45, "img.save(path, 'JPEG', quality=85, subsampling=1, progressive=True)"},
    {"progressive420", 129, 71, "img.save(path, 'JPEG', quality=75, subsampling=2, progressive=True)"},
    {"optimizedHuffman", 50, 50, "img.save(path, 'JPEG', quality=80, optimize=True)"},
    {"grey", 61, 39, "img.convert('L').save(path, 'JPEG', quality=90)"},
    {"greyProgressive", 61, 39, "img.convert('L').save(path, 'JPEG', quality=90, progressive=True)"},
    {"onePixel", 1, 1, "img.save(path, 'JPEG', quality=90, subsampling=2)"},
    {"narrow420", 2, 9, "img.save(path, 'JPEG', quality=90, subsampling=2)"},
    {"wide422", 300, 3, "img.save(path, 'JPEG', quality=70, subsampling=1)"},
    {"cmykAdobe", 40, 30, "img.convert('CMYK').save(path, 'JPEG', quality=95)"},
};

class PillowJpeg : public ::testing::TestWithParam<PillowCase> {};

TEST_P(PillowJpeg, MatchesLibjpegWithinTwo) {
  const PillowCase& c = GetParam();
  const ReferenceFile ref = MakeReference(c.save, c.width, c.height);
  ASSERT_FALSE(ref.jpeg.empty());
  ASSERT_EQ(ref.rgb.size(), static_cast<size_t>(c.width) * c.height * 3);
  const Decoded d = Render(ref.jpeg, c.width, c.height);
  ASSERT_EQ(d.status, 0);
  const int largest = LargestDifference(d.pixels, ref.rgb);
  RecordProperty("largest_difference", largest);
  std::printf("[ %s ] largest difference from libjpeg: %d\n", c.name, largest);
  EXPECT_LE(largest, 2);
}

INSTANTIATE_TEST_SUITE_P(Files, PillowJpeg, ::testing::ValuesIn(kPillowCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
