// The driver and its pass loop: why passes stop, size lines, progress, the
// split pre-pass, the analysis report, aborts, failures and odd jobs.
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <thread>

#include "EngineRunSupport.h"
#include "engine/PassLoop.h"
#include "engine/PngWriter.h"
#include "engine/deflate/BlockSplitter.h"
#include "engine/deflate/BlockWriter.h"

namespace {

using namespace enginetest;

// The sizes of all "Out:%8d" pieces (compressed passes and stored).
std::vector<int> PrintedSizes() {
  std::vector<int> sizes;
  for (const std::string& p : Rec().pieces)
    if (p.rfind("Out:", 0) == 0 && p.size() >= 12 && p[4] != '\n') sizes.push_back(std::stoi(p.substr(4, 8)));
  return sizes;
}

Image Photo(int w, int h) {
  return MakeImage(w, h, [](int x, int y) {
    const uint32_t r = uint32_t(128 + 100 * std::sin(x * 0.21) + (Noise(x, y) & 7));
    return Rgb(int(r & 0xFF), (x * y) / 7 & 0xFF, y * 9 & 0xFF);
  });
}

TEST(PassLoop, StopsWhenNothingIsSavedOrOnEscapeAndDeliversTheBestPass) {
  // Every byte value once (85 RGB pixels of bytes 1..255, the filter byte 0)
  // under the literals-only start code: the new code only trades literal
  // 128's ninth bit for literal 255's, which saves 0 bits.
  RunResult run = Encode(MakeImage(85, 1, [](int x, int) { return Rgb(3 * x + 1, 3 * x + 2, 3 * x + 3); }),
                         {.colortype = 2, .filter = 0, .strategy = 3, .splitthreshold = 0.0});
  EXPECT_TRUE(run.job.pass == 1 && Rec().PollCount(0) == 0) << run.job.pass;
  EXPECT_EQ(PrintedSizes(), std::vector<int>{run.result});
  EXPECT_EQ(Rec().Last(), " bytes               ");

  Image img = Photo(40, 30);
  Rec().answer = [](int code) { return code == 0 ? 1 : 0; };
  run = Encode(img);
  Rec().answer = nullptr;
  EXPECT_TRUE(Rec().PollCount(0) == 1 && Rec().Count("\nEarly ESC! ") == 1 && run.job.pass == 1);
  EXPECT_EQ(PrintedSizes(), std::vector<int>{run.result});
  EXPECT_TRUE(DecodesTo(run.png, img));

  for (int strategy : {0, 1, 2, 3}) {  // poll(0) after every judged pass but the last; no gain reported at the end
    run = Encode(Photo(48, 32), {.strategy = strategy});
    const std::vector<int> sizes = PrintedSizes();
    ASSERT_FALSE(sizes.empty());
    EXPECT_TRUE(run.result == sizes.back() && run.result == *std::min_element(sizes.begin(), sizes.end())) << strategy;
    EXPECT_TRUE(run.job.pass == int(sizes.size()) && Rec().PollCount(0) == run.job.pass - 1) << strategy;
    EXPECT_EQ(Rec().Last(), " bytes               ") << strategy;
  }
}

TEST(PassLoop, PassNumbersAndRowPercentages) {
  // poll(1) comes once per row; the pre-pass is pass -1, the first pass 0.
  Image img = Photo(30, 20);
  for (bool split : {false, true}) {
    EncodeJob job = MakeJob(img, {.colortype = 6, .splitthreshold = split ? 256.0 : 0.0});
    std::vector<int> seen;
    Rec().onPoll = [&](int code) { code == 1 ? seen.push_back(job.pass) : void(); };
    RunJob(job);
    ASSERT_GE(seen.size(), 41u);
    EXPECT_EQ(std::vector<int>(seen.begin(), seen.begin() + 20), std::vector<int>(20, split ? -1 : 0));
    EXPECT_TRUE(split ? std::vector<int>(seen.begin() + 20, seen.begin() + 40) == std::vector<int>(20, 0) : seen[20] == 1);
  }
  for (int height : {7, 1}) {
    Image strip = Photo(height == 1 ? 50 : 8, height);
    EncodeJob job = MakeJob(strip, {.colortype = 6, .splitthreshold = height == 1 ? 256.0 : 0.0});
    std::vector<int> percentAtPoll;
    Rec().answer = [height](int code) { return height == 7 && code == 0 ? 1 : 0; };
    Rec().onPoll = [&](int code) { code == 1 ? percentAtPoll.push_back(job.percent) : void(); };
    RunJob(job);
    std::vector<std::string> progress, expectedText;
    std::copy_if(Rec().pieces.begin(), Rec().pieces.end(), std::back_inserter(progress),
                 [](const std::string& p) { return p.find("% \r") != std::string::npos; });
    const std::vector<int> expected = height == 1 ? std::vector<int>(size_t(job.pass) + 1, 0)  // pre-pass and passes
                                                  : std::vector<int>{0, 14, 28, 42, 57, 71, 85};
    for (int p : expected) expectedText.push_back((p < 10 ? " " : "") + std::to_string(p) + "% \r");
    EXPECT_EQ(progress, expectedText);
    EXPECT_TRUE(height == 1 || percentAtPoll == expected);
  }
  Rec().answer = nullptr, Rec().onPoll = nullptr;
}

TEST(PassLoop, SplitRunsCutWhereStatisticsChangeAndReportIt) {
  // Three bands of 20 rows (dark noise, mid-tone noise, a ramp); RGB rows of
  // 1 + 64 * 3 bytes under filter None.  The threshold mode's cuts are the
  // splitter's tests' and, against zlib, RoundTripTest's.
  Image img = MakeImage(64, 60, [](int x, int y) {
    const uint32_t n = Noise(x, y);
    return y < 20 ? Rgb(n & 3, (n >> 2) & 3, (n >> 4) & 3)
           : y < 40 ? Rgb(100 + (n & 63), 100 + ((n >> 6) & 63), 100 + ((n >> 12) & 63)) : Rgb(x * 4, 255 - x * 4, y);
  });
  RunResult run = Encode(img, {.filter = 0, .numblocks = 3, .verbose = 1});
  EXPECT_TRUE(DecodesTo(run.png, img));
  const std::vector<size_t> cuts = ReportedBoundaries();
  ASSERT_EQ(cuts.size(), 2u) << Rec().Text();
  EXPECT_TRUE(cuts[0] + 193 > 20 * 193 && cuts[0] < 21 * 193 && cuts[1] + 193 > 40 * 193 && cuts[1] < 41 * 193);
  char report[80];
  snprintf(report, sizeof report, "Out:\nBlock boundaries: %zx,%zx (3 blocks)\n\n", cuts[0], cuts[1]);
  EXPECT_NE(Rec().Text().find(report), std::string::npos) << Rec().Text();
  EXPECT_EQ(Rec().Last().rfind("Took ", 0), 0u);
  Encode(img, {.filter = 0, .verbose = 1, .splitthreshold = 1e12});  // above every gain
  EXPECT_NE(Rec().Text().find("Out:\nBlock boundaries: none (1 block)\n\n"), std::string::npos) << Rec().Text();
}

TEST(SplitPrePass, AnalysesEveryRowFilteredAsTheFirstRow) {
  // Filter Up: in the pre-pass every row is filtered against a row of zeros,
  // so the analysed stream holds the raw samples, not the row differences.
  Image img = MakeImage(24, 30, [](int x, int y) {
    return y < 10 ? Rgb(x * 10, 0, y) : y < 20 ? Noise(x, y) : 0x80000000u | uint32_t(y * 3);
  });
  ASSERT_NE(Encode(img, {.colortype = 6, .filter = 2, .numblocks = 4, .verbose = 1}).result, kEncodeFailed);
  const std::vector<size_t> reported = ReportedBoundaries();

  Bytes stream;
  for (size_t i = 0; i < img.pixels.size(); ++i) {
    const uint32_t v = img.pixels[i];
    if (i % 24 == 0) stream.push_back(2);
    stream.insert(stream.end(), {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), uint8_t(v >> 24)});
  }
  StageHarness analysis({0}, 1);
  analysis.job().numblocks = 4;
  ASSERT_EQ(deflate::SplitBlocks(analysis.ctx(), stream.data(), 0, int(stream.size())), 0);
  std::vector<size_t> expected;
  for (int b = 0; b + 1 < analysis.ctx().deflate.numBlocks; ++b) expected.push_back(size_t(analysis.ctx().deflate.blocks[b].end));
  EXPECT_TRUE(expected.size() == 3u && reported == expected);
}

// A context as the loop leaves it after a pass: one block whose snapshot
// holds the lengths the pass started from and whose lengths are the new ones.
struct JudgeSetup {
  EngineContext ctx;
  EncodeJob job{};
  JudgeSetup() {
    Rec() = Recorder{};
    job.print = ctx.print = RecordPrint, job.poll = ctx.poll = RecordPoll, ctx.job = &job;
    BuildCrcTable(ctx);
    ctx.colortype = 6, ctx.deflate.numBlocks = 1;
    for (int i = 0; i < 320; ++i) ctx.snapshot[i] = uint8_t(i % 9), ctx.bestSnapshot[i] = uint8_t(i % 5);
    for (int i = 0; i < 320; ++i) ctx.deflate.blocks[0].lengths[i] = 7;
    for (int i = 0; i < 256; ++i) ctx.palette[i] = 0xFF000000u + uint32_t(i), ctx.bestPalette[i] = 0x80000000u + uint32_t(i);
  }
  bool Restored() const { return ctx.deflate.blocks[0].lengths[7] == 2 && ctx.palette[3] == 0x80000003u; }
};

constexpr int kFinal = 1, kCorrupt = 2, kNone = INT_MAX;

// A corrupt pass (a symbol without a code word was written) is judged as if
// it were worse than the best: it never becomes the best, and wherever the
// loop would stop on it, the best tables are restored for a final pass, or
// the loop stops without a sound pass and the driver writes the stored file.
TEST(JudgePass, StopsRestoresOrGoesOn) {
  const PassVerdict Stop = PassVerdict::Stop, Go = PassVerdict::Continue;
  const struct {  // bestAfter, polls0 -1: not checked
    const char* what; int pass, size, saved, best, flags, repeatOf, repeatSize; PassVerdict verdict; bool restored, finalAfter;
    int bestAfter, polls0;
  } cases[] = {
      {"after the final pass", 3, 900, 50, 800, kFinal, 0, 0, Stop, false, true, 800, 0},
      {"no gain, worse than the best", 2, 801, -3, 800, 0, 0, 0, Go, true, true, 800, 1},
      {"at the pass cap", 1024, 700, 40, 800, 0, 0, 0, Stop, false, false, -1, 0},
      {"a better pass", 1, 700, 40, kNone, 0, 0, 0, Go, false, false, 700, 1},
      {"repeat, worse than the best", 5, 900, 12, 800, 0, 2, 900, Go, true, true, 800, -1},
      {"repeat on the best size", 5, 800, 12, 800, 0, 3, 800, Stop, false, false, 800, -1},
      {"same tables, another size", 5, 900, 12, 800, 0, 2, 901, Go, false, false, 800, -1},
      {"corrupt, no gain on the best size", 2, 700, 0, 800, kCorrupt, 0, 0, Go, true, true, 800, -1},
      {"corrupt, no gain and no sound pass", 1, 700, 0, kNone, kCorrupt, 0, 0, Stop, false, false, kNone, -1},
      {"corrupt, smaller than the best", 2, 700, 40, 800, kCorrupt, 0, 0, Go, false, false, 800, -1},
      {"corrupt at the pass cap", 1024, 700, 40, 800, kCorrupt, 0, 0, Go, true, true, 800, -1},
      {"corrupt at the cap, no sound pass", 1024, 700, 40, kNone, kCorrupt, 0, 0, Stop, false, false, kNone, -1},
      {"corrupt repeat on the best size", 5, 800, 12, 800, kCorrupt, 3, 800, Go, true, true, 800, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    JudgeSetup s;
    s.job.pass = c.pass, s.ctx.outPos = c.size, s.ctx.deflate.savedBits = c.saved, s.ctx.bestSize = c.best;
    s.ctx.finalPass = c.flags & kFinal, s.ctx.passInvalid = c.flags & kCorrupt;
    if (c.repeatOf) s.ctx.fingerprints[c.repeatOf] = PassFingerprint(s.ctx), s.ctx.sizeHistory[c.repeatOf] = c.repeatSize;
    EXPECT_EQ(JudgePass(s.ctx), c.verdict);
    EXPECT_EQ(s.Restored(), c.restored);
    EXPECT_EQ(s.ctx.finalPass, c.finalAfter);
    EXPECT_TRUE(c.bestAfter < 0 || s.ctx.bestSize == c.bestAfter) << s.ctx.bestSize;
    EXPECT_TRUE(c.polls0 < 0 || Rec().PollCount(0) == c.polls0);
    EXPECT_TRUE(!c.restored || c.flags || c.repeatOf || s.ctx.sizeHistory[c.pass] == 0);  // a worse pass is not recorded
    if (c.bestAfter == c.size && c.best != c.size) {  // the pass became the best: its tables are kept
      EXPECT_TRUE(s.ctx.bestSnapshot[7] == 7 && s.ctx.bestPalette[3] == 0xFF000003u);
      EXPECT_EQ(s.ctx.fingerprints[c.pass], PassFingerprint(s.ctx));
    }
  }
}

// The size line's figures by hand: whole saved bytes (floored), eighths of a
// byte as 125/100 per bit, and the expected size (size x 8 - saved bits)
// floored to bytes with its leftover bits, even when that figure is negative.
TEST(SizeLine, FiguresAreFlooredEighths) {
  const struct { int size, saved, finalPass, verbose; std::vector<std::string> pieces; } cases[] = {
      {1000, 0, false, 0, {"\r", "Out:    1000", " bytes               "}},
      {1000, -5, false, 0, {"\r", "Out:    1000", " bytes               "}},
      {1000, 77, true, 0, {"\r", "Out:    1000", " bytes               "}},
      {1000, 5, false, 0, {"\r", "Out:    1000", "     -0", ".6=    999.3"}},
      {1000, 77, false, 1, {"Out:    1000", "     -9", ".6=    990.3", "\n"}},
      {1000, 8000, false, 0, {"\r", "Out:    1000", "  -1000", ".0=      0.0"}},
      {10, 100, false, 0, {"\r", "Out:      10", "    -12", ".5=     -3.5"}},
  };
  for (const auto& c : cases) {  // the expected pieces name the row
    JudgeSetup s;
    s.job.verbose = c.verbose, s.ctx.outPos = c.size, s.ctx.deflate.savedBits = c.saved, s.ctx.finalPass = c.finalPass;
    deflate::PrintPassSizeLine(s.ctx);
    EXPECT_EQ(Rec().pieces, c.pieces);
  }
}

// A pass that writes a symbol without a code word produces a corrupt
// stream; it must never be the result.  The fault is forced by zeroing the
// code length of literal 0 (the filter byte of every row under filter None)
// in block 0 just before the first row of the given pass is encoded.
RunResult RunForcing(Image& img, int corruptPass, int escapeAfterJudged) {
  auto ctx = std::make_unique<EngineContext>();
  EncodeJob job = MakeJob(img, {.colortype = 2, .filter = 0, .splitthreshold = 0.0});
  int judged = 0;
  bool corrupted = false;
  Rec().onPoll = [&](int code) {  // past the colour analysis (which polls too) and the stream start
    const bool inPass = ctx->olinbuf && ctx->sink == EngineContext::ByteSink::Deflate;
    if (code == 1 && inPass && job.pass == corruptPass && !corrupted) ctx->deflate.blocks[0].lengths[0] = 0, corrupted = true;
  };
  Rec().answer = [&](int code) { return code == 0 && ++judged >= escapeAfterJudged ? 1 : 0; };
  const RunResult out = RunJob(job, ctx.get());
  EXPECT_EQ(corrupted, corruptPass >= 0);
  Rec().onPoll = nullptr, Rec().answer = nullptr;
  return out;
}

TEST(InvalidPass, ACorruptOnlyPassLeavesTheStoredFileAndALaterOneTheBestPass) {
  Image img = MakeImage(48, 24, [](int x, int y) { return Rgb(x * 5 & 0xFF, (x * y) & 0xFF, Noise(x / 3, y) & 0x3F); });
  const RunResult stored = RunForcing(img, 0, 1);
  EXPECT_EQ(Rec().Count("\nEarly ESC! "), 1);
  EXPECT_EQ(Rec().Last(), StoredLine(stored.result));
  EXPECT_TRUE(DecodesTo(stored.png, img));
  const RunResult reference = RunForcing(img, -1, 1);  // stops after the first pass
  ASSERT_EQ(reference.job.pass, 1);
  const RunResult replaced = RunForcing(img, 1, 2);  // the second pass is corrupt and would end the loop
  EXPECT_EQ(replaced.job.pass, 3);  // followed by the final re-run of the first
  EXPECT_EQ(replaced.png, reference.png);
}

Image TwoColours() { return MakeImage(12, 5, [](int x, int y) { return (x + y) % 3 ? 0xFF203040u : 0xFFFFFFFFu; }); }

TEST(Driver, ReportsTheChoiceAndPublishesIt) {
  const RunResult run = Encode(TwoColours(), {.bkgd = 0xFF123456});
  ASSERT_GE(Rec().pieces.size(), 2u);  // two colours and the background
  EXPECT_EQ(std::vector<std::string>(Rec().pieces.begin(), Rec().pieces.begin() + 2),
            (std::vector<std::string>{" /c3 /f0", " /d2, 3 colors"}));
  EXPECT_EQ(std::vector<int>({run.job.outcolortype, run.job.outbitdepth, run.job.outfilter}), std::vector<int>({3, 2, 0}));
  EXPECT_EQ(run.outpal, (std::vector<uint32_t>{0xFF203040u, 0xFFFFFFFFu}));
}

TEST(Driver, AnalysisOnlyStopsAtCheckpointTwo) {
  Image img = MakeImage(30, 30, [](int x, int y) { return Grey((x * 7 + y) & 0xFF); });
  EncodeJob job = MakeJob(img);
  Rec() = Recorder{};
  Rec().answer = [](int code) { return code == 2 ? 1 : 0; };
  EXPECT_EQ(OptimizePng(&job), kEncodeFailed);
  Rec().answer = nullptr;
  EXPECT_TRUE(job.kbuf == nullptr && job.kbufsize == 0);
  EXPECT_EQ(std::vector<int>({job.outcolortype, job.outbitdepth, job.outfilter, job.outpalcount}), (std::vector{0, 8, 5, 256}));
  EXPECT_EQ(Rec().Last(), " /d8");
  EXPECT_EQ(Rec().polls.back(), 2);  // no pass judged
}

TEST(Driver, AbortsFailWithoutASizeLine) {
  // Poll(1) call 25 falls in the first pass (10 pre-pass rows, the split
  // analysis, then the pass's rows); call 301 is the split analysis's first.
  const struct { int side, stopAt, passAtStop; } cases[] = {{10, 25, 1}, {300, 301, 0}};
  for (const auto& c : cases) {
    Image img = MakeImage(c.side, c.side, [](int x, int y) { return Noise(x, y); });
    EncodeJob job = MakeJob(img, {.colortype = 6});
    int polls = 0, pass = -2;
    Rec().answer = [&](int code) { return code == 1 && ++polls == c.stopAt ? (pass = job.pass, 1) : 0; };
    Rec().pieces.clear();
    EXPECT_EQ(OptimizePng(&job), kEncodeFailed);
    Rec().answer = nullptr;
    EXPECT_TRUE(polls == c.stopAt && pass == c.passAtStop) << pass;
    EXPECT_EQ(Rec().Text().find("Out:") == std::string::npos, c.passAtStop == 0);  // no pass completed
    EXPECT_TRUE(Rec().Last() == "\r" || Rec().Last().find("% \r") != std::string::npos) << Rec().Last();
    EXPECT_NE(job.kbuf, nullptr);  // still the caller's to release
    FreeEncodeBuffer(job.kbuf);
  }
}

TEST(Driver, UnsupportedColourTypesFailWhenThePassStarts) {
  Image img = MakeImage(4, 4, [](int x, int y) { return Noise(x, y); });
  for (int colortype : {1, 5, 7})
    for (int strategy : {0, 4}) {
      EXPECT_EQ(Encode(img, {.colortype = colortype, .strategy = strategy}).result, kEncodeFailed);
      EXPECT_EQ(Rec().Last(), "\rPNG color type " + std::to_string(colortype) + " not supported\n") << strategy;
      EXPECT_EQ(Rec().Text().find("Out:"), std::string::npos);
    }
}

TEST(Driver, JobsOutsideTheContractAreTamedOrRefused) {
  Image img = TwoColours();
  uint32_t pal[2] = {0xFFFFFFFF, 0xFF203040};
  for (int variant = 0; variant < 6; ++variant) {
    EncodeJob job = MakeJob(img);
    if (variant == 0) job.print = nullptr, job.poll = nullptr, job.verbose = 1;  // null callbacks
    if (variant == 1) job.filter = 9, job.pal = pal, job.palcount = 2;          // not a PNG filter: automatic
    if (variant == 2) job.palcount = 5;                                          // no palette to copy from
    if (variant == 3) job.width = 0;  // no pixels (3 to 5): refused, not an empty PNG as a success
    if (variant == 4) job.height = -2;
    if (variant == 5) job.pixels = nullptr;
    const RunResult run = RunJob(job);
    EXPECT_EQ(run.result == kEncodeFailed, variant >= 3) << variant;
    EXPECT_TRUE(variant >= 3 || (DecodesTo(run.png, img) && job.outfilter == 0)) << variant;
  }
}

int Quiet(const char*, ...) { return 0; }
int NeverStop(int) { return 0; }

Bytes EncodeQuietly(Image& img, EngineContext* ctx, const Options& options = {}) {
  EncodeJob job = MakeJob(img, options);  // the recorder is not shared between threads
  job.print = Quiet, job.poll = nullptr;
  const int n = ctx ? OptimizePngInContext(*ctx, &job) : OptimizePng(&job);
  Bytes png;
  if (n != kEncodeFailed) png.assign(job.kbuf, job.kbuf + n);
  FreeEncodeBuffer(job.kbuf);
  return png;
}

TEST(Driver, IndependentContextsRunSideBySideAndTheEntryOneAtATime) {
  Image a = MakeImage(64, 48, [](int x, int y) { return Noise(x / 4, y / 4); });
  Image b = MakeImage(50, 40, [](int x, int y) { return 0xFF000000u | uint32_t(x * y) * 0x010203u; });
  const Bytes expectA = EncodeQuietly(a, nullptr), expectB = EncodeQuietly(b, nullptr);
  ASSERT_FALSE(expectA.empty());
  EngineContext ctxA, ctxB;
  std::vector<Bytes> got(5);
  std::vector<std::thread> threads;
  for (int i = 0; i < 5; ++i)
    threads.emplace_back([&, i] { got[size_t(i)] = EncodeQuietly(i == 1 ? b : a, i == 0 ? &ctxA : i == 1 ? &ctxB : nullptr); });
  for (auto& t : threads) t.join();
  EXPECT_EQ(got, (std::vector<Bytes>{expectA, expectB, expectA, expectA, expectA}));
}

// A context keeps its compressor tables from run to run and clears only what
// earlier runs could have touched: after large and small runs under every
// parsing strategy, each run still gives the bytes of a fresh context.
TEST(Driver, AReusedContextEncodesAsAFreshOne) {
  Image large = MakeImage(300, 160, [](int x, int y) { return 0xFF000000u | Noise(x / 3, y / 2) % 7 * 0x203040u; });
  Image small = MakeImage(12, 9, [](int x, int y) { return 0xFF000000u | Noise(x, y / 3) % 5 * 0x102030u; });
  Image medium = MakeImage(90, 70, [](int x, int y) { return 0xFF000000u | Noise(x / 2, y) % 9 * 0x0A1B2Cu; });
  const struct { Image* image; int strategy; double split; } runs[] = {
      {&large, 0, 256.0}, {&small, 3, 0.0}, {&small, 0, 256.0}, {&large, 3, 0.0},
      {&medium, 1, 0.0},  {&small, 2, 0.0}, {&medium, 0, 256.0}, {&large, 1, 256.0},
  };
  EngineContext reused;
  for (const auto& run : runs) {
    const Options options{.strategy = run.strategy, .splitthreshold = run.split};
    EngineContext fresh;
    const Bytes expected = EncodeQuietly(*run.image, &fresh, options);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(EncodeQuietly(*run.image, &reused, options), expected)
        << run.image->width << "x" << run.image->height << " s" << run.strategy;
  }
}

// The split pre-pass buffer is sized for the longest stream any colour type
// could give (four bytes a pixel plus a filter byte a row).  For a wide image
// of a small colour type that size can pass 2 GB while the stream stays far
// below it, so such a run must not be refused for the size of the buffer alone.
TEST(SplitPrePassBuffer, Beyond2GBIsAllocatedWhenTheMachineHasIt) {
  constexpr int64_t kBufferBytes = (4 * int64_t(1 << 20) + 1) * 513;  // 2^20 one-bit pixels, 513 rows
  static_assert(kBufferBytes > 2147483647);
  void* probe = std::malloc(size_t(kBufferBytes));  // untouched address space only
  if (probe == nullptr) GTEST_SKIP() << "no 2 GB of address space for the pre-pass buffer";
  std::free(probe);
  EngineContext ctx;
  EncodeJob job{};
  job.width = 1 << 20, job.height = 513, job.numblocks = 1;
  ctx.job = &job, ctx.print = Quiet, ctx.poll = NeverStop;
  ASSERT_TRUE(SetUpPasses(ctx));
  EXPECT_TRUE(job.pass == -1 && ctx.collected != nullptr && ctx.collectedCount == 0);
  EXPECT_EQ(ctx.collectedCapacity, kBufferBytes);
}

}  // namespace
