// PluginMain's selector table, host check, estimate and filter, through the
// velkor-host program and the real module.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostRunner.h"
#include "support/Oracles.h"

namespace {

using hosttest::Field;
using hosttest::HostRun;
using hosttest::RunHost;

std::string Suite(const std::string& name) { return (oracle::DataDir() / "pngsuite" / name).string(); }

TEST(Selectors, AHostMissingAProcedureGetsHostInsufficientExceptForTheAboutBox) {
  for (const char* fault : {"no-advance-state", "no-resource-add", "no-resource-count", "no-resource-get"}) {
    for (int selector = 0; selector <= 17; ++selector) {
      const HostRun run = RunHost({"--fault", fault, "call", std::to_string(selector)});
      ASSERT_TRUE(run.ResultOf(selector).has_value()) << run.output;
      if (selector == 0)
        EXPECT_NE(*run.ResultOf(selector), -30900) << fault;
      else
        EXPECT_EQ(*run.ResultOf(selector), -30900) << fault << " selector " << selector;
      EXPECT_EQ(run.exitCode, 0) << fault << " selector " << selector << "\n" << run.output;
    }
  }
}

TEST(Selectors, PrepareStepsClearMaxDataStartStepsClearDataOthersDoNothing) {
  struct Case {
    int selector;
    long long maxData;  // the host's 1 << 30 unless cleared
    long long data;     // the host's 0x5A5A unless cleared
  };
  const Case cases[] = {{1, 0, 0x5A5A},         {5, 0, 0x5A5A},  {6, 1 << 30, 0},        {7, 1 << 30, 0x5A5A},
                        {8, 1 << 30, 0x5A5A},   {9, 0, 0x5A5A},  {10, 1 << 30, 0},       {11, 1 << 30, 0x5A5A},
                        {12, 1 << 30, 0x5A5A},  {13, 0, 0x5A5A}, {15, 1 << 30, 0x5A5A},  {16, 1 << 30, 0x5A5A},
                        {99, 1 << 30, 0x5A5A},  {-1, 1 << 30, 0x5A5A}};
  for (const Case& c : cases) {
    const HostRun run = RunHost({"call", std::to_string(c.selector)});
    EXPECT_EQ(run.ResultOf(c.selector), 0) << c.selector;
    auto line = run.LineAfter("maxData ");
    ASSERT_TRUE(line) << run.output;
    EXPECT_EQ(Field("maxData " + *line, "maxData"), c.maxData) << c.selector;
    EXPECT_EQ(Field("maxData " + *line, "data"), c.data) << c.selector;
    EXPECT_EQ(run.exitCode, 0) << c.selector << "\n" << run.output;
  }
}

TEST(Selectors, WriteFinishHandsTheHostAnEmptyDescriptor) {
  const HostRun run = RunHost({"--fault", "descriptor=3", "call", "16"});
  EXPECT_EQ(run.ResultOf(16), 0);
  EXPECT_TRUE(run.Contains("recorded descriptor: 0 keys")) << run.output;
  EXPECT_EQ(run.exitCode, 0) << run.output;
}

TEST(Selectors, DecodedPixelsNeverHandedOverGoBackAtTheSequenceEnd) {
  // Read start, then read finish without read continue.
  const HostRun run = RunHost({"call", "1", "2", "4", "--file", Suite("basn2c08.png")});
  EXPECT_EQ(run.ResultOf(2), 0);
  EXPECT_EQ(run.ResultOf(4), 0);
  EXPECT_FALSE(run.HostProblems()) << run.output;
  EXPECT_EQ(run.exitCode, 0) << run.output;
}

TEST(Selectors, FilterAcceptsEightBitPngsOnly) {
  oracle::TempDir dir;
  const std::string shortFile = (dir.path() / "short.png").string();
  std::vector<uint8_t> png = oracle::ReadFile(Suite("basn0g08.png"));
  oracle::WriteFile(shortFile, std::vector<uint8_t>(png.begin(), png.begin() + 10));
  const std::string notPng = (dir.path() / "not.png").string();
  oracle::WriteFile(notPng, std::vector<uint8_t>(64, 'x'));
  struct Case { std::string file; std::vector<std::string> faults; int result; };
  const Case cases[] = {
      {Suite("basn0g08.png"), {}, 0},        {Suite("basn3p01.png"), {}, 0},
      {Suite("basn0g16.png"), {}, -30501},   {Suite("basn6a16.png"), {}, -30501},
      {shortFile, {}, -19},                  {notPng, {}, -30501},
      {Suite("basn0g08.png"), {"--fault", "read-fails"}, -19},
      {Suite("basn0g08.png"), {"--fault", "seek-fails"}, -20},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.faults;
    arguments.insert(arguments.end(), {"filter", c.file});
    const HostRun run = RunHost(arguments);
    EXPECT_EQ(run.ResultOf(17), c.result) << c.file << "\n" << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
  }
}

TEST(Selectors, EstimatesTheFileSizeForBothBounds) {
  struct Case { std::vector<std::string> arguments; long long estimate; };
  const Case cases[] = {
      {{"estimate", "100x50", "rgb", "--planes", "4"}, 20036},
      {{"estimate", "100x50", "indexed", "--planes", "1"}, 5804},
      {{"estimate", "100x50", "rgb", "--planes", "3", "--resources", "500"}, 15536},
      {{"estimate", "9x3", "grey", "--depth", "1", "--planes", "1"}, 42},  // (9 + 7) / 8 = 2 bytes a row
      {{"estimate", "50000x50000", "rgb", "--planes", "4"}, 2147483647},
  };
  for (const Case& c : cases) {
    const HostRun run = RunHost(c.arguments);
    auto line = run.LineAfter("estimate ");
    ASSERT_TRUE(line) << run.output;
    EXPECT_EQ(Field(*line, "min"), c.estimate) << c.arguments[1];
    EXPECT_EQ(Field(*line, "max"), c.estimate) << c.arguments[1];
    EXPECT_EQ(Field(*line, "data"), 0);
    EXPECT_EQ(Field(*line, "maxData"), 0);
    EXPECT_EQ(run.exitCode, 0) << run.output;
  }
}

}  // namespace
