// The output buffer: who allocates it, how big it is, and what a caller
// learns when its buffer is too small.

#include <gtest/gtest.h>

#include <cstring>

#include "EngineRunSupport.h"

namespace {

using namespace spinetest;

Image Noisy(int w, int h) {
  return MakeImage(w, h, [](int x, int y) { return 0xFF000000u | (Noise(x, y) & 0xFFFFFF); });
}

// A smooth image compresses well, so its file is far below the estimate.
Image Smooth(int w, int h) {
  return MakeImage(w, h, [](int x, int y) { return 0xFF000000u | uint32_t(x * 3) << 8 | uint32_t(y * 5); });
}

std::vector<uint8_t> FullFile(Image& img, int strategy) {
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.strategy = strategy;
  return RunJob(job).png;
}

struct EstimateCase {
  const char* name;
  std::function<Image()> image;
  int colortype;
  int64_t expected;  // 2111 + colour-type term, by the published formula
};

TEST(OutputBuffer, EngineSizesItsBufferByTheEstimate) {
  const std::vector<EstimateCase> cases = {
      {"rgba 10x7", [] { return Noisy(10, 7); }, 6, 2111 + (4 * 10 + 6) * 7},
      {"grey+alpha 9x4",
       [] { return MakeImage(9, 4, [](int x, int y) { return uint32_t(x * 20 + y) << 24 | 0x404040u; }); }, 4,
       2111 + (2 * 9 + 6) * 4},
      {"rgb with key 5x5",
       [] {
         return MakeImage(5, 5, [](int x, int y) {
           return x == 0 && y == 0 ? 0x00112233u : 0xFF000000u | (Noise(x, y) & 0xFFFFFF);
         });
       },
       2, 2111 + (3 * 5 + 6) * 5 + 18},
      {"grey 1-bit with key 11x3",
       [] {
         return MakeImage(11, 3, [](int x, int y) {
           // Opaque black and a transparent white key: levels 0 and 255.
           return (x + y) % 2 ? 0x00FFFFFFu : 0xFF000000u;
         });
       },
       0, 2111 + ((11 * 1 + 7) / 8 + 6) * 3 + 14},
      {"palette of 3 at 2 bits, 13x2",
       [] { return MakeImage(13, 2, [](int x, int) { return 0xFF000000u | uint32_t(x % 3) * 0x123456u; }); }, 3,
       2111 + 24 + 4 * 3 + ((13 * 2 + 7) / 8 + 6) * 2},
  };
  for (const EstimateCase& c : cases) {
    Image img = c.image();
    EncodeJob job = DefaultJob(img);
    job.colortype = c.colortype;
    Recorder& r = TheRecorder();
    r.pieces.clear();
    const int result = OptimizePng(&job);
    ASSERT_NE(result, kEncodeFailed) << c.name << r.Text();
    EXPECT_EQ(job.kbufsize, c.expected) << c.name;
    FreeEncodeBuffer(job.kbuf);
  }
}

TEST(OutputBuffer, KeptChunksCountTowardTheEstimate) {
  Image img = Noisy(4, 4);
  std::vector<uint8_t> text = RawChunk("tEXt", std::vector<uint8_t>(100, 'a'));
  std::vector<uint8_t> time = RawChunk("tIME", std::vector<uint8_t>(7, 1));
  uint8_t* chunks[] = {text.data(), time.data()};
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.chunks = chunks;
  job.chunkpre = 0;
  job.chunkmid = 1;
  job.chunkpost = 1;
  job.chunkcount = 2;
  ASSERT_NE(OptimizePng(&job), kEncodeFailed);
  EXPECT_EQ(job.kbufsize, 2111 + 112 + 19 + (4 * 4 + 6) * 4);
  FreeEncodeBuffer(job.kbuf);
}

TEST(OutputBuffer, RequestedSizeAboveTheEstimateIsCapped) {
  Image img = Noisy(6, 6);
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.kbufsize = 1 << 20;
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed);
  EXPECT_EQ(job.kbufsize, 2111 + (4 * 6 + 6) * 6);
}

TEST(OutputBuffer, LargeCallerBufferIsUsedInPlace) {
  Image img = Smooth(20, 20);
  const std::vector<uint8_t> full = FullFile(img, 0);
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.kbufsize = 1 << 20;
  job.kbuf = static_cast<uint8_t*>(std::malloc(size_t(job.kbufsize)));
  uint8_t* const given = job.kbuf;
  const int result = OptimizePng(&job);
  EXPECT_EQ(job.kbuf, given);
  EXPECT_EQ(job.kbufsize, 2111 + (4 * 20 + 6) * 20);
  ASSERT_EQ(result, int(full.size()));
  EXPECT_EQ(std::memcmp(job.kbuf, full.data(), full.size()), 0);
  FreeEncodeBuffer(job.kbuf);
}

TEST(OutputBuffer, SmallCallerBufferGetsThePrefixAndTheFullLength) {
  Image img = Smooth(20, 20);
  const std::vector<uint8_t> full = FullFile(img, 0);
  ASSERT_GT(full.size(), 80u);
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.kbufsize = 48;
  job.kbuf = static_cast<uint8_t*>(std::malloc(80));
  std::memset(job.kbuf, 0xCD, 80);
  uint8_t* const given = job.kbuf;
  const int result = OptimizePng(&job);
  EXPECT_EQ(result, int(full.size()));
  EXPECT_EQ(job.kbuf, given);
  EXPECT_EQ(job.kbufsize, 48);
  EXPECT_EQ(std::memcmp(job.kbuf, full.data(), 48), 0);
  for (int i = 48; i < 80; ++i) EXPECT_EQ(job.kbuf[i], 0xCD) << "byte " << i << " written past kbufsize";
  FreeEncodeBuffer(job.kbuf);
}

TEST(OutputBuffer, SmallRequestedSizeWithoutBufferAllocatesThatSize) {
  Image img = Smooth(20, 20);
  const std::vector<uint8_t> full = FullFile(img, 0);
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.kbufsize = 50;
  RunResult run = RunJob(job);
  EXPECT_EQ(run.result, int(full.size()));
  EXPECT_EQ(job.kbufsize, 50);
  ASSERT_EQ(run.png.size(), 50u);
  EXPECT_TRUE(std::equal(run.png.begin(), run.png.end(), full.begin()));
}

TEST(OutputBuffer, StoredFileReplacesASmallCallerBuffer) {
  Image img = Noisy(9, 9);
  const std::vector<uint8_t> full = FullFile(img, 4);
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.strategy = 4;
  job.kbufsize = 40;
  job.kbuf = static_cast<uint8_t*>(std::malloc(40));
  RunResult run = RunJob(job);
  EXPECT_EQ(run.result, int(full.size()));
  EXPECT_EQ(run.png, full);
}

TEST(OutputBuffer, StoredFileBufferHasTheEstimateSize) {
  Image img = Noisy(9, 9);
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.strategy = 4;
  job.kbufsize = 40;
  job.kbuf = static_cast<uint8_t*>(std::malloc(40));
  const int result = OptimizePng(&job);
  ASSERT_NE(result, kEncodeFailed);
  EXPECT_EQ(job.kbufsize, 2111 + (4 * 9 + 6) * 9);
  Image decoded;
  ASSERT_TRUE(oracle::DecodePng(std::vector<uint8_t>(job.kbuf, job.kbuf + result), decoded));
  EXPECT_TRUE(decoded == img);
  FreeEncodeBuffer(job.kbuf);
}

TEST(OutputBuffer, CompressedFileBeyondTheEstimateFallsBackToStored) {
  // Hundreds of tiny blocks, each with its own code description, cost far
  // more than the stored rows.
  Image img = Noisy(16, 16);
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.filter = 0;
  job.numblocks = 1024;
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed) << TheRecorder().Text();
  std::vector<oracle::Chunk> chunks;
  ASSERT_TRUE(oracle::ListChunks(run.png, chunks));
  const oracle::Chunk* idat = FindChunk(chunks, "IDAT");
  ASSERT_NE(idat, nullptr);
  EXPECT_EQ(idat->data[0], 0x78);
  EXPECT_EQ(idat->data[1], 0x01);
  char line[64];
  snprintf(line, sizeof line, "Out:%8d bytes (stored)", run.result);
  EXPECT_EQ(TheRecorder().pieces.back(), line);
  // The compressed passes reported their sizes before the stored one.
  int compressedLines = 0;
  for (const std::string& p : TheRecorder().pieces) compressedLines += p.rfind("Out:", 0) == 0 && p.find("stored") == std::string::npos;
  EXPECT_GE(compressedLines, 1);
  Image decoded;
  ASSERT_TRUE(oracle::DecodePng(run.png, decoded));
  EXPECT_TRUE(decoded == img);
}

}  // namespace
