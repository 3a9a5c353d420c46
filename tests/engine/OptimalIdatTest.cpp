// The engine entry with the optimal parser after the run: the file decodes
// (libpng) to the image, every chunk's CRC holds, the chunks around the
// image data stay as the run wrote them, and the image data is never larger
// than the run's own.
#include <gtest/gtest.h>

#include "engine/OptimalIdat.h"
#include "EngineRunSupport.h"

namespace {

using namespace enginetest;

struct Case {
  const char* name;
  Image image;
  Options options;
};

Bytes RunWithOptimal(EncodeJob& job, int level) {
  EngineContext ctx;
  const int length = OptimizePngWithOptimalDeflate(ctx, &job, nullptr, level);
  Bytes png;
  if (length != kEncodeFailed && job.kbuf) png.assign(job.kbuf, job.kbuf + length);
  FreeEncodeBuffer(job.kbuf);
  job.kbuf = nullptr;
  return png;
}

TEST(OptimalIdat, KeepsTheImageAndTheChunksAndNeverGrowsTheImageData) {
  const Image photo = MakeImage(96, 64, [](int x, int y) { return Rgb(x * 2 + int(Noise(x, y) % 9), y * 3, 128); });
  const Image icon = MakeImage(40, 40, [](int x, int y) { return (x / 8 + y / 8) % 2 ? Rgb(200, 30, 30) : Grey(250); });
  const Image bits = MakeImage(64, 8, [](int x, int y) { return Grey(((x ^ y) & 1) * 255); });
  Options withBkgd;
  withBkgd.bkgd = 0xFF102030;
  const Case cases[] = {{"true colour", photo, {}}, {"palette with bKGD", icon, withBkgd}, {"one-bit grey", bits, {}}};
  int shrunk = 0;  // the splice must be exercised, not only the fallback
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image image = c.image;
    EncodeJob plainJob = MakeJob(image, c.options);
    const enginetest::RunResult plain = RunJob(plainJob);
    ASSERT_NE(plain.result, kEncodeFailed);
    EncodeJob job = MakeJob(image, c.options);
    const Bytes png = RunWithOptimal(job, 2);
    ASSERT_FALSE(png.empty());
    EXPECT_TRUE(DecodesTo(png, c.image));
    std::vector<oracle::Chunk> chunks;
    ASSERT_TRUE(oracle::ListChunks(png, chunks));
    ASSERT_EQ(ChunkTypes(chunks), ChunkTypes(plain.chunks));
    for (size_t i = 0; i < chunks.size(); ++i) {
      if (chunks[i].type == "IDAT") {
        EXPECT_LE(chunks[i].data.size(), plain.chunks[i].data.size());
        shrunk += chunks[i].data.size() < plain.chunks[i].data.size();
      } else {
        EXPECT_EQ(chunks[i].data, plain.chunks[i].data) << chunks[i].type;
      }
    }
  }
  EXPECT_GE(shrunk, 1);
}

TEST(OptimalIdat, LevelZeroAndAStoredFileAreTheRunsOwn) {
  Image noise = MakeImage(64, 64, [](int x, int y) { return Noise(x, y) | 0xFF000000u; });
  for (int strategy : {0, 4}) {
    Options o;
    o.strategy = strategy;
    EncodeJob plainJob = MakeJob(noise, o);
    const enginetest::RunResult plain = RunJob(plainJob);
    EncodeJob job = MakeJob(noise, o);
    const Bytes png = RunWithOptimal(job, strategy == 4 ? 1 : 0);
    EXPECT_EQ(png, plain.png) << "strategy " << strategy;
  }
}

}  // namespace
