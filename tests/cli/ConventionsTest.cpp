// The habits users bring from optipng, oxipng and zopflipng, through the
// velkor command: streams, folders, dry runs, kept times, machine-readable
// reports, messages in the command's own flags, and a status line that fits
// a narrow terminal.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "cli/CliSupport.h"
#include "cli/ProgressDisplay.h"

namespace fs = std::filesystem;
using namespace clitest;

TEST(CliConventions, StandardInputAndOutput) {
  oracle::TempDir dir;
  const fs::path input = CopySuiteFile("basn3p04.png", dir.path());
  const CommandResult r = RunVelkor("--stdout -", dir.path(), input.string());
  ASSERT_EQ(r.status, 0) << r.err;
  // The reports went to stderr: stdout holds the PNG alone.
  oracle::WriteFile(dir.path() / "out.png", std::vector<uint8_t>(r.out.begin(), r.out.end()));
  EXPECT_EQ(DecodeFile(dir.path() / "out.png"), DecodeFile(input));
  EXPECT_LT(fs::file_size(dir.path() / "out.png"), fs::file_size(input));
  EXPECT_NE(r.err.find("-:"), std::string::npos) << r.err;
  const CommandResult toFile = RunVelkor("--out fromstdin.png -", dir.path(), input.string());
  ASSERT_EQ(toFile.status, 0) << toFile.err;
  EXPECT_EQ(DecodeFile(dir.path() / "fromstdin.png"), DecodeFile(input));
  EXPECT_EQ(RunVelkor("-", dir.path(), input.string()).status, 2) << "stdin needs somewhere to write";
  const CommandResult empty = RunVelkor("--stdout -", dir.path(), "/dev/null");
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.err.find("velkor: -: standard input is empty"), std::string::npos) << empty.err;
}

TEST(CliConventions, RecursionPretendPreserveAndJson) {
  oracle::TempDir dir;
  fs::create_directories(dir.path() / "art/icons");
  CopySuiteFile("basn3p04.png", dir.path() / "art");
  CopySuiteFile("basn2c08.png", dir.path() / "art/icons");
  const std::string script =
      "from PIL import Image\n"
      "Image.new('RGB', (9, 9), (1, 2, 3)).save(r'" + (dir.path() / "art/icons/flat.bmp").string() + "')\n";
  ASSERT_EQ(oracle::RunPython(script), 0);
  const fs::path deep = dir.path() / "art/icons/basn2c08.png";
  const auto before = oracle::ReadFile(deep);

  EXPECT_EQ(RunVelkor("art", dir.path()).status, 1) << "a folder without -r";
  const CommandResult pretend = RunVelkor("-r -P art", dir.path());
  ASSERT_EQ(pretend.status, 0) << pretend.err;
  EXPECT_EQ(oracle::ReadFile(deep), before) << "--pretend writes nothing";
  EXPECT_NE(pretend.out.find("pretend"), std::string::npos) << pretend.out;

  struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, deep.c_str(), old, 0), 0);
  const CommandResult json = RunVelkor("-r -p --json art", dir.path());
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_NE(oracle::ReadFile(deep), before);
  struct stat st {};
  ASSERT_EQ(::stat(deep.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000) << "--preserve keeps the modification time";
  EXPECT_FALSE(fs::exists(dir.path() / "art/icons/flat.png")) << "-r takes PNG files only without --convert";

  // Every line parses as JSON, one object per PNG file found.
  oracle::WriteFile(dir.path() / "report.json", std::vector<uint8_t>(json.out.begin(), json.out.end()));
  std::string parsed;
  ASSERT_EQ(oracle::RunPython("import json\n"
                              "for line in open(r'" + (dir.path() / "report.json").string() + "'):\n"
                              "    o = json.loads(line)\n"
                              "    print(o['status'], o['bytes_before'] >= o['bytes_after'], o['file'].endswith('.png'))\n",
                              &parsed), 0);
  EXPECT_EQ(parsed, "written True True\nwritten True True\n");
  ASSERT_EQ(RunVelkor("-r --convert art", dir.path()).status, 0);
  EXPECT_TRUE(fs::exists(dir.path() / "art/icons/flat.png"));
}

TEST(CliConventions, VerboseNamesTheWinnerAndDroppedChunksInWords) {
  oracle::TempDir dir;
  CopySuiteFile("ct1n0g04.png", dir.path());
  const CommandResult r = RunVelkor("-v --strip safe --out out.png ct1n0g04.png", dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("won: grey"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("dropped chunks: tEXt"), std::string::npos) << r.out;
  EXPECT_EQ(r.err.find(" /c"), std::string::npos) << "engine switches shown as flags: " << r.err;
  EXPECT_NE(r.err.find("-c 0"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("auto"), std::string::npos) << r.err;
}

// A pseudo-terminal 40 columns wide: every redraw of the status line fits
// in 39 characters and names the file as "1/1 name: pass N", and with -v the
// engine's lines replace the status line instead of running on from it.
namespace {

// Runs velkor -O1 (with -v when verbose) on a slow file in a 40-column
// pseudo-terminal; with interrupt, sends SIGINT once the status line shows.
// Prints (through Python) whether a status line was seen, the longest one,
// the first one, with interrupt whether the note of the interrupt replaced
// the status line in place rather than leaving it above, and whether an
// engine line ever ran on from a status line.
std::string RunInNarrowTerminal(const fs::path& dir, bool interrupt, bool verbose = false) {
  const std::string script =
      "from PIL import Image\n"
      "import random\n"
      "random.seed(9)\n"
      "im = Image.new('RGB', (500, 400))\n"
      "im.putdata([((x * y) % 251, random.randrange(32), x & 255) for y in range(400) for x in range(500)])\n"
      "im.save(r'" + (dir / "a-rather-long-file-name-for-the-line.png").string() + "', compress_level=1)\n";
  EXPECT_EQ(oracle::RunPython(script), 0);
  const std::string pty =
      "import os, pty, struct, fcntl, termios, re, signal\n"
      "pid, fd = pty.fork()\n"
      "if pid == 0:\n"
      "    os.chdir(r'" + dir.string() + "')\n"
      "    os.execv(r'" VELKOR_CLI "', ['velkor', '-O1'" + std::string(verbose ? ", '-v'" : "") +
      ", 'a-rather-long-file-name-for-the-line.png'])\n"
      "fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack('HHHH', 24, 40, 0, 0))\n"
      "out = b''\n"
      "interrupt = " + std::string(interrupt ? "True" : "False") + "\n"
      "while True:\n"
      "    try:\n"
      "        chunk = os.read(fd, 4096)\n"
      "    except OSError:\n"
      "        break\n"
      "    if not chunk: break\n"
      "    out += chunk\n"
      "    if interrupt and b'1/1 ' in out:\n"
      "        os.kill(pid, signal.SIGINT)\n"
      "        interrupt = False\n"
      "os.waitpid(pid, 0)\n"
      "note = out.find(b'velkor: finishing')\n"
      "in_place = note >= 0 and out[:note].endswith(b'\\r\\x1b[K')\n"
      "text = re.sub(rb'\\x1b\\[K', b'', out).decode()\n"
      "pieces = [p for p in re.split(r'[\\r\\n]', text) if p]\n"
      "status = [p for p in pieces if p.startswith('1/1 ')]\n"
      "print(len(status) > 0, max(len(p) for p in status) if status else 0, status[0] if status else '', "
      "'note-in-place' if in_place else 'note-below', "
      "'mixed' if any('  [' in p for p in status) else 'separate')\n";
  std::string out;
  EXPECT_EQ(oracle::RunPython(pty, &out), 0);
  return out;
}

}  // namespace

// Ctrl-C's note must not leave the status line standing above it either.
TEST(CliConventions, StatusLineFitsANarrowTerminalAndTheInterruptNoteReplacesIt) {
  oracle::TempDir dir;
  const std::string out = RunInNarrowTerminal(dir.path(), false, true);
  EXPECT_EQ(out.rfind("True ", 0), 0u) << out;
  const int longest = std::atoi(out.c_str() + 5);
  EXPECT_LE(longest, 39) << out;
  EXPECT_NE(out.find("1/1 a-rather-long-file-name-for-the-lin"), std::string::npos) << out;
  EXPECT_NE(out.find(" separate"), std::string::npos) << out;
  const std::string interrupted = RunInNarrowTerminal(dir.path(), true);
  EXPECT_EQ(interrupted.rfind("True ", 0), 0u) << interrupted;
  EXPECT_NE(interrupted.find("note-in-place"), std::string::npos) << interrupted;
}

// Shortened to any width, the status line ends between characters (never in
// the middle of a UTF-8 sequence) and gives up no more than one character's
// bytes; bytes that are no UTF-8 are single characters there.  A control
// character in the name is shown escaped, the width counts the escapes, and
// no escape is cut.
TEST(CliConventions, StatusLineNeverCutsACharacterInHalf) {
  const struct {
    const char* name;
    const char* shown;
    size_t longestSequence;
  } cases[] = {
      {"dir/gr\xC3\xBC\xC3\x9F""e.png", "gr\xC3\xBC\xC3\x9F""e.png", 2},
      {"\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC.png", "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC.png", 3},
      {"\xF0\x9D\x84\x9E\xF0\x9D\x84\x9E-clef.png", "\xF0\x9D\x84\x9E\xF0\x9D\x84\x9E-clef.png", 4},
      {"caf\xE9\xFF\x80.png", "caf\xE9\xFF\x80.png", 1},
      {"dir/\x1B[2J\x1B]0;t\x07\r\xC2\x9B""1m\x7F.png", R"(\x1b[2J\x1b]0;t\x07\x0d\xc2\x9b1m\x7f.png)", 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    ProgressDisplay display(false, false);
    display.SetTotal(1);
    display.Begin(0, c.name, 1);
    const std::string full = display.StatusText(0);
    ASSERT_EQ(full.rfind(std::string("1/1 ") + c.shown + ": ", 0), 0u) << full;
    for (size_t width = 2; width <= full.size() + 1; ++width) {
      const std::string cut = display.StatusText(width);
      ASSERT_LE(cut.size(), width - 1);
      ASSERT_GE(cut.size() + c.longestSequence, width);
      ASSERT_EQ(full.compare(0, cut.size(), cut), 0);
      const size_t escape = full.find('\\', cut.size() < 3 ? 0 : cut.size() - 3);
      EXPECT_FALSE(escape < cut.size()) << "an escape cut: " << cut;
      if (cut.size() < full.size() && c.longestSequence > 1) {
        EXPECT_NE(static_cast<unsigned char>(full[cut.size()]) & 0xC0, 0x80) << "cut at " << cut.size();
      }
    }
  }
}
