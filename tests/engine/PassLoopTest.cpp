// The pass loop seen from outside: how many passes run and why they stop,
// the size lines, progress and pass numbering, the split report, and the
// state fingerprint (checked against a bitwise CRC-32).

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "EngineRunSupport.h"
#include "engine/EngineContext.h"
#include "engine/PassLoop.h"
#include "engine/PngWriter.h"
#include "engine/Progress.h"
#include "engine/deflate/BlockSplitter.h"
#include "engine/deflate/BlockWriter.h"
#include "support/DeflateTrace.h"

namespace {

using namespace spinetest;

// The sizes of all "Out:%8d" pieces (compressed passes and stored).
std::vector<int> PrintedSizes() {
  std::vector<int> sizes;
  for (const std::string& p : TheRecorder().pieces) {
    if (p.rfind("Out:", 0) == 0 && p.size() >= 12 && p[4] != '\n') sizes.push_back(std::stoi(p.substr(4, 8)));
  }
  return sizes;
}

Image Photo(int w, int h) {
  return MakeImage(w, h, [](int x, int y) {
    const uint32_t r = uint32_t(128 + 100 * std::sin(x * 0.21) + (Noise(x, y) & 7));
    const uint32_t g = uint32_t((x * y) / 7) & 0xFF;
    return 0xFF000000u | (r & 0xFF) << 16 | g << 8 | uint32_t(y * 9 & 0xFF);
  });
}

TEST(PassLoop, FirstPassThatSavesNothingIsTheOnlyPass) {
  // Every byte value once (85 RGB pixels of bytes 1..255, the filter byte 0)
  // under the literals-only start code: the new code only trades literal
  // 128's ninth bit for literal 255's, which saves 0 bits.
  Image img = MakeImage(85, 1, [](int x, int) {
    return 0xFF000000u | uint32_t(3 * x + 1) << 16 | uint32_t(3 * x + 2) << 8 | uint32_t(3 * x + 3);
  });
  EncodeJob job = DefaultJob(img);
  job.colortype = 2;
  job.filter = 0;
  job.strategy = 3;
  job.splitthreshold = 0.0;
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed);
  EXPECT_EQ(job.pass, 1);
  EXPECT_EQ(TheRecorder().PollCount(0), 0);
  EXPECT_EQ(PrintedSizes(), std::vector<int>{run.result});
  EXPECT_EQ(TheRecorder().Count(" bytes               "), 1);
}

TEST(PassLoop, EarlyEscapeDeliversTheFirstPass) {
  Image img = Photo(40, 30);
  EncodeJob job = DefaultJob(img);
  TheRecorder().answer = [](int code) { return code == 0 ? 1 : 0; };
  RunResult run = RunJob(job);
  TheRecorder().answer = nullptr;
  ASSERT_NE(run.result, kEncodeFailed);
  EXPECT_EQ(TheRecorder().PollCount(0), 1);
  EXPECT_EQ(TheRecorder().Count("\nEarly ESC! "), 1);
  EXPECT_EQ(PrintedSizes(), std::vector<int>{run.result});
  EXPECT_EQ(job.pass, 1);
  Image decoded;
  ASSERT_TRUE(oracle::DecodePng(run.png, decoded));
  EXPECT_TRUE(decoded == img);
}

TEST(PassLoop, ResultIsTheBestPassAndPollZeroFollowsEveryJudgedPass) {
  for (int strategy : {0, 1, 2, 3}) {
    Image img = Photo(48, 32);
    EncodeJob job = DefaultJob(img);
    job.strategy = strategy;
    RunResult run = RunJob(job);
    ASSERT_NE(run.result, kEncodeFailed);
    const std::vector<int> sizes = PrintedSizes();
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(run.result, sizes.back());
    EXPECT_EQ(run.result, *std::min_element(sizes.begin(), sizes.end())) << "strategy " << strategy;
    EXPECT_EQ(job.pass, int(sizes.size()));
    // poll(0) comes after every judged pass that did not stop the loop.
    EXPECT_EQ(TheRecorder().PollCount(0), int(sizes.size()) - 1);
    EXPECT_LE(job.pass, 1024);
  }
}

TEST(PassLoop, SizeLinesShowTheExpectedSize) {
  Image img = Photo(64, 40);
  EncodeJob job = DefaultJob(img);
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed);
  const auto& p = TheRecorder().pieces;
  const std::regex out("Out:[ 0-9]{8}"), gain(" {0,6}-[0-9]+"), expected("\\.[0-9]=[ 0-9]{7}\\.[0-9]");
  int lines = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    if (!std::regex_match(p[i], out)) continue;
    ++lines;
    EXPECT_EQ(p[i - 1], "\r");
    ASSERT_LT(i + 1, p.size());
    const int size = std::stoi(p[i].substr(4));
    if (p[i + 1] == " bytes               ") continue;
    ASSERT_TRUE(std::regex_match(p[i + 1], gain)) << p[i + 1];
    ASSERT_EQ(p[i + 1].size(), 7u);
    ASSERT_TRUE(std::regex_match(p[i + 2], expected)) << p[i + 2];
    // whole saved bytes plus the expected size make the size (less one
    // when the two fractions carried over a byte).
    const int saved = -std::stoi(p[i + 1]);
    const int next = std::stoi(p[i + 2].substr(3, 7));
    EXPECT_TRUE(saved + next == size || saved + next == size - 1) << saved << " + " << next << " vs " << size;
  }
  EXPECT_EQ(lines, job.pass);
  // The last line of a converged run reports no further gain.
  EXPECT_EQ(p.back(), " bytes               ");
}

TEST(PassLoop, PassNumbersWithAndWithoutTheSplitPrePass) {
  Image img = Photo(30, 20);
  for (bool split : {false, true}) {
    EncodeJob job = DefaultJob(img);
    job.colortype = 6;
    job.splitthreshold = split ? 256.0 : 0.0;
    std::vector<int> seen;
    TheRecorder().onPoll = [&](int code) {
      if (code == 1) seen.push_back(job.pass);
    };
    RunResult run = RunJob(job);
    TheRecorder().onPoll = nullptr;
    ASSERT_NE(run.result, kEncodeFailed);
    ASSERT_GE(seen.size(), 40u);
    if (split) {
      EXPECT_EQ(std::vector<int>(seen.begin(), seen.begin() + 20), std::vector<int>(20, -1));
      EXPECT_EQ(std::vector<int>(seen.begin() + 20, seen.begin() + 40), std::vector<int>(20, 0));
    } else {
      EXPECT_EQ(std::vector<int>(seen.begin(), seen.begin() + 20), std::vector<int>(20, 0));
      EXPECT_EQ(seen[20], 1);
    }
  }
}

TEST(PassLoop, RowPercentagesAreReportedOnceEach) {
  Image img = Photo(8, 7);
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.splitthreshold = 0.0;
  std::vector<int> percentAtPoll;
  TheRecorder().answer = [](int code) { return code == 0 ? 1 : 0; };
  TheRecorder().onPoll = [&](int code) {
    if (code == 1) percentAtPoll.push_back(job.percent);
  };
  RunResult run = RunJob(job);
  TheRecorder().answer = nullptr;
  TheRecorder().onPoll = nullptr;
  ASSERT_NE(run.result, kEncodeFailed);
  std::vector<std::string> progress;
  for (const std::string& p : TheRecorder().pieces) {
    if (p.find("% \r") != std::string::npos) progress.push_back(p);
  }
  EXPECT_EQ(progress, (std::vector<std::string>{" 0% \r", "14% \r", "28% \r", "42% \r", "57% \r", "71% \r", "85% \r"}));
  EXPECT_EQ(percentAtPoll, (std::vector<int>{0, 14, 28, 42, 57, 71, 85}));

  Image line = Photo(50, 1);
  job = DefaultJob(line);
  job.colortype = 6;
  run = RunJob(job);
  progress.clear();
  for (const std::string& p : TheRecorder().pieces) {
    if (p.find("% \r") != std::string::npos) progress.push_back(p);
  }
  EXPECT_EQ(progress, std::vector<std::string>(size_t(job.pass) + 1, " 0% \r"));  // pre-pass and every pass
}

TEST(PassLoop, ReciprocalPercentageStaysWithinOneOfTheExactValue) {
  EngineContext ctx;
  for (int h : {1, 2, 3, 7, 99, 100, 101, 1000, 4097, 65535, 100000, 1 << 20, 30000000}) {
    PreparePercent(ctx, h);
    int last = -1;
    const int step = h > 100000 ? 7 : 1;
    for (int y = 0; y < h; y += step) {
      const int p = RowPercent(ctx, y);
      const int64_t exact = 100 * int64_t(y) / h;
      ASSERT_LE(std::abs(p - exact), 1) << "h " << h << " y " << y;
      ASSERT_GE(p, last);
      last = p;
    }
    EXPECT_EQ(RowPercent(ctx, 0), 0);
  }
}

TEST(PassLoop, VerboseReportsBlockBoundaries) {
  // Three stretches of different statistics.
  Image img = MakeImage(32, 48, [](int x, int y) {
    if (y < 16) return 0xFF000000u | uint32_t(x & 3);
    if (y < 32) return Noise(x, y);
    return 0xFF000000u | 0x010101u * uint32_t((x * 8) & 0xFF);
  });
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.filter = 0;
  job.numblocks = 3;
  job.verbose = 1;
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed) << TheRecorder().Text();
  const auto& p = TheRecorder().pieces;
  const auto head = std::find(p.begin(), p.end(), "Out:\nBlock boundaries: ");
  ASSERT_NE(head, p.end());
  ASSERT_LT(head + 7, p.end());
  EXPECT_EQ(head[2], ",");
  EXPECT_EQ(head[4], " (3 block");
  EXPECT_EQ(head[5], "s");
  EXPECT_EQ(head[6], ")\n\n");
  const long first = std::stol(head[1], nullptr, 16), second = std::stol(head[3], nullptr, 16);
  EXPECT_LT(first, second);

  // The stream has three blocks ending there, BFINAL on the last only.
  std::vector<oracle::Chunk> chunks;
  ASSERT_TRUE(oracle::ListChunks(run.png, chunks));
  std::vector<oracle::TracedBlock> blocks;
  std::vector<uint8_t> out;
  std::string error;
  ASSERT_TRUE(oracle::TraceZlib(FindChunk(chunks, "IDAT")->data.data(), FindChunk(chunks, "IDAT")->data.size(), blocks,
                                out, &error))
      << error;
  ASSERT_EQ(blocks.size(), 3u);
  long covered = 0;
  std::vector<long> ends;
  for (const auto& b : blocks) {
    EXPECT_EQ(b.type, 2);
    for (const auto& t : b.tokens) covered += t.length;
    ends.push_back(covered);
  }
  EXPECT_FALSE(blocks[0].final);
  EXPECT_FALSE(blocks[1].final);
  EXPECT_TRUE(blocks[2].final);
  EXPECT_EQ(ends[0], first);
  EXPECT_EQ(ends[1], second);
  EXPECT_EQ(ends[2], long(out.size()));
  EXPECT_EQ(p.back().rfind("Took ", 0), 0u);
}

TEST(PassLoop, VerboseWithOneBlockAndWithoutSplitting) {
  Image img = Photo(10, 10);
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.verbose = 1;
  job.splitthreshold = 1e12;
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed);
  std::string text = TheRecorder().Text();
  EXPECT_NE(text.find("Out:\nBlock boundaries: none (1 block)\n\n"), std::string::npos) << text;

  job = DefaultJob(img);
  job.colortype = 6;
  job.verbose = 1;
  job.splitthreshold = 0.0;
  run = RunJob(job);
  text = TheRecorder().Text();
  EXPECT_EQ(text.find("Block boundaries"), std::string::npos);
  EXPECT_EQ(text.rfind(" /c6 /f5\n\r", 0), 0u) << text;
  // Verbose size lines have no "\r" of their own and end with a newline.
  const auto& p = TheRecorder().pieces;
  const std::regex out("Out:[ 0-9]{8}");
  int lines = 0;
  for (size_t i = 1; i + 3 < p.size(); ++i) {
    if (!std::regex_match(p[i], out)) continue;
    ++lines;
    EXPECT_NE(p[i - 1], "\r");
    EXPECT_TRUE(p[i + 2] == "\n" || p[i + 3] == "\n");
  }
  EXPECT_EQ(lines, job.pass);
}

// The CRC-32 register of PNG computed bit by bit, without a final inversion.
uint32_t BitwiseCrcRegister(const std::vector<uint8_t>& bytes) {
  uint32_t reg = 0xFFFFFFFF;
  for (uint8_t b : bytes) {
    reg ^= b;
    for (int k = 0; k < 8; ++k) reg = (reg >> 1) ^ (0xEDB88320u & (0u - (reg & 1)));
  }
  return reg;
}

TEST(PassLoop, FingerprintIsTheCrcOfThePairedLengthsBackwards) {
  EngineContext ctx;
  BuildCrcTable(ctx);
  ctx.deflate.numBlocks = 2;
  for (int i = 0; i < 640; ++i) ctx.snapshot[i] = uint8_t(Noise(i, 3) % 16);
  for (int i = 0; i < 256; ++i) ctx.palette[i] = Noise(i, 5);
  std::vector<uint8_t> bytes;
  for (int i = 638; i >= 0; i -= 2) bytes.push_back(uint8_t(16 * ctx.snapshot[i + 1] + ctx.snapshot[i]));
  ctx.colortype = 6;
  EXPECT_EQ(PassFingerprint(ctx), BitwiseCrcRegister(bytes));
  const auto* pal = reinterpret_cast<const uint8_t*>(ctx.palette);
  for (int k = 1023; k >= 0; --k) bytes.push_back(pal[k]);  // little-endian words: B, G, R, A
  ctx.colortype = 3;
  EXPECT_EQ(PassFingerprint(ctx), BitwiseCrcRegister(bytes));
}

}  // namespace

namespace {

using namespace spinetest;

// A context as the loop leaves it after a pass: one block whose snapshot
// holds the lengths the pass started from and whose lengths are the new ones.
struct JudgeSetup {
  EngineContext ctx;
  EncodeJob job{};

  JudgeSetup() {
    TheRecorder() = Recorder{};
    job.print = RecordPrint;
    job.poll = RecordPoll;
    ctx.job = &job;
    ctx.print = RecordPrint;
    ctx.poll = RecordPoll;
    BuildCrcTable(ctx);
    ctx.colortype = 6;
    ctx.deflate.numBlocks = 1;
    for (int i = 0; i < 320; ++i) {
      ctx.snapshot[i] = uint8_t(i % 9);
      ctx.bestSnapshot[i] = uint8_t(i % 5);
      ctx.deflate.blocks[0].lengths[i] = 7;
    }
    for (int i = 0; i < 256; ++i) {
      ctx.palette[i] = 0xFF000000u + uint32_t(i);
      ctx.bestPalette[i] = 0x80000000u + uint32_t(i);
    }
  }

  void Pass(int pass, int64_t size, int32_t saved, int64_t best) {
    job.pass = pass;
    ctx.outPos = size;
    ctx.deflate.savedBits = saved;
    ctx.bestSize = best;
  }

  bool Restored() const { return ctx.deflate.blocks[0].lengths[7] == 2 && ctx.palette[3] == 0x80000003u; }
};

TEST(JudgePass, StopsAfterTheFinalPass) {
  JudgeSetup s;
  s.Pass(3, 900, 50, 800);
  s.ctx.finalPass = true;
  EXPECT_EQ(JudgePass(s.ctx), PassVerdict::Stop);
  EXPECT_TRUE(TheRecorder().polls.empty());
}

TEST(JudgePass, NoGainStopsOnTheBestOrRestoresIt) {
  JudgeSetup s;
  s.Pass(2, 800, 0, 800);
  EXPECT_EQ(JudgePass(s.ctx), PassVerdict::Stop);
  EXPECT_FALSE(s.ctx.finalPass);
  EXPECT_TRUE(TheRecorder().polls.empty());

  JudgeSetup worse;
  worse.Pass(2, 801, -3, 800);
  EXPECT_EQ(JudgePass(worse.ctx), PassVerdict::Continue);
  EXPECT_TRUE(worse.ctx.finalPass);
  EXPECT_TRUE(worse.Restored());
  EXPECT_EQ(worse.ctx.sizeHistory[2], 0);  // a restored pass is not recorded
  EXPECT_EQ(TheRecorder().polls, std::vector<int>{0});
}

TEST(JudgePass, AtTheCapTheLoopStops) {
  JudgeSetup s;
  s.Pass(1024, 700, 40, 800);
  EXPECT_EQ(JudgePass(s.ctx), PassVerdict::Stop);
  EXPECT_TRUE(TheRecorder().polls.empty());
}

TEST(JudgePass, ABetterPassBecomesTheBest) {
  JudgeSetup s;
  s.Pass(1, 700, 40, 2147483647);
  EXPECT_EQ(JudgePass(s.ctx), PassVerdict::Continue);
  EXPECT_EQ(s.ctx.bestSize, 700);
  EXPECT_EQ(s.ctx.bestSnapshot[7], 7);  // copied from the snapshot (7 % 9)
  EXPECT_EQ(s.ctx.bestPalette[3], 0xFF000003u);
  EXPECT_EQ(s.ctx.sizeHistory[1], 700);
  EXPECT_EQ(s.ctx.fingerprints[1], PassFingerprint(s.ctx));
  EXPECT_FALSE(s.ctx.finalPass);
  EXPECT_EQ(TheRecorder().polls, std::vector<int>{0});
}

TEST(JudgePass, ARepeatedStateStopsOrRestores) {
  // Same fingerprint and size as pass 2, and worse than the best: restore.
  JudgeSetup s;
  s.Pass(5, 900, 12, 800);
  s.ctx.fingerprints[2] = PassFingerprint(s.ctx);
  s.ctx.sizeHistory[2] = 900;
  EXPECT_EQ(JudgePass(s.ctx), PassVerdict::Continue);
  EXPECT_TRUE(s.ctx.finalPass);
  EXPECT_TRUE(s.Restored());

  // The same repeat on the best size: stop.
  JudgeSetup best;
  best.Pass(5, 800, 12, 800);
  best.ctx.fingerprints[3] = PassFingerprint(best.ctx);
  best.ctx.sizeHistory[3] = 800;
  EXPECT_EQ(JudgePass(best.ctx), PassVerdict::Stop);

  // Same tables, another size: not a repeat.
  JudgeSetup other;
  other.Pass(5, 900, 12, 800);
  other.ctx.fingerprints[2] = PassFingerprint(other.ctx);
  other.ctx.sizeHistory[2] = 901;
  EXPECT_EQ(JudgePass(other.ctx), PassVerdict::Continue);
  EXPECT_FALSE(other.ctx.finalPass);
}

TEST(JudgePass, PollZeroFinishesEarly) {
  JudgeSetup s;
  TheRecorder().answer = [](int code) { return code == 0 ? 1 : 0; };
  s.Pass(1, 700, 40, 2147483647);
  EXPECT_EQ(JudgePass(s.ctx), PassVerdict::Stop);
  TheRecorder().answer = nullptr;
  EXPECT_EQ(TheRecorder().pieces, std::vector<std::string>{"\nEarly ESC! "});
  EXPECT_EQ(s.ctx.bestSize, 700);
}

TEST(PassLoop, BlockRequestsAboveTheCapAreLowered) {
  Image img = MakeImage(64, 64, [](int x, int y) { return Noise(x, y); });
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.numblocks = 5000;
  job.strategy = 3;
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed);
  EXPECT_EQ(job.numblocks, 1024);
  Image decoded;
  ASSERT_TRUE(oracle::DecodePng(run.png, decoded));
  EXPECT_TRUE(decoded == img);
}

}  // namespace

namespace {

using namespace spinetest;

// The block ends the verbose report printed, in order.
std::vector<int> ReportedBoundaries() {
  const auto& p = TheRecorder().pieces;
  std::vector<int> ends;
  auto it = std::find(p.begin(), p.end(), "Out:\nBlock boundaries: ");
  if (it == p.end()) return ends;
  for (++it; it != p.end() && it->rfind(" (", 0) != 0; ++it) {
    if (*it != "," && *it != "none") ends.push_back(int(std::stol(*it, nullptr, 16)));
  }
  return ends;
}

TEST(SplitPrePass, AnalysesEveryRowFilteredAsTheFirstRow) {
  // Filter Up: in the pre-pass every row is filtered against a row of zeros,
  // so the analysed stream holds the raw samples, not the row differences.
  Image img = MakeImage(24, 30, [](int x, int y) {
    if (y < 10) return 0xFF000000u | uint32_t(x * 10) << 16 | uint32_t(y);
    if (y < 20) return Noise(x, y);
    return 0x80000000u | uint32_t(y * 3);
  });
  EncodeJob job = DefaultJob(img);
  job.colortype = 6;
  job.filter = 2;
  job.numblocks = 4;
  job.verbose = 1;
  RunResult run = RunJob(job);
  ASSERT_NE(run.result, kEncodeFailed);
  const std::vector<int> reported = ReportedBoundaries();

  std::vector<uint8_t> stream;
  for (int y = 0; y < img.height; ++y) {
    stream.push_back(2);
    for (int x = 0; x < img.width; ++x) {
      const uint32_t v = img.pixels[size_t(y) * img.width + x];
      stream.insert(stream.end(), {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), uint8_t(v >> 24)});
    }
  }
  EngineContext ctx;
  EncodeJob analysis{};
  analysis.numblocks = 4;
  ctx.job = &analysis;
  ctx.print = RecordPrint;
  ctx.poll = RecordPoll;
  ASSERT_EQ(deflate::SplitBlocks(ctx, stream.data(), 0, int(stream.size())), 0);
  std::vector<int> expected;
  for (int b = 0; b + 1 < ctx.deflate.numBlocks; ++b) expected.push_back(ctx.deflate.blocks[b].end);
  ASSERT_EQ(expected.size(), 3u);
  EXPECT_EQ(reported, expected);
}

}  // namespace

namespace {

using namespace spinetest;

// A corrupt pass (a symbol without a code word was written) is judged as if
// it were worse than the best: it never becomes the best, and wherever the
// loop would stop on it, the best tables are restored for a final pass, or
// the loop stops without a sound pass and the driver writes the stored file.
TEST(JudgePass, ACorruptPassIsNeverTheOneTheLoopEndsOn) {
  struct Case {
    const char* what;
    int pass;
    int64_t size;
    int32_t saved;
    int64_t best;
    bool escape;
    PassVerdict verdict;
    bool restored;
  };
  const Case cases[] = {
      {"no gain on the best size", 2, 700, 0, 800, false, PassVerdict::Continue, true},
      {"no gain and no sound pass yet", 1, 700, 0, 2147483647, false, PassVerdict::Stop, false},
      {"smaller than the best", 2, 700, 40, 800, false, PassVerdict::Continue, false},
      {"at the pass cap", 1024, 700, 40, 800, false, PassVerdict::Continue, true},
      {"at the pass cap without a sound pass", 1024, 700, 40, 2147483647, false, PassVerdict::Stop, false},
      {"early escape", 2, 700, 40, 800, true, PassVerdict::Continue, true},
      {"early escape without a sound pass", 1, 700, 40, 2147483647, true, PassVerdict::Stop, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    JudgeSetup s;
    s.Pass(c.pass, c.size, c.saved, c.best);
    s.ctx.passInvalid = true;
    if (c.escape) TheRecorder().answer = [](int code) { return code == 0 ? 1 : 0; };
    EXPECT_EQ(JudgePass(s.ctx), c.verdict);
    TheRecorder().answer = nullptr;
    EXPECT_EQ(s.ctx.bestSize, c.best);
    EXPECT_EQ(s.Restored(), c.restored);
    EXPECT_EQ(s.ctx.finalPass, c.restored);
  }

  // A corrupt pass whose tables and size repeat an earlier pass on the best
  // size: the best is run once more rather than stopping here.
  JudgeSetup repeat;
  repeat.Pass(5, 800, 12, 800);
  repeat.ctx.passInvalid = true;
  repeat.ctx.fingerprints[3] = PassFingerprint(repeat.ctx);
  repeat.ctx.sizeHistory[3] = 800;
  EXPECT_EQ(JudgePass(repeat.ctx), PassVerdict::Continue);
  EXPECT_TRUE(repeat.Restored());
}

}  // namespace

namespace {

using namespace spinetest;

// The size line's figures by hand: whole saved bytes (floored), eighths of a
// byte as 125/100 per bit, and the expected size (size x 8 - saved bits)
// floored to bytes with its leftover bits, even when that figure is negative.
TEST(SizeLine, FiguresAreFlooredEighths) {
  struct Case {
    int64_t size;
    int32_t saved;
    bool finalPass;
    int verbose;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {1000, 0, false, 0, {"\r", "Out:    1000", " bytes               "}},
      {1000, -5, false, 0, {"\r", "Out:    1000", " bytes               "}},
      {1000, 77, true, 0, {"\r", "Out:    1000", " bytes               "}},
      {1000, 5, false, 0, {"\r", "Out:    1000", "     -0", ".6=    999.3"}},
      {1000, 77, false, 1, {"Out:    1000", "     -9", ".6=    990.3", "\n"}},
      {1000, 8000, false, 0, {"\r", "Out:    1000", "  -1000", ".0=      0.0"}},
      {10, 100, false, 0, {"\r", "Out:      10", "    -12", ".5=     -3.5"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.saved);
    EngineContext ctx;
    EncodeJob job{};
    job.verbose = c.verbose;
    TheRecorder() = Recorder{};
    ctx.job = &job;
    ctx.print = RecordPrint;
    ctx.outPos = c.size;
    ctx.deflate.savedBits = c.saved;
    ctx.finalPass = c.finalPass;
    deflate::PrintPassSizeLine(ctx);
    EXPECT_EQ(TheRecorder().pieces, c.pieces);
  }
}

}  // namespace
