// What the velkor command must never do to a user's files: lose the work of
// an interrupted batch or leave temporary files, rewrite damaged input
// silently, write a result larger than the input, start work it cannot
// write, or replace a link or a read-only file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "cli/CliSupport.h"

namespace fs = std::filesystem;
using namespace clitest;

namespace {

// Noisy images that take the engine several passes.
void MakeSlowImages(const fs::path& dir, const std::vector<std::string>& names) {
  std::string script =
      "from PIL import Image\n"
      "import random\n"
      "random.seed(3)\n"
      "w, h = 600, 400\n"
      "im = Image.new('RGB', (w, h))\n"
      "im.putdata([((x * y) % 251, random.randrange(64), (x ^ y) & 255) for y in range(h) for x in range(w)])\n";
  for (const auto& n : names) script += "im.save(r'" + (dir / n).string() + "', compress_level=1)\n";
  ASSERT_EQ(oracle::RunPython(script), 0);
}

}  // namespace

TEST(CliSafety, InterruptsFinishOrCancelAndSkipTheRest) {
  oracle::TempDir dir;
  MakeSlowImages(dir.path(), {"a.png", "b.png", "c.png"});
  const auto original = oracle::ReadFile(dir.path() / "a.png");
  const auto untouched = oracle::ReadFile(dir.path() / "b.png");
  const oracle::Image pixels = DecodeFile(dir.path() / "a.png");
  struct Case { int signal, count, status; bool aWritten; const char* aLine; };
  const Case cases[] = {
      {SIGINT, 1, 130, true, "a.png: "},
      {SIGINT, 2, 130, false, "a.png: cancelled; original kept"},
      {SIGTERM, 1, 143, false, "a.png: cancelled; original kept"},
      {SIGHUP, 1, 129, false, "a.png: cancelled; original kept"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.signal) + " x" + std::to_string(c.count));
    for (const char* n : {"a.png", "b.png", "c.png"}) oracle::WriteFile(dir.path() / n, n[0] == 'a' ? original : untouched);
    const CommandResult r = SignalVelkorAfter(dir.path(), {"-t", "1", "-O1", "a.png", "b.png", "c.png"}, "Out:",
                                              c.signal, c.count);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(oracle::ReadFile(dir.path() / "a.png") != original, c.aWritten);
    EXPECT_EQ(DecodeFile(dir.path() / "a.png"), pixels);
    for (const char* n : {"b.png", "c.png"}) {
      EXPECT_EQ(oracle::ReadFile(dir.path() / n), untouched) << n;
      EXPECT_NE(r.out.find(std::string(n) + ": skipped (interrupted)"), std::string::npos) << r.out;
    }
    EXPECT_NE((r.out + r.err).find(c.aLine), std::string::npos) << r.out << r.err;
    ExpectNoTemporaryFiles(dir.path());
  }
}

TEST(CliSafety, DamagedInputNeedsFix) {
  oracle::TempDir dir;
  const fs::path good = CopySuiteFile("basn2c08.png", dir.path());
  auto bytes = oracle::ReadFile(good);
  auto badCrc = bytes;
  badCrc[33 + 8 + 4] ^= 0x55;  // a byte of the first chunk after IHDR's data + CRC (IDAT data)
  auto trailing = bytes;
  for (const char c : std::string("garbage after the end")) trailing.push_back(uint8_t(c));
  struct Case { const char* name; std::vector<uint8_t> content; const char* message; };
  const Case cases[] = {{"crc.png", badCrc, "CRC error in 1 chunk"},
                        {"tail.png", trailing, "21 bytes after IEND would be lost; --fix drops them"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    oracle::WriteFile(dir.path() / c.name, c.content);
    const CommandResult refused = RunVelkor(c.name, dir.path());
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find(c.message), std::string::npos) << refused.err;
    EXPECT_EQ(oracle::ReadFile(dir.path() / c.name), c.content);
    // Level 0 makes this small file larger: a repair is written anyway, and
    // the total must then show the growth the disk sees.
    const CommandResult fixed = RunVelkor(std::string("-o 0 --fix ") + c.name, dir.path());
    EXPECT_EQ(fixed.status, 0) << fixed.err;
    std::vector<oracle::Chunk> chunks;
    const auto after = oracle::ReadFile(dir.path() / c.name);
    EXPECT_TRUE(oracle::ListChunks(after, chunks)) << "every CRC right";
    ASSERT_GE(after.size(), 12u);
    EXPECT_EQ(std::string(after.end() - 8, after.end() - 4), "IEND") << "nothing after IEND";
    const std::string total = "failed: " + std::to_string(c.content.size()) + " -> " + std::to_string(after.size());
    EXPECT_NE(fixed.out.find(total), std::string::npos) << fixed.out;
  }
  // The damaged byte lies in IDAT data: the pixels may differ, but a file
  // with only trailing data keeps its pixels.
  EXPECT_EQ(DecodeFile(dir.path() / "tail.png"), DecodeFile(good));
}

TEST(CliSafety, OutputNeverLargerAndSavingsNeverNegative) {
  oracle::TempDir dir;
  CopySuiteFile("basn2c08.png", dir.path());
  ASSERT_EQ(RunVelkor("--out opt.png basn2c08.png", dir.path()).status, 0);
  const CommandResult again = RunVelkor("--out again.png opt.png", dir.path());
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(oracle::ReadFile(dir.path() / "again.png"), oracle::ReadFile(dir.path() / "opt.png"));
  EXPECT_NE(again.out.find("kept"), std::string::npos) << again.out;
  EXPECT_NE(again.out.find("-> again.png"), std::string::npos) << again.out;
  // A small noisy JPEG becomes a larger PNG: said, and not counted as a loss.
  const std::string script =
      "from PIL import Image\n"
      "import random\n"
      "random.seed(5)\n"
      "im = Image.new('RGB', (64, 64))\n"
      "im.putdata([tuple(random.randrange(256) for _ in range(3)) for _ in range(64 * 64)])\n"
      "im.save(r'" + (dir.path() / "noise.jpg").string() + "', quality=30)\n";
  ASSERT_EQ(oracle::RunPython(script), 0);
  const CommandResult jpeg = RunVelkor("noise.jpg", dir.path());
  ASSERT_EQ(jpeg.status, 0) << jpeg.err;
  EXPECT_NE(jpeg.out.find("larger than the JPEG"), std::string::npos) << jpeg.out;
  EXPECT_NE(jpeg.out.find("(0.00% saved)"), std::string::npos) << jpeg.out;
}

TEST(CliSafety, TargetsAreCheckedBeforeAnyWork) {
  oracle::TempDir dir;
  CopySuiteFile("basn2c08.png", dir.path());
  oracle::WriteFile(dir.path() / "taken.png", {1, 2, 3});
  fs::create_directory(dir.path() / "folder");
  struct Case { const char* args; const char* message; };
  const Case cases[] = {
      {"--out taken.png basn2c08.png", "taken.png exists (use -y to overwrite)"},
      {"--out folder basn2c08.png", "--out names a folder"},
      {"--dir nowhere basn2c08.png", "--dir nowhere is not a folder"},
      {"--dir /proc basn2c08.png", "cannot write in folder /proc"},
      {"-P --out taken.png basn2c08.png", "taken.png exists (use -y to overwrite)"},
  };
  for (const Case& c : cases) {
    const CommandResult r = RunVelkor(std::string("-v ") + c.args, dir.path());
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
    EXPECT_EQ(r.err.find("Out:"), std::string::npos) << c.args << ": the engine ran";
  }
  EXPECT_EQ(oracle::ReadFile(dir.path() / "taken.png"), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(CliSafety, FilesAreDoneOnceLinksKeptReadOnlySkipped) {
  oracle::TempDir dir;
  const fs::path real = CopySuiteFile("basn2c08.png", dir.path());
  const auto original = oracle::ReadFile(real);
  fs::create_symlink("basn2c08.png", dir.path() / "link.png");
  const CommandResult twice = RunVelkor("basn2c08.png ./basn2c08.png link.png", dir.path());
  ASSERT_EQ(twice.status, 0) << twice.err;
  EXPECT_EQ(CountLines(twice.out), 2u) << "one file line and the summary: " << twice.out;
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.png"));
  EXPECT_NE(oracle::ReadFile(real), original) << "the link's target was rewritten";
  // Reached as the output, through --out or --dir, the link stays too.
  for (const char* args : {"--out link.png basn2c08.png", "--dir . link.png"}) {
    oracle::WriteFile(real, original);
    const CommandResult r = RunVelkor(args, dir.path());
    ASSERT_EQ(r.status, 0) << args << ": " << r.err;
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.png")) << args;
    EXPECT_NE(oracle::ReadFile(real), original) << args << ": the link's target was rewritten";
  }

  const fs::path locked = CopySuiteFile("basn0g08.png", dir.path());
  const auto lockedBytes = oracle::ReadFile(locked);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // A dry run answers as the real run would.
  for (const char* args : {"basn0g08.png", "-P basn0g08.png"}) {
    const CommandResult skipped = RunVelkor(args, dir.path());
    EXPECT_EQ(skipped.status, 0);
    EXPECT_NE(skipped.out.find("basn0g08.png: skipped (read-only; --force rewrites it)"), std::string::npos)
        << args << ": " << skipped.out;
  }
  EXPECT_EQ(oracle::ReadFile(locked), lockedBytes);
  EXPECT_EQ(RunVelkor("--force basn0g08.png", dir.path()).status, 0);
  EXPECT_NE(oracle::ReadFile(locked), lockedBytes);
  EXPECT_EQ(fs::status(locked).permissions() & fs::perms::owner_write, fs::perms::none) << "still read-only";
}
