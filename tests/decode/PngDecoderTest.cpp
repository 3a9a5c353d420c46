// The PNG decoder against libpng: every PngSuite image of 8 bits or less
// gives libpng's pixels (expanded to RGBA, tRNS applied) at any placement,
// 16-bit images and broken files are refused without harm.  Then files built
// for one property each: chunk order, split image data, transparency,
// palette gaps and the inputs the decoder must refuse.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "decode/ImageDecode.h"
#include "support/Oracles.h"
#include "tests/decode/PngTestFiles.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using png_test::PngFile;
constexpr uint32_t kUntouched = 0x5A00A55Au;

struct Frame {
  int width, height, x, y;
};

// Renders into a frame embedded in a larger buffer (a margin of untouched
// pixels all round and a stride wider than the frame), checks that no pixel
// outside the frame changed and returns the frame.
std::vector<uint32_t> RenderFramed(const Bytes& bytes, const Frame& f, int& result) {
  constexpr int kMargin = 3;
  const int bufferWidth = f.width + 2 * kMargin;
  std::vector<uint32_t> buffer(static_cast<size_t>(bufferWidth) * (f.height + 2 * kMargin), kUntouched);
  uint32_t* origin = buffer.data() + kMargin * bufferWidth + kMargin;
  result = ImageRender(bytes.data(), bytes.size(), origin, bufferWidth * 4, f.width, f.height, f.x, f.y);
  std::vector<uint32_t> frame;
  for (int row = -kMargin; row < f.height + kMargin; ++row)
    for (int col = -kMargin; col < f.width + kMargin; ++col) {
      const bool inside = row >= 0 && col >= 0 && row < f.height && col < f.width;
      if (inside) frame.push_back(origin[row * bufferWidth + col]);
      else EXPECT_EQ(origin[row * bufferWidth + col], kUntouched) << "written outside the frame at " << col << "," << row;
    }
  return frame;
}

Bytes Suite(const std::string& name) { return oracle::ReadFile(oracle::DataDir() / "pngsuite" / name); }

oracle::Image Libpng(const Bytes& png) {
  oracle::Image image;
  EXPECT_TRUE(oracle::DecodePng(png, image));
  return image;
}

// The frame a correct render of `image` at (f.x, f.y) leaves.
std::vector<uint32_t> Placed(const oracle::Image& image, const Frame& f) {
  std::vector<uint32_t> frame;
  for (int row = 0; row < f.height; ++row)
    for (int col = 0; col < f.width; ++col) {
      const int ix = col - f.x, iy = row - f.y;
      const bool covered = ix >= 0 && iy >= 0 && ix < image.width && iy < image.height;
      frame.push_back(covered ? image.pixels[iy * image.width + ix] : kUntouched);
    }
  return frame;
}

// PngSuite names carry the bit depth in their last two digits; the corrupt
// samples start with "x".  The two whose only fault is a wrong CRC decode to
// their intact pixels, because the decoder does not verify CRCs.
TEST(PngSuite, EveryImageAgainstLibpng) {
  const std::map<std::string, std::string> crcOnly = {{"xcsn0g01.png", "basn0g01.png"}, {"xhdn0g08.png", "basn0g08.png"}};
  int matched = 0, sixteen = 0, refused = 0;
  for (const auto& entry : fs::directory_iterator(oracle::DataDir() / "pngsuite")) {
    const std::string name = entry.path().filename().string(), stem = entry.path().stem().string();
    if (entry.path().extension() != ".png" || name == "PngSuite.png") continue;
    SCOPED_TRACE(name);
    const Bytes bytes = oracle::ReadFile(entry.path());
    int result = -2, width = 0, height = 0;
    if (name[0] == 'x' && !crcOnly.count(name)) {
      RenderFramed(bytes, {64, 64, 0, 0}, result);
      EXPECT_EQ(result, -1);
      ++refused;
    } else if (std::stoi(stem.substr(stem.size() - 2)) == 16) {
      RenderFramed(bytes, {32, 32, 0, 0}, result);
      EXPECT_EQ(result, -1);
      ++sixteen;
    } else {
      const oracle::Image image = Libpng(name[0] == 'x' ? Suite(crcOnly.at(name)) : bytes);
      ImageGetSize(bytes.data(), bytes.size(), &width, &height);
      ASSERT_EQ(width, image.width);
      ASSERT_EQ(height, image.height);
      for (const Frame& f : {Frame{width, height, 0, 0}, {20, 10, -5, -3}, {40, 40, 7, 4}, {10, 50, -31, -31}, {1, 1, -17, -9}}) {
        const std::vector<uint32_t> frame = RenderFramed(bytes, f, result);
        ASSERT_EQ(result, 0);
        ASSERT_EQ(frame, Placed(image, f)) << "frame " << f.width << "x" << f.height << " at " << f.x << "," << f.y;
      }
      ++matched;
    }
  }
  EXPECT_GT(matched, 100);
  EXPECT_GT(sixteen, 20);
  EXPECT_EQ(refused, 12);
}

// Rows of a width x height 8-bit grey image, filter 0, value = x + 16 y.
Bytes GreyRows(int width, int height) {
  Bytes rows;
  for (int y = 0; y < height; ++y) {
    rows.push_back(0);
    for (int x = 0; x < width; ++x) rows.push_back(static_cast<uint8_t>(x + 16 * y));
  }
  return rows;
}

std::vector<uint32_t> Render(const Bytes& bytes, int width, int height, int y = 0, int expectedResult = 0) {
  std::vector<uint32_t> frame(static_cast<size_t>(width) * height, kUntouched);
  EXPECT_EQ(ImageRender(bytes.data(), bytes.size(), frame.data(), width * 4, width, height, 0, y), expectedResult);
  return frame;
}

TEST(PngDecoder, ChunkOrderSplitDataAndTransparency) {
  const Bytes rows = GreyRows(5, 4);
  const std::vector<uint32_t> expected = Libpng(PngFile().Header(5, 4, 8, 0).Image(rows).End().bytes).pixels;
  for (const Bytes& bytes : {PngFile().Chunk("tEXt", {'a', 0, 'b'}).Header(5, 4, 8, 0).Image(rows).End().bytes,  // IHDR not first
                             PngFile().Header(5, 4, 8, 0).Image(rows, 1).End().bytes,  // one byte per IDAT
                             PngFile().Header(5, 4, 8, 0).Chunk("zzZz", Bytes(300, 7)).Image(rows, 3).bytes}) {  // no IEND
    int width = 0, height = 0;
    ImageGetSize(bytes.data(), bytes.size(), &width, &height);
    EXPECT_EQ(width, 5);
    EXPECT_EQ(height, 4);
    EXPECT_EQ(Render(bytes, 5, 4), expected);
  }
  EXPECT_EQ(Render(PngFile().Header(1, 1, 8, 6, 1).Image({0, 10, 20, 30, 40}).End().bytes, 1, 1),
            std::vector<uint32_t>{0x280A141Eu});  // one interlaced pixel
  // A shorter tRNS leaves the other entries opaque; indices past PLTE are opaque black.
  const Bytes palette = PngFile()
                            .Header(4, 1, 8, 3)
                            .Chunk("PLTE", {10, 20, 30, 40, 50, 60, 70, 80, 90})
                            .Chunk("tRNS", {0x11})
                            .Image({0, 0, 1, 2, 200})
                            .End()
                            .bytes;
  EXPECT_EQ(Render(palette, 4, 1), (std::vector<uint32_t>{0x110A141E, 0xFF28323C, 0xFF46505A, 0xFF000000}));
}

TEST(PngDecoder, RefusedInputs) {
  const Bytes rows = GreyRows(3, 3), good = PngFile().Header(3, 3, 8, 0).Image(rows).End().bytes;
  Bytes badFilter = rows, cutIdat = PngFile().Header(3, 3, 8, 0).Image(rows, 8).bytes;
  badFilter[4] = 5;  // second row's filter type
  cutIdat.resize(8 + 25 + 12 + 8);  // only the first 8 bytes of the stream: the file ends after that IDAT
  auto edit = [&](size_t at, uint8_t value) {
    Bytes b = good;
    b[at] = value;
    return b;
  };
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"data ends inside a chunk before IDAT", Bytes(good.begin(), good.begin() + 20)},
      {"IDAT before IHDR", PngFile().Image(rows).Header(3, 3, 8, 0).End().bytes},
      {"two IHDR", PngFile().Header(3, 3, 8, 0).Header(3, 3, 8, 0).Image(rows).End().bytes},
      {"short IHDR", PngFile().Chunk("IHDR", {0, 0, 0, 3, 0, 0, 0, 3, 8, 0, 0, 0}).Image(rows).bytes},
      {"filter type 5", PngFile().Header(3, 3, 8, 0).Image(badFilter).End().bytes},
      {"stream runs past the last IDAT", cutIdat},
      {"stream ends before the last row", PngFile().Header(3, 3, 8, 0).Image(GreyRows(3, 2)).End().bytes},
      {"colour type 2 at depth 4", PngFile().Header(1, 3, 4, 2).Image(rows).End().bytes},
      {"colour type 4 at depth 2", PngFile().Header(1, 3, 2, 4).Image(rows).End().bytes},
      {"colour type 6 at depth 16", PngFile().Header(1, 3, 16, 6).Image(rows).End().bytes},
      {"colour type 5", PngFile().Header(3, 3, 8, 5).Image(rows).End().bytes},
      {"width 0", PngFile().Header(0, 3, 8, 0).Image(rows).End().bytes},
      {"height above 2^31 - 1", PngFile().Header(3, 0x80000000u, 8, 0).Image(rows).End().bytes},
      {"compression method 1", edit(26, 1)},
      {"interlace method 2", edit(28, 2)},
      {"row of 65,536 bytes", PngFile().Header(16384, 1, 8, 6).Image(Bytes(65537, 0)).End().bytes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Render(c.bytes, 3, 3, 0, -1);
  }
  // The widest row still accepted: 65,535 bytes with the filter byte.
  EXPECT_EQ(Render(PngFile().Header(16383, 1, 8, 6).Image(Bytes(65533, 0)).End().bytes, 4, 1), std::vector<uint32_t>(4, 0));
}

// Once the last rows the frame can show are drawn, the rest of the data is
// never read: a frame cut above a broken tail still renders.
TEST(PngDecoder, StopsBelowTheFrame) {
  Bytes rows = GreyRows(4, 6);
  rows[5 * 5] = 9;  // the last row's filter type is invalid
  const Bytes bytes = PngFile().Header(4, 6, 8, 0).Image(rows).End().bytes;
  EXPECT_EQ(Render(bytes, 4, 4)[15], 0xFF333333u);
  Render(bytes, 4, 4, 1);
  Render(bytes, 4, 4, -2, -1);
}

TEST(PngDecoder, ConcurrentRendersDoNotMeet) {
  std::vector<Bytes> files;
  std::vector<oracle::Image> expected;
  for (const char* name : {"basi6a08.png", "basn3p02.png", "basi0g04.png", "tbrn2c08.png", "basi4a08.png"}) {
    files.push_back(Suite(name));
    expected.push_back(Libpng(files.back()));
  }
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round) {
        const oracle::Image& want = expected[(round + t) % files.size()];
        const Bytes& file = files[(round + t) % files.size()];
        std::vector<uint32_t> frame(want.pixels.size());
        if (ImageRender(file.data(), file.size(), frame.data(), want.width * 4, want.width, want.height, 0, 0) != 0 ||
            frame != want.pixels)
          ++mismatches[t];
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace
