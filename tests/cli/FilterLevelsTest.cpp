// The filter search of the effort levels, through the binary as a user runs
// it: every level's output decodes (libpng) to the input's pixels and is
// never larger than the single run of level 1 (-O1 and -O2 are -o 1 and -o 2).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/CliSupport.h"

namespace {

namespace fs = std::filesystem;
using clitest::CommandResult;
using clitest::RunVelkor;

TEST(FilterLevels, EveryLevelDecodesAndNeverLosesToTheSingleRun) {
  // Palette images with and without transparency (the palette orders join),
  // grey at 4 and 8 bits, an RGB photo slice and one with alpha.
  const char* const files[] = {"tbbn3p08.png", "tp1n3p08.png", "basn0g04.png", "basn0g08.png", "f04n2c08.png",
                               "basn6a08.png"};
  oracle::TempDir dir;
  for (const char* name : files) {
    const fs::path source = oracle::DataDir() / "pngsuite" / name;
    oracle::Image original;
    ASSERT_TRUE(oracle::DecodePng(oracle::ReadFile(source), original)) << name;
    size_t single = 0;
    for (const char* level : {"1", "2", "3"}) {
      const fs::path out = dir.path() / (std::string(level) + "-" + name);
      const CommandResult r =
          RunVelkor(std::string("-q -y --force -o ") + level + " --out '" + out.string() + "' '" + source.string() + "'",
                    dir.path());
      ASSERT_EQ(r.status, 0) << name << " level " << level << ": " << r.err;
      const std::vector<uint8_t> png = oracle::ReadFile(out);
      oracle::Image decoded;
      ASSERT_TRUE(oracle::DecodePng(png, decoded)) << name << " level " << level;
      EXPECT_EQ(original, decoded) << name << " level " << level;
      if (single == 0) single = png.size();
      EXPECT_LE(png.size(), single) << name << " level " << level;
    }
  }
}

TEST(FilterLevels, VerboseNamesTheWinningSearch) {
  oracle::TempDir dir;
  const fs::path source = oracle::DataDir() / "pngsuite" / "f04n2c08.png";
  const CommandResult r = RunVelkor("-v -y --force -o 2 --out out.png '" + source.string() + "'", dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  // The planned runs are the single run and the best estimated proposal.
  EXPECT_NE(std::string::npos, (r.out + r.err).find(" rows ")) << r.out << r.err;
}

}  // namespace
