// What the module tells a host before any call: its property list,
// scripting terminology and version, read back from the built module; and
// the load log its load and unload append to.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "HostRunner.h"
#include "support/Oracles.h"

namespace {

using hosttest::HostRun;
using hosttest::RunHost;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

TEST(Resources, ThePropertyListHoldsTheSeventeenPropertiesInOrder) {
  const HostRun run = RunHost({"pipl"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::vector<std::string> expected = {
      "PiPL 16000: version 0, 17 properties",
      "kind 8BIM 4 46 49 42 38",
      "name 8BIM 8 06 56 45 4c 4b 4f 52 00",
      "vers 8BIM 4 00 00 01 00",
      "wx86 8BIM 12 50 6c 75 67 69 6e 4d 61 69 6e 00 00",
      "hstm 8BIM 44 00 00 00 00 72 6b 6c 76 6c 6c 75 6e 80 3e 51 75 65 6e 62 75 72 79 20 49 6d 61 67 69 6e 67 "
      "2c 20 4c 4c 43 20 56 45 4c 4b 4f 52 00 00",
      "mode 8BIM 4 30 00 00 00",
      "enbl 8BIM 8 74 72 75 65 00 00 00 00",
      "ms32 8BIM 8 ff ff ff 7f ff ff ff 7f",
      "mxsz 8BIM 4 ff 7f ff 7f",
      "mxch 8BIM 24 01 00 04 00 04 00 04 00 04 00 04 00 04 00 04 00 04 00 18 00 04 00 04 00",
      "fmTC 8BIM 8 20 47 4e 50 4d 49 42 38",
      "fftT 8BIM 8 46 31 42 38 20 20 20 20",
      "RdEx 8BIM 4 20 47 4e 50",
      "WrEx 8BIM 4 20 47 4e 50",
      "fftE 8BIM 4 20 47 4e 50",
      "fmtf 8BIM 4 7e 00 00 00",
      "fmip 8BIM 4 00 00 00 00",
  };
  EXPECT_EQ(Lines(run.output), expected);
}

// The terminology spelled out field by field, as a reader of the resource
// format would write it down.
std::vector<uint8_t> ExpectedAete() {
  std::vector<uint8_t> b;
  auto u16 = [&](std::initializer_list<uint16_t> values) {
    for (uint16_t v : values) b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
  };
  auto code = [&](const char* c) {
    for (int i = 3; i >= 0; --i) b.push_back(uint8_t(c[i]));
  };
  auto text = [&](const std::string& s) {
    b.push_back(uint8_t(s.size()));
    b.insert(b.end(), s.begin(), s.end());
  };
  // A 16-bit 1, format version 1.0, language 0, script 0, one suite.
  u16({1});
  b.insert(b.end(), {1, 0});
  u16({0, 0, 1});
  // The suite: vendor, description, id, level 1, version 1, no events, one class.
  text("Quenbury Imaging, LLC"), text("VELKOR Optimized PNG plug-in"), code("qnbr"), u16({1, 1, 0, 1});
  // The class and its three properties (name, key, type, description, flags).
  text("Quenbury Imaging, LLC VELKOR"), code("vlkr"), text("Optimized PNG file format module"), u16({3});
  text("<Inheritance>"), code("c@#^"), code("Fmt "), text("parent class format"), u16({0x1000});
  text("foo"), code("fooB"), code("bool"), text("foobar"), u16({0x1000});
  text("bar"), code("barF"), code("bool"), text("foobar"), u16({0x1000});
  // No elements, comparison operators or enumerations.
  u16({0, 0, 0});
  return b;
}

TEST(Resources, TheTerminologyMatchesItsFieldByFieldSpelling) {
  oracle::TempDir dir;
  const std::string out = (dir.path() / "aete.bin").string();
  const HostRun run = RunHost({"resource", "AETE", "16000", out});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(oracle::ReadFile(out), ExpectedAete());
  EXPECT_NE(RunHost({"resource", "AETE", "16001", out}).exitCode, 0);
}

TEST(Resources, TheVersionTextComesFromTheProjectVersion) {
  const HostRun run = RunHost({"version"});
  EXPECT_EQ(run.LineAfter("ProductVersion "), VELKOR_PRODUCT_VERSION) << run.output;
}

TEST(Resources, LoadingAndUnloadingAppendOneLineEachToTheLoadLog) {
  oracle::TempDir dir;
  const std::string environment = "TMPDIR=" + dir.path().string();
  ASSERT_EQ(RunHost({"version"}, environment).exitCode, 0);
  ASSERT_EQ(RunHost({"version"}, environment).exitCode, 0);
  std::ifstream log(dir.path() / "LoadLogTextFormat.txt");
  std::stringstream text;
  text << log.rdbuf();
  const std::vector<std::string> lines = Lines(text.str());
  ASSERT_EQ(lines.size(), 4u) << text.str();
  const std::string when = " DllMain: [A-Z][a-z]{2} [A-Z][a-z]{2} [0-3][0-9] [0-9:]{8} [0-9]{4}";
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string reason = i % 2 == 0 ? "DLL_PROCESS_ATTACH" : "DLL_PROCESS_DETACH";
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(reason + when))) << lines[i];
  }
}

}  // namespace
