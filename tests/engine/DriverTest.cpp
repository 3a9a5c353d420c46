// The driver's contract with its callers: the analysis report and results,
// the analysis-only checkpoint, aborts, the failure messages, and one run at
// a time through OptimizePng while independent contexts run side by side.

#include <gtest/gtest.h>

#include <thread>

#include "EngineRunSupport.h"
#include "engine/EngineContext.h"

namespace {

using namespace spinetest;

Image TwoColours() {
  return MakeImage(12, 5, [](int x, int y) { return (x + y) % 3 ? 0xFF203040u : 0xFFFFFFFFu; });
}

TEST(Driver, ReportsTheChoiceAndPublishesIt) {
  Image img = TwoColours();
  EncodeJob job = DefaultJob(img);
  job.bkgd = 0xFF123456;
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed);
  const auto& p = TheRecorder().pieces;
  ASSERT_GE(p.size(), 2u);
  EXPECT_EQ(p[0], " /c3 /f0");
  EXPECT_EQ(p[1], " /d2, 3 colors");  // two colours and the background
  EXPECT_EQ(job.outcolortype, 3);
  EXPECT_EQ(job.outbitdepth, 2);
  EXPECT_EQ(job.outfilter, 0);
  EXPECT_EQ(job.outpalcount, 2);
  ASSERT_NE(job.outpal, nullptr);
  EXPECT_EQ(job.outpal[0], 0xFF203040u);  // the more used colour first
  EXPECT_EQ(job.outpal[1], 0xFFFFFFFFu);
}

TEST(Driver, AnalysisOnlyStopsAtCheckpointTwo) {
  Image img = MakeImage(30, 30, [](int x, int y) { return 0xFF000000u | 0x010101u * uint32_t((x * 7 + y) & 0xFF); });
  EncodeJob job = DefaultJob(img);
  TheRecorder() = Recorder{};
  TheRecorder().answer = [](int code) { return code == 2 ? 1 : 0; };
  const int result = OptimizePng(&job);
  TheRecorder().answer = nullptr;
  EXPECT_EQ(result, kEncodeFailed);
  EXPECT_EQ(job.kbuf, nullptr);
  EXPECT_EQ(job.kbufsize, 0);
  EXPECT_EQ(job.outcolortype, 0);
  EXPECT_EQ(job.outbitdepth, 8);
  EXPECT_EQ(job.outfilter, 5);
  EXPECT_EQ(job.outpalcount, 256);
  EXPECT_EQ(TheRecorder().pieces.back(), " /d8");
  EXPECT_EQ(TheRecorder().PollCount(2), 1);
  EXPECT_EQ(TheRecorder().PollCount(0), 0);
}

TEST(Driver, ColourTypeSixSkipsTheAnalysisAndNeverWritesTransparencyChunks) {
  Image img = MakeImage(6, 6, [](int x, int) { return x == 0 ? 0x00000000u : 0xFF808080u; });
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed);
  // No analysis scan: the only poll(1) calls are one per row of the split
  // pre-pass and of each pass, and the split analysis's first.
  EXPECT_EQ(TheRecorder().PollCount(1), 6 * (job.pass + 1) + 1);
  std::vector<oracle::Chunk> chunks;
  ASSERT_TRUE(oracle::ListChunks(run.png, chunks));
  EXPECT_EQ(ChunkTypes(chunks), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  EXPECT_EQ(chunks[0].data[9], 6);
}

TEST(Driver, AbortDuringAPassFailsWithoutAMessageAndLeavesTheBuffer) {
  Image img = MakeImage(10, 10, [](int x, int y) { return Noise(x, y); });
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  int rows = 0;
  TheRecorder().answer = [&rows](int code) { return code == 1 && ++rows == 25 ? 1 : 0; };
  Recorder& r = TheRecorder();
  r.pieces.clear();
  const int result = OptimizePng(&job);
  r.answer = nullptr;
  EXPECT_EQ(rows, 25);
  EXPECT_EQ(result, kEncodeFailed);
  EXPECT_NE(job.kbuf, nullptr);  // still the caller's to release
  const std::string last = r.pieces.back();
  EXPECT_TRUE(last == "\r" || last.find("% \r") != std::string::npos) << last;
  FreeEncodeBuffer(job.kbuf);
}

TEST(Driver, AbortDuringTheSplitAnalysisFails) {
  // 300 rows of the pre-pass, then the analysis asks poll(1) first thing.
  Image img = MakeImage(300, 300, [](int x, int y) { return Noise(x, y); });
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  int rowsSeen = 0;
  int passAtStop = -2;
  TheRecorder() = Recorder{};
  TheRecorder().answer = [&](int code) {
    if (code != 1 || ++rowsSeen <= 300) return 0;
    passAtStop = job.pass;
    return 1;
  };
  const int result = OptimizePng(&job);
  TheRecorder().answer = nullptr;
  EXPECT_EQ(result, kEncodeFailed);
  EXPECT_EQ(rowsSeen, 301);
  EXPECT_EQ(passAtStop, 0);
  EXPECT_EQ(TheRecorder().Text().find("Out:"), std::string::npos);
  FreeEncodeBuffer(job.kbuf);
}

TEST(Driver, UnsupportedColourTypesFailWhenThePassStarts) {
  Image img = MakeImage(4, 4, [](int x, int y) { return Noise(x, y); });
  for (int colortype : {1, 5, 7}) {
    for (int strategy : {0, 4}) {
      EncodeJob job = DefaultJob(img);
      job.colortype = colortype;
      job.strategy = strategy;
      RunResult run = RunJob(job);
      EXPECT_EQ(run.result, kEncodeFailed);
      char expected[64];
      snprintf(expected, sizeof expected, "\rPNG color type %d not supported\n", colortype);
      ASSERT_FALSE(TheRecorder().pieces.empty());
      EXPECT_EQ(TheRecorder().pieces.back(), expected) << "strategy " << strategy;
      EXPECT_EQ(TheRecorder().Text().find("Out:"), std::string::npos);
    }
  }
}

TEST(Driver, AnalysisFailuresAreTheLastMessage) {
  struct Case {
    int colortype, bitdepth;
    uint32_t bkgd;
    const char* last;
  };
  Image colourful = MakeImage(20, 20, [](int x, int y) { return 0xFF000000u | (Noise(x, y) & 0xFFFFFF); });
  const std::vector<Case> cases = {
      {2, 4, 0, "\rImage doesn't fit in selected bitdepth"},
      {0, 0, 0, "try /c2 (RGB) instead"},
      {4, 0, 0, "\rImage is not grayscale; try /c2 (RGB) instead"},
  };
  for (const Case& c : cases) {
    EncodeJob job = DefaultJob(colourful);
    job.colortype = c.colortype;
    job.bitdepth = c.bitdepth;
    job.bkgd = c.bkgd;
    RunResult run = RunJob(job);
    EXPECT_EQ(run.result, kEncodeFailed);
    EXPECT_EQ(TheRecorder().pieces.back(), c.last);
  }
}

TEST(Driver, NullCallbacksAreAllowed) {
  Image img = TwoColours();
  EncodeJob job = DefaultJob(img);
  job.print = nullptr;
  job.poll = nullptr;
  job.verbose = 1;
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed);
  Image decoded;
  ASSERT_TRUE(oracle::DecodePng(run.png, decoded));
  EXPECT_TRUE(decoded == img);
}

TEST(Driver, OutOfContractFilterAndPaletteCountAreTamed) {
  Image img = TwoColours();
  uint32_t pal[2] = {0xFFFFFFFF, 0xFF203040};
  EncodeJob job = DefaultJob(img);
  job.filter = 9;  // not a PNG filter: taken as automatic
  job.pal = pal;
  job.palcount = 2;
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed);
  EXPECT_EQ(job.outfilter, 0);
  Image decoded;
  ASSERT_TRUE(oracle::DecodePng(run.png, decoded));
  EXPECT_TRUE(decoded == img);

  job = DefaultJob(img);
  job.pal = nullptr;
  job.palcount = 5;  // no palette to copy from
  run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed);
  ASSERT_TRUE(oracle::DecodePng(run.png, decoded));
  EXPECT_TRUE(decoded == img);
}

// Silent callbacks for runs on other threads (the recorder is not shared).
int Quiet(const char*, ...) { return 0; }

std::vector<uint8_t> Encode(Image& img, EngineContext* ctx) {
  EncodeJob job = DefaultJob(img);
  job.print = Quiet;
  job.poll = nullptr;
  const int n = ctx ? OptimizePngInContext(*ctx, &job) : OptimizePng(&job);
  std::vector<uint8_t> png;
  if (n != kEncodeFailed) png.assign(job.kbuf, job.kbuf + n);
  FreeEncodeBuffer(job.kbuf);
  return png;
}

TEST(Driver, IndependentContextsRunSideBySide) {
  Image a = MakeImage(64, 48, [](int x, int y) { return Noise(x / 4, y / 4); });
  Image b = MakeImage(50, 40, [](int x, int y) { return 0xFF000000u | uint32_t(x * y) * 0x010203u; });
  const std::vector<uint8_t> expectA = Encode(a, nullptr), expectB = Encode(b, nullptr);
  ASSERT_FALSE(expectA.empty());
  EngineContext ctxA, ctxB;
  std::vector<uint8_t> gotA, gotB, viaEntry;
  std::thread ta([&] { gotA = Encode(a, &ctxA); });
  std::thread tb([&] { gotB = Encode(b, &ctxB); });
  std::thread tc([&] { viaEntry = Encode(a, nullptr); });
  ta.join();
  tb.join();
  tc.join();
  EXPECT_EQ(gotA, expectA);
  EXPECT_EQ(gotB, expectB);
  EXPECT_EQ(viaEntry, expectA);
}

TEST(Driver, EntryRunsOneJobAtATime) {
  Image a = MakeImage(40, 40, [](int x, int y) { return Noise(x / 2, y); });
  const std::vector<uint8_t> expect = Encode(a, nullptr);
  std::vector<std::vector<uint8_t>> got(3);
  std::vector<std::thread> threads;
  for (auto& g : got) threads.emplace_back([&a, &g] { g = Encode(a, nullptr); });
  for (auto& t : threads) t.join();
  for (const auto& g : got) EXPECT_EQ(g, expect);
}

}  // namespace

namespace {

TEST(Driver, ImagesWithoutPixelsAreRefused) {
  using namespace spinetest;
  Image img = MakeImage(3, 3, [](int x, int y) { return Noise(x, y); });
  for (int field = 0; field < 3; ++field) {
    EncodeJob job = DefaultJob(img);
    if (field == 0) job.width = 0;
    if (field == 1) job.height = -2;
    if (field == 2) job.pixels = nullptr;
    RunResult run = RunJob(job);
    EXPECT_EQ(run.result, kEncodeFailed) << "case " << field;
    EXPECT_EQ(job.kbuf, nullptr);
  }
}

}  // namespace
