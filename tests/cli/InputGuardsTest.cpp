// Inputs that must not cost the user a file, a crash or a misleading
// answer: image data whose Adler-32 is wrong under right CRCs, headers that
// claim more pixels than the file or the memory holds, another format under
// a .png name, names that cannot be used in a machine-read report or shown
// raw on a terminal, and the
// owner of a file rewritten for someone else.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>

#include "cli/CliSupport.h"

namespace fs = std::filesystem;
using namespace clitest;

namespace {

// A PNG of the given header whose zlib stream is cut into IDAT chunks, the
// last one holding lastChunk bytes (0: one chunk); ancillary chunk records
// go between IHDR and IDAT.
std::vector<uint8_t> MakePng(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType,
                             const std::vector<uint8_t>& zlib, size_t lastChunk = 0,
                             const std::vector<uint8_t>& ancillary = {}) {
  oracle::PngFile png;
  png.Header(width, height, depth, colorType);
  png.bytes.insert(png.bytes.end(), ancillary.begin(), ancillary.end());
  const size_t cut = lastChunk ? zlib.size() - lastChunk : zlib.size();
  png.Chunk("IDAT", std::vector<uint8_t>(zlib.begin(), zlib.begin() + long(cut)));
  if (lastChunk) png.Chunk("IDAT", std::vector<uint8_t>(zlib.begin() + long(cut), zlib.end()));
  return png.End().bytes;
}

// Filtered rows (filter None) of a small gradient, bytesPerPixel per pixel.
std::vector<uint8_t> GradientRows(int width, int height, int bytesPerPixel) {
  std::vector<uint8_t> rows;
  for (int y = 0; y < height; ++y) {
    rows.push_back(0);
    for (int i = 0; i < width * bytesPerPixel; ++i) rows.push_back(uint8_t(i * 7 + y * 13));
  }
  return rows;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

}  // namespace

// Refused like a CRC error; with --fix the rows are taken as they inflate,
// and zlib (which checks the Adler-32) and libpng read the result.  The
// 16-bit case keeps its format (its stream is recompressed, not
// re-encoded) and has the checksum straddle two IDAT chunks.
TEST(CliGuards, WrongAdlerIsRefusedAndFixedWithFix) {
  oracle::TempDir dir;
  struct Case { const char* name; uint8_t depth; int bytesPerPixel; size_t lastChunk; };
  const Case cases[] = {{"rgb8.png", 8, 3, 0}, {"rgb16.png", 16, 6, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> zlib = oracle::CompressZlib(GradientRows(16, 12, c.bytesPerPixel));
    const std::vector<uint8_t> sound = MakePng(16, 12, c.depth, 2, zlib);
    zlib.back() ^= 0x40;
    const std::vector<uint8_t> damaged = MakePng(16, 12, c.depth, 2, zlib, c.lastChunk);
    oracle::WriteFile(dir.path() / c.name, damaged);

    const CommandResult refused = RunVelkor(c.name, dir.path());
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find(std::string(c.name) +
                               ": wrong Adler-32 in the image data (the data may be damaged); --fix accepts it"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(oracle::ReadFile(dir.path() / c.name), damaged);

    const CommandResult fixed = RunVelkor(std::string("-o 0 -v --fix ") + c.name, dir.path());
    ASSERT_EQ(fixed.status, 0) << fixed.err;
    EXPECT_NE(fixed.out.find("fixed the Adler-32 of the image data"), std::string::npos) << fixed.out;
    const auto after = oracle::ReadFile(dir.path() / c.name);
    std::vector<uint8_t> rows;
    EXPECT_TRUE(oracle::InflateIdat(after, rows)) << "zlib accepts the stream and its checksum";
    std::vector<uint16_t> expected, actual;
    int w = 0, h = 0;
    ASSERT_TRUE(DecodePng16(sound, expected, w, h));
    ASSERT_TRUE(DecodePng16(after, actual, w, h));
    EXPECT_EQ(actual, expected);
  }
}

// A header may claim any size: the claim must neither overflow the size
// check nor cost the claimed pixels' memory before the data is seen, and a
// real image too large for the memory at hand fails alone, with a reason.
TEST(CliGuards, LargeClaimsAndShortMemoryFailTheFileNotTheRun) {
  oracle::TempDir dir;
  CopySuiteFile("basn0g01.png", dir.path());
  const std::vector<uint8_t> fewRows = oracle::CompressZlib(std::vector<uint8_t>(100, 0));
  oracle::WriteFile(dir.path() / "widest.png", MakePng(0x7FFFFFFF, 0x7FFFFFFF, 8, 6, fewRows));
  oracle::WriteFile(dir.path() / "hollow.png", MakePng(16000, 16000, 8, 6, fewRows));
  // 6000 x 6000 RGBA of one colour: 144 MB of pixels from a small file.
  if (!kAddressSanitizer) {
    std::vector<uint8_t> rows;
    rows.reserve(6000 * 24001);
    for (int y = 0; y < 6000; ++y) {
      rows.push_back(0);
      for (int x = 0; x < 6000; ++x) rows.insert(rows.end(), {0x10, 0x20, 0x30, 0xFF});
    }
    oracle::WriteFile(dir.path() / "solid.png", MakePng(6000, 6000, 8, 6, oracle::CompressZlib(rows)));
  }
  // The limit stands for a small machine; the address sanitizer cannot run
  // under one, so there only the claims are checked.  Under it, a -j that
  // cannot have all its threads and engine contexts runs on those it gets.
  struct Case { const char* name; const char* options; const char* message; bool limited; };
  const Case cases[] = {
      {"widest.png", "-j1 -o 0", "widest.png: image too large (2147483647x2147483647)", true},
      {"hollow.png", "-j1 -o 0", "hollow.png: cannot decode the image (damaged or unsupported variant)", true},
      {"widest.png", "-j1 -o 0", "widest.png: image too large (2147483647x2147483647)", false},
      {"hollow.png", "-j1 -o 0", "hollow.png: cannot decode the image (damaged or unsupported variant)", false},
      {"solid.png", "-j1 -o 0", "solid.png: out of memory", true},
      {"basn2c08.png", "-j 256 -o 2 --pretend", nullptr, true},
  };
  CopySuiteFile("basn2c08.png", dir.path());
  for (const Case& c : cases) {
    if (c.limited && kAddressSanitizer) continue;
    const std::string limit = c.limited ? "ulimit -v 300000 && " : "";
    const CommandResult r =
        RunVelkorScript(limit + "\"$VELKOR\" " + c.options + " " + c.name + " basn0g01.png", dir.path());
    if (!c.message) {
      // Which files the limit leaves room for depends on timing; a file
      // that finds none fails alone, saying so, and the run ends normally.
      EXPECT_TRUE(r.status == 0 || r.status == 1) << c.name << ": " << r.status << " " << r.err;
      EXPECT_NE(r.out.find("2 files, "), std::string::npos) << r.out << r.err;
      std::istringstream errors(r.err);
      for (std::string line; std::getline(errors, line);) {
        if (line.rfind("velkor: ", 0) != 0) continue;
        EXPECT_NE(line.find(": out of memory"), std::string::npos) << line;
      }
      continue;
    }
    EXPECT_EQ(r.status, 1) << c.name << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("2 files, 1 failed"), std::string::npos) << "the other file was done: " << r.out;
  }
}

// Another format under a .png name would be replaced by its conversion, the
// original lost: refused, named or met in a folder walk, until the PNG is
// sent elsewhere.
TEST(CliGuards, ConversionNeverReplacesItsInput) {
  oracle::TempDir dir;
  fs::create_directory(dir.path() / "web");
  const std::string script = "from PIL import Image\nImage.new('RGB', (20, 10), (200, 30, 40)).save(r'" +
                             (dir.path() / "web/photo.png").string() + "', format='JPEG')\n";
  ASSERT_EQ(oracle::RunPython(script), 0);
  const auto jpeg = oracle::ReadFile(dir.path() / "web/photo.png");
  for (const char* args : {"web/photo.png", "-r --convert web", "--dir web web/photo.png"}) {
    const CommandResult r = RunVelkor(args, dir.path());
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_NE(r.err.find("photo.png: not a PNG file; converting it here would replace it"), std::string::npos)
        << args << ": " << r.err;
    EXPECT_EQ(oracle::ReadFile(dir.path() / "web/photo.png"), jpeg) << args;
  }
  // A PNG whose signature is damaged is no other format, even where the
  // size reader still finds its header: the load says why, in place or not.
  const struct {
    const char* name;
    const char* message;
  } damagedSignatures[] = {
      {"xs1n0g01.png", "xs1n0g01.png: not a supported image"},
      {"xs4n0g01.png", "xs4n0g01.png: cannot decode the image"},
      {"xcrn0g04.png", "xcrn0g04.png: cannot decode the image"},
      {"xlfn0g04.png", "xlfn0g04.png: cannot decode the image"},
  };
  for (const auto& c : damagedSignatures) {
    CopySuiteFile(c.name, dir.path());
    for (const std::string& args : {std::string(c.name), "--out repaired.png " + std::string(c.name)}) {
      const CommandResult damaged = RunVelkor(args, dir.path());
      EXPECT_EQ(damaged.status, 1) << args;
      EXPECT_NE(damaged.err.find(c.message), std::string::npos) << args << ": " << damaged.err;
    }
  }
  const CommandResult elsewhere = RunVelkor("--out photo-lossless.png web/photo.png", dir.path());
  ASSERT_EQ(elsewhere.status, 0) << elsewhere.err;
  oracle::Image converted;
  EXPECT_TRUE(oracle::DecodePng(oracle::ReadFile(dir.path() / "photo-lossless.png"), converted));
  EXPECT_EQ(converted.width, 20);
}

// Every name given gets its object: a reader of --json must not have to
// scrape standard error to learn that a name was unusable.
TEST(CliGuards, JsonReportsNamesThatCannotBeUsed) {
  oracle::TempDir dir;
  fs::create_directory(dir.path() / "folder");
  const CommandResult r = RunVelkor("--json missing.png folder", dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find(R"json({"file":"missing.png","status":"failed","reason":"No such file or directory"})json"),
            std::string::npos)
      << r.out;
  const std::string folder =
      R"json({"file":"folder","status":"failed","reason":"is a folder (-r optimizes the PNG files in it)"})json";
  EXPECT_NE(r.out.find(folder), std::string::npos) << r.out;
  EXPECT_EQ(CountLines(r.out), 2u) << r.out;

  // A name that is not UTF-8 still makes a valid JSON line: each ill-formed
  // part reads as one U+FFFD, as Python's own replacing decoder shows it.
  // Files of such names are optimized, missing ones reported.
  const std::string source = CopySuiteFile("basn0g01.png", dir.path()).string();
  std::string checked;
  ASSERT_EQ(oracle::RunPython(
                "import json, os, shutil, subprocess\n"
                "os.chdir(r'" + dir.path().string() + "')\n"
                "names = [b'caf\\xe9.png', b'\\xed\\xa0\\x80.png', b'\\xc0\\xaf.png', b'cut\\xe2\\x82.png',\n"
                "         b'\\xf4\\x90\\x80\\x80.png', 'gr\\u00fc\\u00dfe-\\u20ac-\\U0001d11e.png'.encode(),\n"
                "         b'q\\\"\\\\\\x01\\x7f.png']\n"
                "for n in names: shutil.copy(r'" + source + "', n)\n"
                "missing = b'gone\\xff.png'\n"
                "out = subprocess.run([r'" VELKOR_CLI "', '--json', '-P'] + names + [missing],\n"
                "                     stdout=subprocess.PIPE).stdout\n"
                "got = {}\n"
                "for line in out.decode('utf-8').splitlines():\n"
                "    o = json.loads(line)\n"
                "    got[o['file']] = o['status']\n"
                "want = {n.decode('utf-8', 'replace'): 'pretend' for n in names}\n"
                "want[missing.decode('utf-8', 'replace')] = 'failed'\n"
                "print('same' if got == want else 'got %r want %r' % (got, want))\n",
                &checked),
            0);
  EXPECT_EQ(checked, "same\n");
}

// The plain report, the -v lines and the error lines go to a terminal, where
// a control character in a name would be obeyed: it could clear the screen,
// retitle the window, or return the cursor to paint "ok" over a failure.
// Whatever the name, no control character (Unicode's own class Cc, asked of
// Python) reaches either stream raw; each shows as \xHH per byte.
TEST(CliGuards, PlainOutputShowsControlCharactersInNamesEscaped) {
  oracle::TempDir dir;
  const std::string source = CopySuiteFile("basn0g01.png", dir.path()).string();
  std::string checked;
  ASSERT_EQ(oracle::RunPython(
                "import os, shutil, subprocess, unicodedata\n"
                "os.chdir(r'" + dir.path().string() + "')\n"
                "names = ['esc\\x1b[2J\\x1b]0;title\\x07.png', 'bel\\x07.png', 'cr\\rok.png', 'lf\\nx.png',\n"
                "         'del\\x7f.png', 'c1\\x85\\x9b31m\\x80.png', 'tab\\there.png', 'gr\\u00fc\\u00dfe-\\u20ac.png']\n"
                "for n in names: shutil.copy(r'" + source + "', n)\n"
                "broken = 'bad\\x1b[2K\\rok.png'\n"
                "open(broken, 'wb').write(b'\\x89PNG\\r\\n\\x1a\\nthis is no image')\n"
                "missing = 'gone\\x1b[8m.png'\n"
                "def shown(name):\n"
                "    return ''.join(''.join('\\\\x%02x' % b for b in c.encode())\n"
                "                   if unicodedata.category(c) == 'Cc' else c for c in name)\n"
                "def run(args):\n"
                "    r = subprocess.run([r'" VELKOR_CLI "'] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)\n"
                "    return r.stdout.decode(), r.stderr.decode()\n"
                "problems = []\n"
                "def expect(what, ok):\n"
                "    if not ok: problems.append(what)\n"
                "out, err = run(['-P', '-v', '-o', '0'] + names + [broken, missing])\n"
                "opt_out, opt_err = run(['--' + names[0]])\n"
                "for stream in (out, err, opt_err):\n"
                "    raw = [c for c in stream if unicodedata.category(c) == 'Cc' and c != '\\n']\n"
                "    expect('raw control characters %r' % raw, not raw)\n"
                "reports = [line for line in out.splitlines() if not line.startswith(' ')]\n"
                "expect('one line per file, one summary: %r' % reports, len(reports) == len(names) + 1)\n"
                "for n in names:\n"
                "    expect('report of ' + shown(n), shown(n) + ': ' in out)\n"
                "    expect('-v line of ' + shown(n), '[' + shown(n) + ' ' in err)\n"
                "expect('failure of ' + shown(broken), 'velkor: ' + shown(broken) + ': no IEND' in err)\n"
                "expect('failure of ' + shown(missing), 'velkor: ' + shown(missing) + ': No such file' in err)\n"
                "expect('option error', shown(names[0]) in opt_err)\n"
                "print('; '.join(problems) or 'clean')\n",
                &checked),
            0);
  EXPECT_EQ(checked, "clean\n");
}

// Rewritten in place by root (a build step, a cron job), a user's file stays
// the user's, with its mode.
TEST(CliGuards, RewriteKeepsOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another owner";
  oracle::TempDir dir;
  const fs::path file = dir.path() / "shared.png";
  fs::copy_file(oracle::SourceDir() / "samples/Transparency.png", file);
  const auto before = oracle::ReadFile(file);
  ASSERT_EQ(::chown(file.c_str(), 1234, 4321), 0);
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  const CommandResult r = RunVelkor("-o 1 shared.png", dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_NE(oracle::ReadFile(file), before) << "the file was rewritten";
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 1234u);
  EXPECT_EQ(st.st_gid, 4321u);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A cancel that lands while a large file is read or analysed stops the
// engine's analysis like a failure would: the file is cancelled, not
// blamed ("the engine cannot take this image").
TEST(CliGuards, CancelWhileLoadingIsNotBlamedOnTheImage) {
  oracle::TempDir dir;
  const uint32_t side = 2000;
  std::vector<uint8_t> rows;
  uint32_t noise = 12345;
  for (uint32_t y = 0; y < side; ++y) {
    rows.push_back(0);
    for (uint32_t i = 0; i < side * 3; ++i) rows.push_back(uint8_t((noise = noise * 1664525u + 1013904223u) >> 24));
  }
  oracle::WriteFile(dir.path() / "noise.png", MakePng(side, side, 8, 2, oracle::CompressZlib(rows)));
  const CommandResult r =
      RunVelkorScript("\"$VELKOR\" -j1 -o 1 -P noise.png & pid=$!; sleep 0.1; kill -TERM $pid; wait $pid", dir.path());
  EXPECT_EQ(r.status, 143) << r.err;
  EXPECT_EQ(r.err.find("cannot take"), std::string::npos) << r.err;
  EXPECT_TRUE(r.err.find("noise.png: cancelled; original kept") != std::string::npos ||
              r.out.find("noise.png: skipped (interrupted)") != std::string::npos)
      << r.out << r.err;
}

// The engine carries at most 256 ancillary chunks: the rest are lost, and
// -v and --json must say so rather than list every type as kept.
TEST(CliGuards, ChunksBeyondTheEnginesRoomAreReportedDropped) {
  oracle::TempDir dir;
  std::vector<uint8_t> texts;
  for (int i = 0; i < 300; ++i) {
    const std::string text = "Key" + std::to_string(i) + std::string(1, '\0') + "value";
    const std::vector<uint8_t> record = oracle::RawChunk("tEXt", std::vector<uint8_t>(text.begin(), text.end()));
    texts.insert(texts.end(), record.begin(), record.end());
  }
  oracle::WriteFile(dir.path() / "notes.png",
                    MakePng(16, 12, 8, 2, oracle::CompressZlib(GradientRows(16, 12, 3)), 0, texts));
  const CommandResult r = RunVelkor("-v -o 0 --force --out out.png notes.png", dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<oracle::Chunk> chunks;
  ASSERT_TRUE(oracle::ListChunks(oracle::ReadFile(dir.path() / "out.png"), chunks));
  const auto kept =
      std::count_if(chunks.begin(), chunks.end(), [](const oracle::Chunk& c) { return c.type == "tEXt"; });
  EXPECT_EQ(kept, 256);
  EXPECT_NE(r.out.find("dropped chunks: tEXt"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("kept the first 256 ancillary chunks; 44 more dropped"), std::string::npos) << r.out;
}

// Bytes after IEND that --fix drops may parse as chunks: they must stay
// dropped, as the note says, not come back as the file's own metadata.
TEST(CliGuards, DataAfterIendStaysDroppedWithFix) {
  oracle::TempDir dir;
  auto text = [](const std::string& value) {
    const std::string data = "Title" + std::string(1, '\0') + value;
    return oracle::RawChunk("tEXt", std::vector<uint8_t>(data.begin(), data.end()));
  };
  std::vector<uint8_t> png = MakePng(16, 12, 8, 2, oracle::CompressZlib(GradientRows(16, 12, 3)), 0, text("own"));
  const std::vector<uint8_t> appended = text("appended");
  png.insert(png.end(), appended.begin(), appended.end());
  oracle::WriteFile(dir.path() / "tail.png", png);
  const CommandResult r = RunVelkor("-v -o 0 --fix --out out.png tail.png", dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("dropped " + std::to_string(appended.size()) + " bytes after IEND"), std::string::npos) << r.out;
  std::vector<oracle::Chunk> chunks;
  ASSERT_TRUE(oracle::ListChunks(oracle::ReadFile(dir.path() / "out.png"), chunks));
  std::vector<std::string> texts;
  for (const oracle::Chunk& c : chunks) {
    if (c.type == "tEXt") texts.emplace_back(c.data.begin(), c.data.end());
  }
  EXPECT_EQ(texts, std::vector<std::string>{"Title" + std::string(1, '\0') + "own"});
}
