// The filter search of the effort levels, through the binary as a user runs
// it: every level's output decodes (libpng) to the input's pixels and is
// never larger than the single run of level 1.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/Oracles.h"

namespace {

namespace fs = std::filesystem;

int Velkor(const std::string& args, const fs::path& dir) {
  const std::string cmd = "cd '" + dir.string() + "' && '" + VELKOR_CLI + "' " + args + " >.out 2>&1";
  return std::system(cmd.c_str());
}

TEST(FilterLevels, EveryLevelDecodesAndNeverLosesToTheSingleRun) {
  // A palette image (the palette orders join), a grey one, an RGB photo
  // slice and one with alpha.
  const char* const files[] = {"tbbn3p08.png", "basn0g08.png", "f04n2c08.png", "basn6a08.png"};
  oracle::TempDir dir;
  for (const char* name : files) {
    const fs::path source = oracle::DataDir() / "pngsuite" / name;
    ASSERT_TRUE(fs::exists(source)) << source;
    oracle::Image original;
    ASSERT_TRUE(oracle::DecodePng(oracle::ReadFile(source), original)) << name;
    size_t single = 0;
    for (const char* level : {"1", "2", "3"}) {
      const fs::path out = dir.path() / (std::string(level) + "-" + name);
      ASSERT_EQ(0, Velkor(std::string("-q -y --force -o ") + level + " --out '" + out.string() + "' '" +
                              source.string() + "'",
                          dir.path()))
          << name << " level " << level;
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
  ASSERT_EQ(0, Velkor("-v -y --force -o 2 --out out.png '" + source.string() + "'", dir.path()));
  const std::vector<uint8_t> text = oracle::ReadFile(dir.path() / ".out");
  const std::string out(text.begin(), text.end());
  // The planned runs are the single run and the best estimated proposal.
  EXPECT_NE(std::string::npos, out.find(" rows ")) << out;
}

}  // namespace
