// The PNG decoder against libpng: every PngSuite image of 8 bits or less gives libpng's pixels (expanded to
// RGBA, tRNS applied) at any placement, 16-bit images and broken files are refused without harm.  Then files
// built for one property each: chunk order, split image data, transparency, palette gaps, refused inputs.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "FormatTestSupport.h"
#include "decode/ImageDecode.h"

namespace {

namespace fs = std::filesystem;
using namespace formats_test;

oracle::Image Libpng(const Bytes& png) {
  oracle::Image image;
  EXPECT_TRUE(oracle::DecodePng(png, image));
  return image;
}

Bytes Suite(const std::string& name) { return oracle::ReadFile(oracle::DataDir() / "pngsuite" / name); }

// PngSuite names carry the bit depth in their last two digits; the corrupt
// samples start with "x".  The two whose only fault is a wrong CRC decode to
// their intact pixels, because the decoder does not verify CRCs.
TEST(PngSuite, EveryImageAgainstLibpng) {
  const std::map<std::string, std::string> crcOnly = {{"xcsn0g01.png", "basn0g01.png"}, {"xhdn0g08.png", "basn0g08.png"}};
  int matched = 0, sixteen = 0, refused = 0;
  for (const fs::path& path : oracle::PngSuiteFiles()) {
    const std::string name = path.filename().string(), stem = path.stem().string();
    if (name == "PngSuite.png") continue;
    SCOPED_TRACE(name);
    const Bytes bytes = oracle::ReadFile(path);
    if ((name[0] == 'x' && !crcOnly.count(name)) || std::stoi(stem.substr(stem.size() - 2)) == 16) {
      EXPECT_EQ(Render(ThroughImageRender, bytes, 64, 64).result, -1);
      ++(name[0] == 'x' ? refused : sixteen);
    } else {
      const oracle::Image image = Libpng(name[0] == 'x' ? Suite(crcOnly.at(name)) : bytes);
      int width = 0, height = 0;
      ImageGetSize(bytes.data(), bytes.size(), &width, &height);
      ASSERT_EQ(std::pair(width, height), std::pair(image.width, image.height));
      for (const auto& [w, h, x, y] : {std::array{width, height, 0, 0}, {20, 10, -5, -3}, {40, 40, 7, 4}, {10, 50, -31, -31}, {1, 1, -17, -9}}) {
        const Rendered r = Render(ThroughImageRender, bytes, w, h, x, y);
        ASSERT_EQ(r.result, 0);
        ASSERT_TRUE(r.frame == Place(image, w, h, x, y)) << "frame " << w << "x" << h << " at " << x << "," << y;
      }
      ++matched;
    }
  }
  EXPECT_TRUE(matched > 100 && sixteen > 20 && refused == 12) << matched << " " << sixteen << " " << refused;
}

// Rows of a width x height 8-bit grey image, filter 0, value x + 16 y.
Bytes GreyRows(int width, int height) {
  Bytes rows;
  for (int y = 0; y < height; ++y)
    for (int x = -1; x < width; ++x) rows.push_back(x < 0 ? 0 : static_cast<uint8_t>(x + 16 * y));
  return rows;
}

TEST(PngDecoder, ChunkOrderSplitDataAndTransparency) {
  const Bytes rows = GreyRows(5, 4);
  const Pixels grey = Libpng(PngFile().Header(5, 4, 8, 0).Image(rows).End().bytes).pixels;
  // Six rows, the last with an invalid filter type: a frame that ends above it never reads it.
  Bytes broken = GreyRows(4, 6);
  broken[5 * 5] = 9;
  const Bytes stopping = PngFile().Header(4, 6, 8, 0).Image(broken).End().bytes;
  ExpectRenders(ThroughImageRender, {
      {"IHDR not first", PngFile().Chunk("tEXt", {'a', 0, 'b'}).Header(5, 4, 8, 0).Image(rows).End().bytes, 5, 4, 0, grey},
      {"one byte per IDAT", PngFile().Header(5, 4, 8, 0).Image(rows, 1).End().bytes, 5, 4, 0, grey},
      {"no IEND", PngFile().Header(5, 4, 8, 0).Chunk("zzZz", Bytes(300, 7)).Image(rows, 3).bytes, 5, 4, 0, grey},
      // A shorter tRNS leaves the other entries opaque; indices past PLTE are opaque black.
      {"short tRNS, index past PLTE", PngFile().Header(4, 1, 8, 3).Chunk("PLTE", {10, 20, 30, 40, 50, 60, 70, 80, 90})
           .Chunk("tRNS", {0x11}).Image({0, 0, 1, 2, 200}).End().bytes, 4, 1, 0, {0x110A141E, 0xFF28323C, 0xFF46505A, 0xFF000000}},
      {"stops below the frame", stopping, 1, 4, 0, {0xFF000000, 0xFF101010, 0xFF202020, 0xFF303030}},
      {"stops below the frame, one row down", stopping, 1, 4, 0, {kUntouched, 0xFF000000, 0xFF101010, 0xFF202020}, 0, 1},
      {"a frame showing the broken row", stopping, 1, 4, -1, {0xFF202020, 0xFF303030, 0xFF404040, kUntouched}, 0, -2},
      // The widest row still accepted: 65,535 bytes with the filter byte.
      {"row of 65,535 bytes", PngFile().Header(16383, 1, 8, 6).Image(Bytes(65533, 0)).End().bytes, 4, 1, 0, Pixels(4, 0)},
  });
}

TEST(PngDecoder, RefusedInputs) {
  const Bytes rows = GreyRows(3, 3), good = PngFile().Header(3, 3, 8, 0).Image(rows).End().bytes;
  Bytes badFilter = rows, cutIdat = PngFile().Header(3, 3, 8, 0).Image(rows, 8).bytes;
  badFilter[4] = 5;                   // second row's filter type
  cutIdat.resize(8 + 25 + 12 + 8);  // only the first 8 bytes of the stream: the file ends after that IDAT
  // Each header with the 3 x 3 grey rows; rows drawn before a fault stay drawn.
  auto refused = [&](const char* name, Bytes file, Pixels drawn = {}) { return ValueCase{name, file, 3, 3, -1, drawn}; };
  auto header = [&](uint32_t w, uint32_t h, int depth, int type) { return PngFile().Header(w, h, depth, type).Image(rows).End().bytes; };
  const uint32_t u = kUntouched, g0 = 0xFF000000, g1 = 0xFF010101, g2 = 0xFF020202;
  ExpectRenders(ThroughImageRender, {
      refused("data ends inside a chunk before IDAT", Cut(good, 20)), refused("IDAT before IHDR", PngFile().Image(rows).Header(3, 3, 8, 0).End().bytes),
      refused("two IHDR", PngFile().Header(3, 3, 8, 0).Header(3, 3, 8, 0).Image(rows).End().bytes),
      refused("short IHDR", PngFile().Chunk("IHDR", {0, 0, 0, 3, 0, 0, 0, 3, 8, 0, 0, 0}).Image(rows).bytes),
      refused("filter type 5", PngFile().Header(3, 3, 8, 0).Image(badFilter).End().bytes, {g0, g1, g2, u, u, u, u, u, u}),
      refused("stream runs past the last IDAT", cutIdat),
      refused("stream ends before the last row", PngFile().Header(3, 3, 8, 0).Image(GreyRows(3, 2)).End().bytes,
              {g0, g1, g2, 0xFF101010, 0xFF111111, 0xFF121212, u, u, u}),
      refused("colour type 2 at depth 4", header(1, 3, 4, 2)), refused("colour type 4 at depth 2", header(1, 3, 2, 4)),
      refused("colour type 6 at depth 16", header(1, 3, 16, 6)), refused("colour type 5", header(3, 3, 8, 5)),
      refused("width 0", header(0, 3, 8, 0)), refused("height above 2^31 - 1", header(3, 0x80000000u, 8, 0)),
      refused("compression method 1", Edit(good, {{26, 1, 1}})), refused("interlace method 2", Edit(good, {{28, 1, 2}})),
      refused("row of 65,536 bytes", PngFile().Header(16384, 1, 8, 6).Image(Bytes(65537, 0)).End().bytes),
  });
}

// Renders on four threads at once must not meet: the decoder keeps its state per call.
TEST(PngDecoder, ConcurrentRendersDoNotMeet) {
  std::vector<ReferenceFile> files;
  for (const char* name : {"basi6a08.png", "basn3p02.png", "basi0g04.png", "tbrn2c08.png", "basi4a08.png"})
    files.push_back({name, Suite(name), Libpng(Suite(name))});
  std::vector<std::thread> threads;
  for (size_t t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (size_t round = 0; round < 60; ++round) ExpectMatchesReference(ThroughImageRender, files[(round + t) % files.size()]);
    });
  for (auto& thread : threads) thread.join();
}

}  // namespace
