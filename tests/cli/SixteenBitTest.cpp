// 16-bit images through the velkor command: never refused, never changed in
// a sample (libpng reads both files at 16 bits), never larger, and down to 8
// bits exactly when every sample is v * 257.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/CliSupport.h"

namespace fs = std::filesystem;
using namespace clitest;

namespace {

int BitDepthOf(const fs::path& png) { return oracle::ReadFile(png).at(24); }

void ExpectSameSamples(const fs::path& before, const fs::path& after) {
  std::vector<uint16_t> a, b;
  int wa = 0, ha = 0, wb = 0, hb = 0;
  ASSERT_TRUE(DecodePng16(oracle::ReadFile(before), a, wa, ha)) << before;
  ASSERT_TRUE(DecodePng16(oracle::ReadFile(after), b, wb, hb)) << after;
  EXPECT_EQ(wa, wb);
  EXPECT_EQ(ha, hb);
  EXPECT_TRUE(a == b) << after << " samples differ";
}

}  // namespace

TEST(CliSixteenBit, EverySuiteFileKeepsItsSamples) {
  oracle::TempDir dir;
  fs::create_directory(dir.path() / "out");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(oracle::DataDir() / "pngsuite")) {
    const std::string name = entry.path().filename().string();
    if (name.size() > 6 && name.compare(name.size() - 6, 6, "16.png") == 0) names.push_back(name);
  }
  ASSERT_GE(names.size(), 20u);
  std::string args = "--dir out";
  for (const auto& name : names) args += " " + CopySuiteFile(name, dir.path()).filename().string();
  const CommandResult r = RunVelkor(args, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  int reduced = 0;
  for (const auto& name : names) {
    SCOPED_TRACE(name);
    const fs::path out = dir.path() / "out" / name;
    ExpectSameSamples(dir.path() / name, out);
    EXPECT_LE(fs::file_size(out), fs::file_size(dir.path() / name));
    // The oi* files cut one stream into many IDAT chunks; one chunk is smaller.
    if (name.rfind("oi", 0) == 0 && name[2] != '1') {
      EXPECT_LT(fs::file_size(out), fs::file_size(dir.path() / name));
    }
    reduced += BitDepthOf(out) <= 8 ? 1 : 0;
  }
  // The gamma series (gNNn0g16) holds grey levels that are all v * 257.
  EXPECT_GE(reduced, 6) << r.out;
}

TEST(CliSixteenBit, MadeFilesReduceOnlyWhenLossless) {
  oracle::TempDir dir;
  const std::string script =
      "def make(path, ct, channels, off, trns=b''):\n"
      "    w, h = 19, 11\n"
      "    px = b''\n"
      "    for y in range(h):\n"
      "        for x in range(w):\n"
      "            for c in range(channels):\n"
      "                v = (x * 13 + y * 7 + c * 50) % 256\n"
      "                s = v * 257\n"
      "                if off and x == 5 and y == 3 and c == 0: s += 1\n"
      "                px += struct.pack('>H', s)\n"
      "    extra = chunk(b'tRNS', trns) if trns else b''\n"
      "    extra += chunk(b'sBIT', bytes([16] * min(channels, 3 if ct >= 2 else 1)))\n"
      "    open(path, 'wb').write(SIG + ihdr(w, h, 16, ct) + extra + chunk(b'IDAT', rows(px, w, h, channels * 2)) + IEND)\n"
      "import os\n"
      "os.chdir(r'" + dir.path().string() + "')\n"
      "make('rgba.png', 6, 4, False)\n"
      "make('rgba-off.png', 6, 4, True)\n"
      "make('grey-key.png', 0, 1, False, struct.pack('>H', 20 * 257))\n"
      "make('rgb-off.png', 2, 3, True, struct.pack('>HHH', 1, 2, 3))\n";
  ASSERT_EQ(RunPythonPng(script), 0);
  struct Case { const char* name; bool reducible; };
  for (const Case& c : {Case{"rgba.png", true}, Case{"rgba-off.png", false}, Case{"grey-key.png", true},
                        Case{"rgb-off.png", false}}) {
    SCOPED_TRACE(c.name);
    const CommandResult r = RunVelkor(std::string("-y --out out.png ") + c.name, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectSameSamples(dir.path() / c.name, dir.path() / "out.png");
    EXPECT_EQ(BitDepthOf(dir.path() / "out.png") <= 8, c.reducible);
    EXPECT_LE(fs::file_size(dir.path() / "out.png"), fs::file_size(dir.path() / c.name));
    // A reduced image's sBIT (16 bits) would be wrong at 8 and is dropped.
    EXPECT_EQ(ChunkTypes(dir.path() / "out.png").find("sBIT") == std::string::npos, c.reducible);
  }
}

TEST(CliSixteenBit, SearchingLevelsRefilterAndDropInterlacing) {
  // Interlaced and plain sources, grey to RGBA.  Level 1 keeps the source's
  // rows; level 2 filters them afresh, without interlacing, and never ends
  // larger than level 1.
  oracle::TempDir dir;
  for (const char* name : {"basi0g16.png", "basi4a16.png", "basi6a16.png", "basn4a16.png", "basn2c16.png"}) {
    SCOPED_TRACE(name);
    const fs::path source = CopySuiteFile(name, dir.path());
    const bool interlaced = oracle::ReadFile(source).at(28) == 1;
    ASSERT_EQ(RunVelkor(std::string("-y -o 1 --out one.png ") + name, dir.path()).status, 0);
    ASSERT_EQ(RunVelkor(std::string("-y -o 2 --out two.png ") + name, dir.path()).status, 0);
    const std::vector<uint8_t> one = oracle::ReadFile(dir.path() / "one.png");
    const std::vector<uint8_t> two = oracle::ReadFile(dir.path() / "two.png");
    EXPECT_EQ(one.at(28), interlaced ? 1 : 0);
    EXPECT_EQ(two.at(28), 0);
    EXPECT_LE(two.size(), one.size());
    ExpectSameSamples(source, dir.path() / "two.png");
    // The refiltered stream is the image's rows exactly, each with a valid
    // filter type.
    std::vector<uint8_t> rows;
    ASSERT_TRUE(oracle::InflateIdat(two, rows));
    const size_t channels = std::string(name).find("4a") != std::string::npos   ? 2
                            : std::string(name).find("6a") != std::string::npos ? 4
                            : std::string(name).find("2c") != std::string::npos ? 3
                                                                                 : 1;
    const size_t rowBytes = 32 * channels * 2 + 1;
    ASSERT_EQ(rows.size(), rowBytes * 32);
    for (size_t y = 0; y < 32; ++y) EXPECT_LE(rows[y * rowBytes], 4) << "row " << y;
  }
}

TEST(CliSixteenBit, SuggestedPaletteOfTrueColourFollowsTheChunkPolicy) {
  oracle::TempDir dir;
  CopySuiteFile("pp0n2c16.png", dir.path());
  struct Case { const char* args; bool keepsPalette; };
  for (const Case& c : {Case{"", true}, Case{"--strip all", false}, Case{"-k gAMA", false}}) {
    SCOPED_TRACE(c.args);
    const CommandResult r = RunVelkor(std::string("-y --out out.png ") + c.args + " pp0n2c16.png", dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ChunkTypes(dir.path() / "out.png").find("PLTE") != std::string::npos, c.keepsPalette);
    ExpectSameSamples(dir.path() / "pp0n2c16.png", dir.path() / "out.png");
  }
}
