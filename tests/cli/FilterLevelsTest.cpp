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

std::string VelkorOutput(const std::string& args, const fs::path& dir) {
  const CommandResult r = RunVelkor(args, dir);
  return r.status == 0 ? r.out + r.err : "failed";
}

// The kept metadata in file order, with where the image data stands; the
// chunks the engine writes for the colour type it chose (PLTE, tRNS, bKGD)
// may differ between levels.
std::string MetadataAroundImageData(const fs::path& png) {
  std::vector<oracle::Chunk> chunks;
  EXPECT_TRUE(oracle::ListChunks(oracle::ReadFile(png), chunks)) << png;
  std::string all;
  for (const auto& c : chunks) {
    if (c.type != "PLTE" && c.type != "tRNS" && c.type != "bKGD") all += c.type + " ";
  }
  return all;
}

}  // namespace

// Palette images with and without transparency (the palette orders join),
// grey at 4 and 8 bits, an RGB photo slice and one with alpha, and files
// with kept metadata before and after the image data: at every level the
// output decodes to the input's pixels, is never larger than level 1's
// single run, and the rewritten image data changes no other chunk.
TEST(FilterLevels, EveryLevelDecodesKeepsTheChunksAndNeverLosesToTheSingleRun) {
  oracle::TempDir dir;
  for (const char* name : {"tbbn3p08.png", "tp1n3p08.png", "basn0g04.png", "basn0g08.png", "f04n2c08.png", "basn6a08.png",
                           "ccwn2c08.png", "ct1n0g04.png", "cm0n0g04.png"}) {
    SCOPED_TRACE(name);
    const fs::path source = oracle::DataDir() / "pngsuite" / name;
    oracle::Image original;
    ASSERT_TRUE(oracle::DecodePng(oracle::ReadFile(source), original));
    for (const char* level : {"1", "2", "3", "max"}) {
      SCOPED_TRACE(level);
      const fs::path out = dir.path() / (std::string(level) + ".png");
      const std::string args = std::string("-q -y --force -o ") + level + " --out '" + out.string() + "' '" + source.string() + "'";
      ASSERT_NE(VelkorOutput(args, dir.path()), "failed");
      oracle::Image decoded;
      ASSERT_TRUE(oracle::DecodePng(oracle::ReadFile(out), decoded));
      EXPECT_EQ(original, decoded);
      EXPECT_LE(fs::file_size(out), fs::file_size(dir.path() / "1.png"));
      EXPECT_EQ(MetadataAroundImageData(out), MetadataAroundImageData(dir.path() / "1.png"));
    }
  }
}

TEST(FilterLevels, ExplicitChoicesAreLeftAlone) {
  oracle::TempDir dir;
  // A parse, split or pass limit the user names is kept: the engine's own
  // stream stands.
  const fs::path source = oracle::DataDir() / "pngsuite" / "ccwn2c08.png";
  // The top level's last deflate of the winner too.
  for (const char* level : {"2", "max"}) {
    for (const char* choice : {"-s 0", "-b 0", "--passes 3"}) {
      const std::string out = VelkorOutput(std::string("-v -y --force -o ") + level + " " + choice + " --out o.png '" +
                                               source.string() + "'",
                                           dir.path());
      EXPECT_EQ(std::string::npos, out.find("optimal parser")) << level << " " << choice << "\n" << out;
    }
  }
  // Left alone, the level plans the single run and the best estimated
  // proposal of rows, and the optimal parser has the last word.
  const std::string chosen = VelkorOutput("-v -y --force -o 2 --out o.png '" + source.string() + "'", dir.path());
  EXPECT_NE(std::string::npos, chosen.find("optimal parser")) << chosen;
  EXPECT_NE(std::string::npos, chosen.find(" rows ")) << chosen;
}
