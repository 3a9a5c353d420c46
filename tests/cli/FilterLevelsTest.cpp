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

namespace {

std::string VelkorOutput(const std::string& args, const fs::path& dir) {
  if (Velkor(args, dir) != 0) return "failed";
  const std::vector<uint8_t> text = oracle::ReadFile(dir / ".out");
  return std::string(text.begin(), text.end());
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

TEST(FilterLevels, OptimalParserKeepsEveryChunkAndLeavesExplicitChoicesAlone) {
  // Kept metadata before and after the image data, a palette with tRNS, a
  // text-laden grey image: the rewritten image data changes no other chunk.
  oracle::TempDir dir;
  for (const char* name : {"ccwn2c08.png", "ct1n0g04.png", "cm0n0g04.png", "tbbn3p08.png"}) {
    SCOPED_TRACE(name);
    const fs::path source = oracle::DataDir() / "pngsuite" / name;
    for (const char* level : {"1", "2", "max"}) {
      const fs::path out = dir.path() / (std::string(level) + ".png");
      VelkorOutput(std::string("-q -y --force -o ") + level + " --out '" + out.string() + "' '" + source.string() + "'",
          dir.path());
    }
    EXPECT_EQ(MetadataAroundImageData(dir.path() / "1.png"), MetadataAroundImageData(dir.path() / "2.png"));
    EXPECT_EQ(MetadataAroundImageData(dir.path() / "1.png"), MetadataAroundImageData(dir.path() / "max.png"));
    oracle::Image original, two, top;
    ASSERT_TRUE(oracle::DecodePng(oracle::ReadFile(source), original));
    ASSERT_TRUE(oracle::DecodePng(oracle::ReadFile(dir.path() / "2.png"), two));
    ASSERT_TRUE(oracle::DecodePng(oracle::ReadFile(dir.path() / "max.png"), top));
    EXPECT_EQ(original, two);
    EXPECT_EQ(original, top);
  }
  // A parse, split or pass limit the user names is kept: the engine's own
  // stream stands.
  const fs::path source = oracle::DataDir() / "pngsuite" / "ccwn2c08.png";
  for (const char* choice : {"-s 0", "-b 0", "--passes 3"}) {
    const std::string out = VelkorOutput(std::string("-v -y --force -o 2 ") + choice + " --out o.png '" + source.string() + "'",
                                dir.path());
    EXPECT_EQ(std::string::npos, out.find("optimal parser")) << choice << "\n" << out;
  }
  EXPECT_NE(std::string::npos,
            VelkorOutput("-v -y --force -o 2 --out o.png '" + source.string() + "'", dir.path()).find("optimal parser"));
}
