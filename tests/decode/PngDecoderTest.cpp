// The PNG decoder on files built for one property each: placement and
// clipping, chunk order, split image data, transparency, palette gaps and the
// inputs it must refuse.  Where libpng can read the file it is the oracle.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "decode/ImageDecode.h"
#include "support/Oracles.h"
#include "tests/decode/PngTestFiles.h"

namespace {

using png_test::PngFile;

constexpr uint32_t kUntouched = 0x5A00A55Au;

struct Frame {
  int width, height, x, y;
};

// Renders into a frame embedded in a larger buffer (a margin of untouched
// pixels all round and a stride wider than the frame) and checks that no
// pixel outside the frame changed.
std::vector<uint32_t> RenderFramed(const std::vector<uint8_t>& bytes, const Frame& f, int& result) {
  constexpr int kMargin = 3;
  const int bufferWidth = f.width + 2 * kMargin;
  std::vector<uint32_t> buffer(static_cast<size_t>(bufferWidth) * (f.height + 2 * kMargin), kUntouched);
  uint32_t* origin = buffer.data() + kMargin * bufferWidth + kMargin;
  result = ImageRender(bytes.data(), bytes.size(), origin, bufferWidth * 4, f.width, f.height, f.x, f.y);
  std::vector<uint32_t> frame;
  for (int row = -kMargin; row < f.height + kMargin; ++row)
    for (int col = -kMargin; col < f.width + kMargin; ++col) {
      const uint32_t pixel = origin[row * bufferWidth + col];
      if (row < 0 || col < 0 || row >= f.height || col >= f.width)
        EXPECT_EQ(pixel, kUntouched) << "written outside the frame at " << col << "," << row;
      else
        frame.push_back(pixel);
    }
  return frame;
}

std::vector<uint8_t> Suite(const char* name) { return oracle::ReadFile(oracle::DataDir() / "pngsuite" / name); }

TEST(PngDecoder, PlacementAndClipping) {
  const Frame frames[] = {{32, 32, 0, 0},  {20, 10, 0, 0},  {20, 10, -5, -3}, {40, 40, 7, 4},
                          {10, 50, -31, -31}, {16, 16, 15, 15}, {8, 8, 32, 0},   {8, 8, -32, 0},
                          {1, 1, -17, -9}};
  for (const char* name : {"basn6a08.png", "basi3p08.png", "basn0g01.png", "basi0g02.png", "basn2c08.png"}) {
    const std::vector<uint8_t> bytes = Suite(name);
    oracle::Image image;
    ASSERT_TRUE(oracle::DecodePng(bytes, image));
    for (const Frame& f : frames) {
      SCOPED_TRACE(testing::Message() << name << " frame " << f.width << "x" << f.height << " at " << f.x << ","
                                      << f.y);
      int result = -2;
      const std::vector<uint32_t> frame = RenderFramed(bytes, f, result);
      ASSERT_EQ(result, 0);
      for (int row = 0; row < f.height; ++row)
        for (int col = 0; col < f.width; ++col) {
          const int ix = col - f.x, iy = row - f.y;
          const bool covered = ix >= 0 && iy >= 0 && ix < image.width && iy < image.height;
          const uint32_t expected = covered ? image.pixels[iy * image.width + ix] : kUntouched;
          ASSERT_EQ(frame[row * f.width + col], expected) << "at " << col << "," << row;
        }
    }
  }
}

// Rows of a width x height 8-bit grey image, filter 0, value = x + 16 y.
std::vector<uint8_t> GreyRows(int width, int height, uint8_t filter = 0) {
  std::vector<uint8_t> rows;
  for (int y = 0; y < height; ++y) {
    rows.push_back(filter);
    for (int x = 0; x < width; ++x) rows.push_back(static_cast<uint8_t>(x + 16 * y));
  }
  return rows;
}

uint32_t Grey(int v) { return 0xFF000000u | static_cast<uint32_t>(v) * 0x010101u; }

TEST(PngDecoder, ChunkOrderAndSplitImageData) {
  const std::vector<uint8_t> rows = GreyRows(5, 4);
  const std::vector<uint8_t> plain = PngFile().Header(5, 4, 8, 0).Image(rows).End().bytes;
  oracle::Image expected;
  ASSERT_TRUE(oracle::DecodePng(plain, expected));

  const std::vector<std::vector<uint8_t>> variants = {
      PngFile().Chunk("tEXt", {'a', 0, 'b'}).Header(5, 4, 8, 0).Image(rows).End().bytes,  // IHDR not first
      PngFile().Header(5, 4, 8, 0).Image(rows, 1).End().bytes,                           // one byte per IDAT
      PngFile().Header(5, 4, 8, 0).Chunk("zzZz", std::vector<uint8_t>(300, 7)).Image(rows, 3).bytes,  // no IEND
  };
  for (const auto& bytes : variants) {
    int width = 0, height = 0;
    ImageGetSize(bytes.data(), bytes.size(), &width, &height);
    EXPECT_EQ(width, 5);
    EXPECT_EQ(height, 4);
    std::vector<uint32_t> frame(20, kUntouched);
    ASSERT_EQ(ImageRender(bytes.data(), bytes.size(), frame.data(), 20, 5, 4, 0, 0), 0);
    EXPECT_EQ(frame, expected.pixels);
  }
}

TEST(PngDecoder, OnePixelInterlacedImage) {
  const std::vector<uint8_t> bytes = PngFile().Header(1, 1, 8, 6, 1).Image({0, 10, 20, 30, 40}).End().bytes;
  uint32_t pixel = kUntouched;
  ASSERT_EQ(ImageRender(bytes.data(), bytes.size(), &pixel, 4, 1, 1, 0, 0), 0);
  EXPECT_EQ(pixel, 0x280A141Eu);
}

TEST(PngDecoder, GreyLevelsAtLowDepths) {
  // 1 bit: 0 and 255; 2 bits: 0, 85, 170, 255.
  const std::vector<uint8_t> oneBit = PngFile().Header(8, 1, 1, 0).Image({0, 0b10110001}).End().bytes;
  std::vector<uint32_t> frame(8);
  ASSERT_EQ(ImageRender(oneBit.data(), oneBit.size(), frame.data(), 32, 8, 1, 0, 0), 0);
  EXPECT_EQ(frame, (std::vector<uint32_t>{Grey(255), Grey(0), Grey(255), Grey(255), Grey(0), Grey(0), Grey(0),
                                          Grey(255)}));
  const std::vector<uint8_t> twoBit = PngFile().Header(4, 1, 2, 0).Image({0, 0b00011011}).End().bytes;
  frame.assign(4, 0);
  ASSERT_EQ(ImageRender(twoBit.data(), twoBit.size(), frame.data(), 16, 4, 1, 0, 0), 0);
  EXPECT_EQ(frame, (std::vector<uint32_t>{Grey(0), Grey(85), Grey(170), Grey(255)}));
}

TEST(PngDecoder, TransparencyAndPaletteGaps) {
  {
    SCOPED_TRACE("shorter tRNS leaves the other entries opaque; indices past PLTE are opaque black");
    const std::vector<uint8_t> bytes = PngFile()
                                           .Header(4, 1, 8, 3)
                                           .Chunk("PLTE", {10, 20, 30, 40, 50, 60, 70, 80, 90})
                                           .Chunk("tRNS", {0x11})
                                           .Image({0, 0, 1, 2, 200})
                                           .End()
                                           .bytes;
    std::vector<uint32_t> frame(4);
    ASSERT_EQ(ImageRender(bytes.data(), bytes.size(), frame.data(), 16, 4, 1, 0, 0), 0);
    EXPECT_EQ(frame, (std::vector<uint32_t>{0x110A141E, 0xFF28323C, 0xFF46505A, 0xFF000000}));
  }
  {
    SCOPED_TRACE("an RGB pixel equal to the tRNS colour turns transparent and keeps its colour");
    const std::vector<uint8_t> bytes = PngFile()
                                           .Header(2, 1, 8, 2)
                                           .Chunk("tRNS", {0, 1, 0, 2, 0, 3})
                                           .Image({0, 1, 2, 3, 1, 2, 4})
                                           .End()
                                           .bytes;
    std::vector<uint32_t> frame(2);
    ASSERT_EQ(ImageRender(bytes.data(), bytes.size(), frame.data(), 8, 2, 1, 0, 0), 0);
    EXPECT_EQ(frame, (std::vector<uint32_t>{0x00010203, 0xFF010204}));
    oracle::Image expected;
    ASSERT_TRUE(oracle::DecodePng(bytes, expected));
    EXPECT_EQ(frame, expected.pixels);
  }
}

TEST(PngDecoder, RefusedInputs) {
  const std::vector<uint8_t> rows = GreyRows(3, 3);
  const std::vector<uint8_t> good = PngFile().Header(3, 3, 8, 0).Image(rows).End().bytes;
  std::vector<uint8_t> wrongSignature = good;
  wrongSignature[3] = 'X';
  std::vector<uint8_t> badFilter = GreyRows(3, 3);
  badFilter[4] = 5;  // second row's filter type
  const std::vector<uint8_t> stream = PngFile::Compressed(rows);
  // The image data stops half way through the zlib stream.
  std::vector<uint8_t> cutIdat = PngFile().Header(3, 3, 8, 0).bytes;
  {
    PngFile half;
    half.bytes.clear();
    half.Chunk("IDAT", std::vector<uint8_t>(stream.begin(), stream.begin() + stream.size() / 2));
    cutIdat.insert(cutIdat.end(), half.bytes.begin(), half.bytes.end());
  }
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"wrong signature", wrongSignature},
      {"no IDAT", PngFile().Header(3, 3, 8, 0).End().bytes},
      {"data ends inside a chunk before IDAT", std::vector<uint8_t>(good.begin(), good.begin() + 20)},
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
      {"compression method 1", [&] {
         std::vector<uint8_t> b = good;
         b[26] = 1;
         return b;
       }()},
      {"interlace method 2", [&] {
         std::vector<uint8_t> b = good;
         b[28] = 2;
         return b;
       }()},
      {"row of 65,536 bytes", PngFile().Header(16384, 1, 8, 6).Image(std::vector<uint8_t>(65537, 0)).End().bytes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint32_t> frame(9, 0);
    EXPECT_EQ(ImageRender(c.bytes.data(), c.bytes.size(), frame.data(), 12, 3, 3, 0, 0), -1);
  }
  // The widest row still accepted: 65,535 bytes with the filter byte.
  const std::vector<uint8_t> widest = PngFile().Header(16383, 1, 8, 6).Image(std::vector<uint8_t>(65533, 0)).End().bytes;
  std::vector<uint32_t> frame(4, kUntouched);
  EXPECT_EQ(ImageRender(widest.data(), widest.size(), frame.data(), 16, 4, 1, 0, 0), 0);
  EXPECT_EQ(frame, std::vector<uint32_t>(4, 0));
}

// Once the last rows the frame can show are drawn, the rest of the data is
// never read: a frame cut above a broken tail still renders.
TEST(PngDecoder, StopsBelowTheFrame) {
  std::vector<uint8_t> rows = GreyRows(4, 6);
  rows[5 * 5] = 9;  // the last row's filter type is invalid
  const std::vector<uint8_t> bytes = PngFile().Header(4, 6, 8, 0).Image(rows).End().bytes;
  std::vector<uint32_t> frame(16, kUntouched);
  EXPECT_EQ(ImageRender(bytes.data(), bytes.size(), frame.data(), 16, 4, 4, 0, 0), 0);
  EXPECT_EQ(frame[15], Grey(3 + 48));
  EXPECT_EQ(ImageRender(bytes.data(), bytes.size(), frame.data(), 16, 4, 4, 0, 1), 0);
  EXPECT_EQ(ImageRender(bytes.data(), bytes.size(), frame.data(), 16, 4, 4, 0, -2), -1);
}

TEST(PngDecoder, ConcurrentRendersDoNotMeet) {
  std::vector<std::vector<uint8_t>> files;
  std::vector<oracle::Image> expected;
  for (const char* name : {"basi6a08.png", "basn3p02.png", "basi0g04.png", "tbrn2c08.png", "basi4a08.png"}) {
    files.push_back(Suite(name));
    expected.emplace_back();
    ASSERT_TRUE(oracle::DecodePng(files.back(), expected.back()));
  }
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round) {
        const size_t i = static_cast<size_t>(round + t) % files.size();
        std::vector<uint32_t> frame(static_cast<size_t>(expected[i].width) * expected[i].height);
        const int result = ImageRender(files[i].data(), files[i].size(), frame.data(), expected[i].width * 4,
                                       expected[i].width, expected[i].height, 0, 0);
        if (result != 0 || frame != expected[i].pixels) ++mismatches[t];
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace
