// The GIF, BMP, TGA and PCX files Pillow writes go through the library's
// public entry: ImageGetSize answers their size and ImageRender draws
// Pillow's pixels, so recognition hands each to its own decoder.
#include <gtest/gtest.h>

#include "FormatTestSupport.h"
#include "decode/ImageDecode.h"

using namespace formats_test;

namespace {

TEST(OtherFormatsRender, PublicEntryRecognisesAndDrawsEachFormat) {
  const std::vector<ReferenceFile> files = MakeReferenceFiles(R"PY(
save('picture.gif', pattern_p(13, 7, 16, 1), transparency=2)
save('picture.bmp', pattern_rgb(13, 7, 2))
save('picture.tga', pattern_rgba(13, 7, 3), compression='tga_rle')
save('picture.pcx', pattern_p(13, 7, 200, 4))
)PY");
  ASSERT_EQ(files.size(), 4u);
  for (const ReferenceFile& file : files) {
    SCOPED_TRACE(file.name);
    int width = -1;
    int height = -1;
    ImageGetSize(file.bytes.data(), file.bytes.size(), &width, &height);
    EXPECT_EQ(width, file.expected.width);
    EXPECT_EQ(height, file.expected.height);
    std::vector<uint32_t> frame(static_cast<size_t>(width) * height, kUntouched);
    EXPECT_EQ(ImageRender(file.bytes.data(), file.bytes.size(), frame.data(), width * 4, width, height, 0, 0), 0);
    EXPECT_EQ(frame, file.expected.pixels);
  }
}

}  // namespace
