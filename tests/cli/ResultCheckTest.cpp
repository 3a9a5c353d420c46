// The last gate of the write path: a result that does not read back as its
// input must never replace it.  The faults an upstream bug could make (a
// changed sample, palette entry or transparency, a broken checksum, a lost
// chunk) are planted in the chosen result through the batch's hook, in the
// same process; the files are judged with libpng and zlib.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/Command.h"

namespace fs = std::filesystem;
using namespace clitest;

namespace {

using Fault = std::function<void(std::vector<uint8_t>&)>;

CommandResult RunInProcess(const std::vector<std::string>& args, const Fault& fault) {
  std::vector<std::string> words = {"velkor"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  BatchHooks hooks;
  if (fault) hooks.alterResult = [&](const std::string&, std::vector<uint8_t>& png) { fault(png); };
  StopFlags stop;
  CommandResult r;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  r.status = RunCommand(int(words.size()), argv.data(), stop, hooks);
  r.out = testing::internal::GetCapturedStdout();
  r.err = testing::internal::GetCapturedStderr();
  return r;
}

std::vector<oracle::Chunk> ChunksOf(const std::vector<uint8_t>& png) {
  std::vector<oracle::Chunk> chunks;
  EXPECT_TRUE(oracle::ListChunks(png, chunks));
  return chunks;
}

std::vector<uint8_t> Assemble(const std::vector<oracle::Chunk>& chunks) {
  oracle::PngFile png;
  for (const oracle::Chunk& c : chunks) png.Chunk(c.type, c.data);
  return png.bytes;
}

// A sound file with one sample changed: the stream of the first chunk of
// the type (every IDAT joined into the first) is inflated, the last byte of
// its last row flipped and the stream compressed again.
Fault FlipLastSample(const std::string& type) {
  return [type](std::vector<uint8_t>& png) {
    std::vector<oracle::Chunk> chunks = ChunksOf(png);
    const size_t skip = type == "fdAT" ? 4 : 0;
    std::vector<uint8_t> zlib;
    std::vector<oracle::Chunk> kept;
    long first = -1;
    for (const oracle::Chunk& c : chunks) {
      if (c.type == type && (type == "IDAT" || first < 0)) {
        zlib.insert(zlib.end(), c.data.begin() + long(skip), c.data.end());
        if (first >= 0) continue;  // a later IDAT, joined into the first
        first = long(kept.size());
      }
      kept.push_back(c);
    }
    ASSERT_GE(first, 0);
    std::vector<uint8_t> rows;
    ASSERT_TRUE(oracle::InflateZlib(zlib.data(), zlib.size(), rows));
    rows.back() ^= 0x01;
    const std::vector<uint8_t> again = oracle::CompressZlib(rows);
    ASSERT_FALSE(again.empty());
    std::vector<uint8_t>& data = kept[first].data;
    data.resize(skip);
    data.insert(data.end(), again.begin(), again.end());
    png = Assemble(kept);
  };
}

// Applies edit to the data of the first chunk of the type and writes every
// CRC afresh; an edit that clears the data drops the chunk.
Fault EditChunk(const std::string& type, std::function<void(std::vector<uint8_t>&)> edit) {
  return [type, edit](std::vector<uint8_t>& png) {
    std::vector<oracle::Chunk> chunks = ChunksOf(png);
    for (size_t i = 0; i < chunks.size(); ++i) {
      if (chunks[i].type != type) continue;
      edit(chunks[i].data);
      if (chunks[i].data.empty() && type != "IEND") chunks.erase(chunks.begin() + long(i));
      break;
    }
    png = Assemble(chunks);
  };
}

// One byte of the image data changed after its CRC was written.
void BreakIdatCrc(std::vector<uint8_t>& png) {
  const std::string bytes(png.begin(), png.end());
  png[bytes.find("IDAT") + 6] ^= 0x10;
}

void DropIend(std::vector<uint8_t>& png) { png.resize(png.size() - 12); }

// The sources, each small and stored without compression so that every
// result is smaller and would be written.
void MakeSources(const fs::path& dir) {
  const std::string script =
      "import os, random\n"
      "from PIL import Image\n"
      "os.chdir(r'" + dir.string() + "')\n"
      "random.seed(5)\n"
      "w, h = 48, 32\n"
      "rgb = Image.new('RGB', (w, h))\n"
      "rgb.putdata([((x * 7 + y * 3) % 256, (x * y) % 256, random.randrange(4) * 60) for y in range(h) for x in range(w)])\n"
      "rgb.save('rgb.png', compress_level=0)\n"
      "rgb.save('pic.gif')\n"
      "key = Image.new('RGB', (w, h))\n"
      "key.putdata([(1, 2, 3) if (x + y) % 9 == 0 else ((x * 5) % 256, (y * 8) % 256, 100) for y in range(h) for x in range(w)])\n"
      "key.save('key.png', transparency=(1, 2, 3), compress_level=0)\n"
      "pal = Image.new('P', (w, h))\n"
      "pal.putpalette([v for i in range(16) for v in (i * 16, 255 - i * 16, (i * 77) % 256)])\n"
      "pal.putdata([(x // 6 + y // 8) % 16 for y in range(h) for x in range(w)])\n"
      "pal.save('pal.png', transparency=bytes([0, 128] + [255] * 14), compress_level=0)\n"
      "frames = [Image.new('RGBA', (w, h), (40 * k, 200 - 40 * k, 90, 255)) for k in range(3)]\n"
      "for k, f in enumerate(frames):\n"
      "    f.putdata([((x * 11 + k * 30) % 256, (y * 13) % 256, (x ^ y) % 256, 255 - k * 60) for y in range(h) for x in range(w)])\n"
      "frames[0].save('anim.png', save_all=True, append_images=frames[1:], duration=100, loop=0, compress_level=0)\n";
  ASSERT_EQ(oracle::RunPython(script), 0);
  // 16-bit: samples kept (one of them interlaced) and samples all v * 257.
  for (const char* name : {"basn2c16.png", "basi6a16.png", "g04n0g16.png"}) CopySuiteFile(name, dir);
}

struct FaultCase {
  const char* what;
  const char* file;
  Fault fault;
  const char* detail;  // how the error line names the difference
};

std::vector<FaultCase> FaultCases() {
  auto redOfFirstEntry = [](std::vector<uint8_t>& d) { d[0] ^= 0x40; };
  auto clear = [](std::vector<uint8_t>& d) { d.clear(); };
  auto lastAdlerByte = [](std::vector<uint8_t>& d) { d.back() ^= 0x01; };
  return {
      {"a sample of an RGB image", "rgb.png", FlipLastSample("IDAT"), "pixel (47, 31) is 0x"},
      {"a palette entry", "pal.png", EditChunk("PLTE", redOfFirstEntry), "pixel ("},
      {"the palette's transparency", "pal.png", EditChunk("tRNS", clear), "pixel (0, 0) is 0xFF"},
      {"the colour key", "key.png", EditChunk("tRNS", clear), "pixel (0, 0) is 0xFF010203, the input's 0x00010203"},
      {"a sample of a converted GIF", "pic.gif", FlipLastSample("IDAT"), "pixel (47, 31) "},
      {"a 16-bit sample", "basn2c16.png", FlipLastSample("IDAT"), "image data: pixel (31, 31) differs"},
      {"a 16-bit interlaced sample", "basi6a16.png", FlipLastSample("IDAT"), "image data: pixel ("},
      {"a sample of a reduced 16-bit image", "g04n0g16.png", FlipLastSample("IDAT"), "pixel (31, 31) "},
      {"a sample of an animation frame", "anim.png", FlipLastSample("fdAT"), "frame 1: pixel ("},
      {"a sample of an animation's default image", "anim.png", FlipLastSample("IDAT"), "image data: pixel (47, 31)"},
      {"an IDAT CRC", "rgb.png", BreakIdatCrc, "CRC error in IDAT"},
      {"the Adler-32", "rgb.png", EditChunk("IDAT", lastAdlerByte), "image data: wrong Adler-32"},
      {"IEND", "rgb.png", DropIend, "no IEND chunk"},
  };
}

class CliResultCheck : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_sources = new oracle::TempDir;
    MakeSources(s_sources->path());
  }
  static void TearDownTestSuite() { delete s_sources; }

  // A fresh copy of a source in the test's own folder.
  fs::path Fresh(const std::string& name) {
    const fs::path target = m_dir.path() / name;
    fs::copy_file(s_sources->path() / name, target, fs::copy_options::overwrite_existing);
    return target;
  }

  static oracle::TempDir* s_sources;
  oracle::TempDir m_dir;
};

oracle::TempDir* CliResultCheck::s_sources = nullptr;

// The 16-bit suite files are not always made smaller; --force has them
// written either way, so the check runs.  The made sources need nothing.
std::vector<std::string> ArgsFor(const fs::path& input) {
  if (input.filename().string().find("16") == std::string::npos) return {input.string()};
  return {"--force", input.string()};
}

}  // namespace

TEST_F(CliResultCheck, AFaultyResultLeavesTheInputAndFails) {
  for (const FaultCase& c : FaultCases()) {
    SCOPED_TRACE(c.what);
    const fs::path input = Fresh(c.file);
    const std::vector<uint8_t> before = oracle::ReadFile(input);
    const CommandResult r = RunInProcess(ArgsFor(input), c.fault);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(oracle::ReadFile(input), before);
    const bool converts = input.extension() != ".png";
    EXPECT_FALSE(converts && fs::exists(fs::path(input).replace_extension(".png")));
    const std::string line = "velkor: " + input.string() + ": the optimized file does not match the input (";
    EXPECT_NE(r.err.find(line + c.detail), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(converts ? "); nothing written\n" : "); original kept\n"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("1 file, 1 failed: 0 -> 0 bytes"), std::string::npos) << r.out;
    ExpectNoTemporaryFiles(m_dir.path());
  }
}

TEST_F(CliResultCheck, ASoundResultStillReplacesItsInput) {
  for (const char* name : {"rgb.png", "key.png", "pal.png", "anim.png", "basn2c16.png", "basi6a16.png", "g04n0g16.png"}) {
    SCOPED_TRACE(name);
    const fs::path input = Fresh(name);
    const std::vector<uint8_t> before = oracle::ReadFile(input);
    const CommandResult r = RunInProcess(ArgsFor(input), nullptr);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<uint8_t> after = oracle::ReadFile(input);
    EXPECT_NE(after, before);
    std::vector<uint16_t> samplesBefore, samplesAfter;
    int w0 = 0, h0 = 0, w1 = 0, h1 = 0;
    ASSERT_TRUE(oracle::DecodePng16(before, samplesBefore, w0, h0));
    ASSERT_TRUE(oracle::DecodePng16(after, samplesAfter, w1, h1));
    EXPECT_EQ(samplesAfter, samplesBefore);
  }
}

TEST_F(CliResultCheck, TheBatchGoesOnAndReportsTheFailure) {
  const fs::path faulty = Fresh("rgb.png");
  const fs::path sound = Fresh("pal.png");
  const std::vector<uint8_t> faultyBefore = oracle::ReadFile(faulty);
  const std::vector<uint8_t> soundBefore = oracle::ReadFile(sound);
  const Fault flip = FlipLastSample("IDAT");
  const CommandResult r = RunInProcess({"--json", faulty.string(), sound.string()}, [&](std::vector<uint8_t>& png) {
    // Only rgb.png's result is RGB: the palette image comes out indexed.
    if (png[25] == 2) flip(png);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(oracle::ReadFile(faulty), faultyBefore);
  EXPECT_LT(oracle::ReadFile(sound).size(), soundBefore.size());
  EXPECT_NE(r.out.find("{\"file\":\"" + faulty.string() +
                       "\",\"status\":\"failed\",\"reason\":\"the optimized file does not match the input (pixel "),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("{\"file\":\"" + sound.string() + "\",\"status\":\"written\""), std::string::npos) << r.out;
}
