// The velkor command as a user runs it: real files in a temporary folder,
// outputs checked by libpng (pixels) against the inputs decoded by libpng or
// written by Pillow.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliSupport.h"
#include "support/Oracles.h"

namespace fs = std::filesystem;
using namespace clitest;

TEST(Cli, BadUsageExitsWithTwo) {
  oracle::TempDir dir;
  const auto bytes = oracle::ReadFile(CopySuiteFile("g04n2c08.png", dir.path()));
  EXPECT_EQ(RunVelkor("", dir.path()).status, 2);
  EXPECT_EQ(RunVelkor("--no-such-option x.png", dir.path()).status, 2);
  EXPECT_EQ(RunVelkor("--out out.png a.png b.png", dir.path()).status, 2);
  EXPECT_EQ(RunVelkor("--json --stdout a.png", dir.path()).status, 2);
  EXPECT_EQ(RunVelkor("--out o.png --dir d a.png", dir.path()).status, 2);
  // A value out of range says which values there are (optipng's -o7 is a
  // habit users bring); a name that is not a chunk type gets a suggestion
  // when only the letter case is wrong.  Nothing is written.
  for (const auto& [args, message] : std::vector<std::pair<std::string, std::string>>{
           {"-o7", "bad value '7' for -o (0..6 or max)"},
           {"--filter=9", "bad value '9' for --filter (0..5)"},
           {"-c 5", "bad value '5' for -c (0, 2, 3, 4 or 6)"},
           {"-k gama", "gama: did you mean gAMA?"},
           {"--keep text", "text: did you mean tEXt?"},
           {"--strip bogus", "bogus: not a chunk type"}}) {
    const CommandResult bad = RunVelkor(args + " g04n2c08.png", dir.path());
    EXPECT_EQ(bad.status, 2) << args;
    EXPECT_NE(bad.err.find(message), std::string::npos) << args << ": " << bad.err;
    EXPECT_EQ(oracle::ReadFile(dir.path() / "g04n2c08.png"), bytes) << args;
  }
  const CommandResult help = RunVelkor("--help", dir.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: velkor"), std::string::npos);
  // The help is read in 80-column terminals, where a longer line wraps
  // into the next option's column.
  std::istringstream lines(help.out);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 79u) << line;
}

// Every output decodes to the input's pixels, and an in-place run never
// makes a file larger.
TEST(Cli, InPlaceRunsKeepPixelsAndNeverGrow) {
  oracle::TempDir dir;
  const std::vector<std::string> names = {"basn0g01.png", "basn0g08.png", "basn2c08.png", "basn3p04.png",
                                          "basn4a08.png", "basn6a08.png", "basi3p08.png", "tbrn2c08.png",
                                          "tp1n3p08.png", "s09n3p02.png", "z09n2c08.png", "bgai4a08.png"};
  std::vector<oracle::Image> before;
  std::vector<uintmax_t> sizes;
  std::string args = "-j 2";
  for (const auto& name : names) {
    const fs::path p = CopySuiteFile(name, dir.path());
    before.push_back(DecodeFile(p));
    sizes.push_back(fs::file_size(p));
    args += " " + name;
  }
  const CommandResult r = RunVelkor(args, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  for (size_t i = 0; i < names.size(); ++i) {
    const fs::path p = dir.path() / names[i];
    EXPECT_LE(fs::file_size(p), sizes[i]) << names[i];
    EXPECT_EQ(DecodeFile(p), before[i]) << names[i];
  }
}

// A folder of bad inputs, and an unwritable target: each gets one error line
// naming it, the good file among them is still done, and inputs stay.
TEST(Cli, BadInputsAreNamedAndOthersStillDone) {
  oracle::TempDir dir;
  const fs::path good = CopySuiteFile("basn2c08.png", dir.path());
  auto png = oracle::ReadFile(good);
  oracle::WriteFile(dir.path() / "truncated.png", std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 2));
  const std::string text = "just some text, not an image\n";
  oracle::WriteFile(dir.path() / "notes.txt", std::vector<uint8_t>(text.begin(), text.end()));
  const oracle::Image expected = DecodeFile(good);

  const CommandResult run = RunVelkor("-O1 truncated.png notes.txt missing.png basn2c08.png", dir.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(CountLines(run.err), 3u) << run.err;
  for (const char* name : {"truncated.png:", "notes.txt:", "missing.png:"}) {
    EXPECT_NE(run.err.find(name), std::string::npos) << name << " in " << run.err;
  }
  EXPECT_EQ(DecodeFile(good), expected);
  EXPECT_EQ(oracle::ReadFile(dir.path() / "truncated.png").size(), png.size() / 2) << "bad input left alone";

  const auto before = oracle::ReadFile(good);
  const CommandResult unwritable = RunVelkor("-O1 basn2c08.png --out /no/such/folder/out.png", dir.path());
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("basn2c08.png"), std::string::npos) << unwritable.err;
  EXPECT_EQ(CountLines(unwritable.err), 1u) << unwritable.err;
  EXPECT_EQ(oracle::ReadFile(good), before);
}

// Colour types or depths the image cannot take fail with the engine's own
// words.
TEST(Cli, ImpossibleOptionsFailWithTheEngineMessage) {
  oracle::TempDir dir;
  CopySuiteFile("basn2c08.png", dir.path());
  CopySuiteFile("basn6a08.png", dir.path());
  for (const auto& [args, message] : {std::pair{"-c 0 --out g.png basn2c08.png", "is not grayscale"},
                                      std::pair{"-c 2 --out r.png basn6a08.png", "Image requires full alpha; try -c 6 (RGB+Alpha) instead"},
                                      std::pair{"-c 2 -d 4 --out d.png basn2c08.png", "Image doesn't fit in selected bitdepth"}}) {
    const CommandResult r = RunVelkor(args, dir.path());
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
  }
}

// Other formats become NAME.png beside the input, with the same pixels as
// Pillow reads from the input; an existing NAME.png needs -y.
TEST(Cli, ConvertsOtherFormatsBesideTheInput) {
  oracle::TempDir dir;
  const std::string script =
      "from PIL import Image\n"
      "import random\n"
      "random.seed(7)\n"
      "im = Image.new('RGB', (37, 23))\n"
      "im.putdata([(random.randrange(256), x * 7 % 256, 90) for x in range(37 * 23)])\n"
      "im.save(r'" + (dir.path() / "pic.bmp").string() + "')\n"
      "im.save(r'" + (dir.path() / "pic.png").string() + ".ref.png')\n";
  ASSERT_EQ(oracle::RunPython(script), 0);
  const CommandResult r = RunVelkor("-O1 pic.bmp", dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(DecodeFile(dir.path() / "pic.png"), DecodeFile(dir.path() / "pic.png.ref.png"));
  const CommandResult again = RunVelkor("-O1 pic.bmp", dir.path());
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("-y"), std::string::npos) << again.err;
  EXPECT_EQ(RunVelkor("-O1 -y pic.bmp", dir.path()).status, 0);
}

// The default keeps every chunk that stays valid; --strip and --keep name
// what goes and what stays, in case-sensitive chunk types.
TEST(Cli, ChunkPolicies) {
  oracle::TempDir dir;
  CopySuiteFile("ct1n0g04.png", dir.path());  // tEXt chunks
  CopySuiteFile("g04n2c08.png", dir.path());  // gAMA
  CopySuiteFile("cs3n2c16.png", dir.path());  // sBIT
  struct Case { const char* args; const char* input; std::vector<const char*> present, absent; };
  const Case cases[] = {
      {"", "ct1n0g04.png", {"tEXt"}, {}},
      {"", "g04n2c08.png", {"gAMA"}, {}},
      {"--strip safe", "ct1n0g04.png", {}, {"tEXt"}},
      {"--strip safe", "g04n2c08.png", {"gAMA"}, {}},
      {"--strip all", "g04n2c08.png", {}, {"gAMA"}},
      {"--strip tEXt", "ct1n0g04.png", {}, {"tEXt"}},
      {"--keep 'gAMA, cHRM'", "g04n2c08.png", {"gAMA"}, {}},
      {"-k gAMA", "ct1n0g04.png", {}, {"tEXt"}},
      {"-k ALL", "ct1n0g04.png", {"tEXt"}, {}},
  };
  for (const Case& c : cases) {
    const CommandResult r = RunVelkor(std::string("-O1 -y --force --out out.png ") + c.args + " " + c.input, dir.path());
    ASSERT_EQ(r.status, 0) << c.args << r.err;
    const std::string types = ChunkTypes(dir.path() / "out.png");
    for (const char* t : c.present) EXPECT_NE(types.find(t), std::string::npos) << c.args << " " << types;
    for (const char* t : c.absent) EXPECT_EQ(types.find(t), std::string::npos) << c.args << " " << types;
  }
}

// The flags users bring from optipng and oxipng: -o is the effort level,
// values attach or follow, out-of-range values are refused; empty entries
// of a keep list are no error.
TEST(Cli, PeerConventionsForFlags) {
  oracle::TempDir dir;
  CopySuiteFile("basn2c08.png", dir.path());
  struct Case { const char* args; int status; };
  const Case cases[] = {
      {"-o 4 --trials 0 basn2c08.png", 0}, {"-o0 basn2c08.png", 0},   {"-o max --trials 0 basn2c08.png", 0},
      {"-j2 -O1 basn2c08.png", 0},         {"-O 1 basn2c08.png", 0},  {"-t 2 -o 1 basn2c08.png", 0},
      {"-o 7 basn2c08.png", 2},            {"-n 5000 basn2c08.png", 2}, {"-b -5 basn2c08.png", 2},
      {"-b nan basn2c08.png", 2},          {"-b inf basn2c08.png", 2}, {"-r basn2c08.png --random-tables -O1", 0},
      {"--keep 'gAMA,,' basn2c08.png", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(RunVelkor(c.args, dir.path()).status, c.status) << c.args;
  EXPECT_FALSE(fs::exists(dir.path() / "4")) << "-o 4 is a level, not a file name";
  const CommandResult version = RunVelkor("--version", dir.path());
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("velkor ", 0), 0u) << version.out;
}

// A run killed in the middle leaves the input intact.
TEST(Cli, KilledRunLeavesInputIntact) {
  oracle::TempDir dir;
  const fs::path input = dir.path() / "big.png";
  fs::copy_file(oracle::SourceDir() / "samples" / "tango-icon-address-book-new-128-rsvg-convert.png", input);
  const auto bytes = oracle::ReadFile(input);
  for (int delayMs : {50, 300}) {
    SignalVelkor(dir.path(), {"-O3", "big.png"}, SIGKILL, 1, delayMs);
    const auto after = oracle::ReadFile(input);
    if (after != bytes) {
      // The run got to finish its write: the file must then be a whole,
      // valid PNG with the same pixels.
      oracle::Image a, b;
      ASSERT_TRUE(oracle::DecodePng(after, a));
      ASSERT_TRUE(oracle::DecodePng(bytes, b));
      EXPECT_EQ(a, b);
    }
  }
}

// An RGB source's bKGD holds 16-bit samples; the chunk extraction marks it
// present without a colour, so the command reads the colour itself: white
// stays white, not black.
TEST(Cli, TrueColourBackgroundKeepsItsColour) {
  oracle::TempDir dir;
  CopySuiteFile("bgwn6a08.png", dir.path());
  ASSERT_EQ(RunVelkor("-O1 --force --out out.png bgwn6a08.png", dir.path()).status, 0);
  std::vector<oracle::Chunk> chunks;
  ASSERT_TRUE(oracle::ListChunks(oracle::ReadFile(dir.path() / "out.png"), chunks));
  const auto bkgd = std::find_if(chunks.begin(), chunks.end(), [](const oracle::Chunk& c) { return c.type == "bKGD"; });
  ASSERT_NE(bkgd, chunks.end());
  EXPECT_EQ(bkgd->data, (std::vector<uint8_t>{0, 255, 0, 255, 0, 255}));
}
