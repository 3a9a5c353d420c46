// Opening PNGs through velkor-host and the real module: pixels against
// libpng, resolution, the time stamp, and every failure's code with nothing
// left held.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "HostRunner.h"
#include "support/Oracles.h"
#include "support/RgbaPam.h"

namespace {

namespace fs = std::filesystem;
using hosttest::Field;
using hosttest::HostRun;
using hosttest::RunHost;

fs::path Suite(const std::string& name) { return oracle::DataDir() / "pngsuite" / name; }

int OpenResult(const HostRun& run) {
  auto line = run.LineAfter("open result ");
  return line ? std::stoi(*line) : -99999;
}

// basn0g08.png with one more chunk right after IHDR.
std::vector<uint8_t> WithChunkAfterHeader(const std::vector<uint8_t>& chunk) {
  std::vector<uint8_t> png = oracle::ReadFile(Suite("basn0g08.png"));
  png.insert(png.begin() + 33, chunk.begin(), chunk.end());
  return png;
}

std::vector<uint8_t> Phys(uint32_t x, uint32_t y, uint8_t unit) {
  return oracle::RawChunk("pHYs", hosttest::PhysData(x, y, unit));
}

TEST(ReadPath, EveryValidPngSuiteFileOpensWithLibpngsPixels) {
  oracle::TempDir dir;
  const std::vector<fs::path> files = oracle::PngSuiteFiles(true);
  ASSERT_GT(files.size(), 100u);
  for (const fs::path& file : files) {
    const fs::path dump = dir.path() / "out.pam";
    const HostRun run = RunHost({"open", file.string(), "--dump", dump.string()});
    ASSERT_EQ(OpenResult(run), 0) << file << "\n" << run.output;
    EXPECT_EQ(run.exitCode, 0) << file << "\n" << run.output;
    auto image = run.LineAfter("image ");
    ASSERT_TRUE(image) << run.output;
    EXPECT_EQ(Field(*image, "mode"), 3);
    EXPECT_EQ(Field(*image, "depth"), 8);
    EXPECT_EQ(Field(*image, "planes"), 4);
    oracle::Image expected, actual;
    ASSERT_TRUE(oracle::DecodePng(oracle::ReadFile(file), expected)) << file;
    ASSERT_TRUE(oracle::ReadRgbaPam(dump, actual)) << file;
    EXPECT_TRUE(actual == expected) << file;
  }
}

TEST(ReadPath, ResolutionComesFromAMetrePhysAndOtherwiseStaysTheHosts) {
  oracle::TempDir dir;
  struct Case { const char* what; std::vector<uint8_t> png; long long hres, vres; };
  const long long host72 = 72 << 16;
  const Case cases[] = {
      {"3780 per metre", WithChunkAfterHeader(Phys(3780, 3780, 1)), 6292242, 6292242},
      {"2835 x 11811", WithChunkAfterHeader(Phys(2835, 11811, 1)), 4719181, 19660760},
      {"unit 0", WithChunkAfterHeader(Phys(3780, 3780, 0)), host72, host72},
      {"no pHYs", oracle::ReadFile(Suite("basn0g08.png")), host72, host72},
      {"0 per metre", WithChunkAfterHeader(Phys(0, 3780, 1)), host72, 6292242},
      {"beyond 16.16", WithChunkAfterHeader(Phys(4000000000u, 3780, 1)), host72, 6292242},
      {"short pHYs", WithChunkAfterHeader(oracle::RawChunk("pHYs", {0, 0, 14, 196})), host72, host72},
  };
  for (const Case& c : cases) {
    const fs::path file = dir.path() / "phys.png";
    oracle::WriteFile(file, c.png);
    const HostRun run = RunHost({"open", file.string()});
    ASSERT_EQ(OpenResult(run), 0) << c.what << "\n" << run.output;
    auto image = run.LineAfter("image ");
    ASSERT_TRUE(image);
    EXPECT_EQ(Field(*image, "hres"), c.hres) << c.what;
    EXPECT_EQ(Field(*image, "vres"), c.vres) << c.what;
  }
}

TEST(ReadPath, ReadFinishStampsTheDocumentWithTheTimeOfOpening) {
  const HostRun run = RunHost({"open", Suite("basn0g08.png").string()});
  auto stamp = run.LineAfter("resource hist ");
  ASSERT_TRUE(stamp) << run.output;
  EXPECT_TRUE(std::regex_match(*stamp, std::regex("25 bytes \"(Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
                                                  "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                                  "[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\\\\n\"")))
      << *stamp;
  EXPECT_TRUE(run.Contains("progress 1 of 128")) << "planes x height, 4 x 32";
}

TEST(ReadPath, WideImagesOpenThroughThe32BitFieldsOnly) {
  oracle::TempDir dir;
  const fs::path file = dir.path() / "wide.png";
  // Grey, so that a row stays below the decoder's 65,536 bytes.
  ASSERT_EQ(oracle::RunPython("from PIL import Image\nim = Image.new('L', (40000, 2), 77)\n"
                              "im.putpixel((39999, 1), 200)\nim.save('" +
                              file.string() + "')\n"),
            0);
  const fs::path dump = dir.path() / "wide.pam";
  HostRun run = RunHost({"open", file.string(), "--dump", dump.string()});
  ASSERT_EQ(OpenResult(run), 0) << run.output;
  oracle::Image expected, actual;
  ASSERT_TRUE(oracle::DecodePng(oracle::ReadFile(file), expected));
  ASSERT_TRUE(oracle::ReadRgbaPam(dump, actual));
  EXPECT_TRUE(actual == expected);

  run = RunHost({"--fault", "coords16", "open", file.string()});
  EXPECT_EQ(OpenResult(run), -30501) << run.output;
  EXPECT_FALSE(run.Contains("buffer request")) << run.output;
  EXPECT_FALSE(run.HostProblems()) << run.output;
}

TEST(ReadPath, EveryInjectedFaultGivesItsCodeWithNothingHeld) {
  struct Case { std::vector<std::string> faults; int result; };
  const Case cases[] = {
      {{"refuse-buffer=1"}, -108},
      {{"buffer-limit=1000"}, -108},
      {{"seek-fails"}, -20},
      {{"read-fails"}, -19},
      {{"closed-fork"}, -20},
      {{"advance-state-error=-1"}, -1},
      {{"advance-state-error=-128"}, -128},
      {{"descriptor=2", "close-error=-50"}, -50},
      {{"descriptor=2", "close-error=-1715"}, 0},
      {{"descriptor=2", "play-info=0"}, 0},
      {{"refuse-handle=1"}, 0},  // no time stamp, the open stands
      {{"no-advance-state"}, -30900},
      {{"abort"}, 0},
      {{"coords16"}, 0},
      // A refused suite ends the call with the host's code when it is a
      // 16-bit negative one, else with host insufficient.
      {{"refuse-suite=all"}, -30900},
      {{"refuse-suite=all", "suite-error=-108"}, -108},
      {{"refuse-suite=all", "suite-error=70000"}, -30900},
      {{"no-basic-suite"}, -30900},
      // The time stamp of read finish needs the handle suite.
      {{"refuse-suite=Photoshop Handle Suite for Plug-ins"}, -30900},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments;
    for (const std::string& fault : c.faults) arguments.insert(arguments.end(), {"--fault", fault});
    arguments.insert(arguments.end(), {"open", Suite("basn2c08.png").string()});
    const HostRun run = RunHost(arguments);
    EXPECT_EQ(OpenResult(run), c.result) << c.faults.back() << "\n" << run.output;
    EXPECT_FALSE(run.HostProblems()) << c.faults.back() << "\n" << run.output;
  }
}

TEST(ReadPath, BadHeadersFailWithTheirCodeAndGiveEveryBufferBack) {
  oracle::TempDir dir;
  struct Case {
    const char* what;
    size_t offset;  // a byte of basn0g08.png set to `value`
    uint8_t value;
    int result;
    bool bufferAsked;  // the size is known, the decoder refuses the rest
  };
  for (const Case& c : {Case{"width 0", 16 + 2, 0, -30501, false}, Case{"colour type 1", 25, 1, -30501, true},
                        Case{"bit depth 3", 24, 3, -30501, true}, Case{"bit depth 16", 24, 16, 30501, false}}) {
    std::vector<uint8_t> png = oracle::ReadFile(Suite("basn0g08.png"));
    if (c.offset == 18) png[16] = png[17] = png[19] = 0;
    png[c.offset] = c.value;
    const fs::path file = dir.path() / "header.png";
    oracle::WriteFile(file, png);
    const HostRun run = RunHost({"open", file.string()});
    EXPECT_EQ(OpenResult(run), c.result) << c.what << "\n" << run.output;
    EXPECT_EQ(run.Contains("buffer request"), c.bufferAsked) << c.what;
    // Only a sound header of more than 8 bits is told apart, with a box.
    EXPECT_EQ(run.Contains("box \"Unsupported Image Format\": VELKOR cannot read bit channel data greater than 8 bits "
                           "in width."),
              c.result > 0) << run.output;
    EXPECT_FALSE(run.HostProblems()) << run.output;
  }
}

TEST(ReadPath, BrokenAndCutFilesGiveATableCodeWithNothingHeld) {
  oracle::TempDir dir;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(oracle::DataDir() / "pngsuite"))
    if (entry.path().filename().string()[0] == 'x') files.push_back(entry.path());
  const std::vector<uint8_t> png = oracle::ReadFile(Suite("basn2c08.png"));
  for (size_t at = 8; at < png.size();) {
    const fs::path cut = dir.path() / ("cut" + std::to_string(at) + ".png");
    oracle::WriteFile(cut, std::vector<uint8_t>(png.begin(), png.begin() + long(at)));
    files.push_back(cut);
    at += 12 + (size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8 | png[at + 3]);
  }
  ASSERT_GT(files.size(), 15u);
  for (const fs::path& file : files) {
    const HostRun run = RunHost({"open", file.string()});
    const int result = OpenResult(run);
    EXPECT_TRUE(result == 0 || result == -19 || result == -30501 || result == 30501) << file << " " << result;
    EXPECT_FALSE(run.HostProblems()) << file << "\n" << run.output;
    EXPECT_EQ(run.exitCode, result == 0 ? 0 : 1) << file;
  }
}

}  // namespace
