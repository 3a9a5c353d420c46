// Saving through the velkor-host stand-in and the real module, checked with
// libpng and zlib: the refusals and failures with their boxes and codes,
// the pixels the engine gets, the resolution chunk, the source file's
// chunks, and the dialogs driven by a script.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "HostRunner.h"
#include "support/Oracles.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct ExtraChunk {
  std::string type;
  Bytes data;
  bool afterImage;  // after IDAT, else right after IHDR
};

// An 8-bit RGBA PNG of `pixels` (0xAARRGGBB) with the given extra chunks.
Bytes MakeRgbaPng(int width, int height, const std::vector<uint32_t>& pixels, const std::vector<ExtraChunk>& extra) {
  oracle::PngFile png;
  png.Header(width, height, 8, 6);
  for (const ExtraChunk& c : extra) {
    if (!c.afterImage) png.Chunk(c.type, c.data);
  }
  Bytes rows;
  for (int y = 0; y < height; ++y) {
    rows.push_back(0);
    for (int x = 0; x < width; ++x) {
      const uint32_t p = pixels[y * width + x];
      rows.insert(rows.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
    }
  }
  png.Image(rows);
  for (const ExtraChunk& c : extra) {
    if (c.afterImage) png.Chunk(c.type, c.data);
  }
  return png.End().bytes;
}

// 6 x 5 pixels of ten colours, a few of them half transparent.
std::vector<uint32_t> SourcePixels() {
  std::vector<uint32_t> pixels(30);
  for (uint32_t i = 0; i < 30; ++i) pixels[i] = ((i % 7 == 3) ? 0x80000000u : 0xFF000000u) | ((i % 10) * 0x1A2B3Cu);
  return pixels;
}

const std::vector<ExtraChunk> kSourceChunks = {
    {"gAMA", {0, 0, 0xB1, 0x8F}, false},
    {"pHYs", hosttest::PhysData(1000, 1000), false},
    {"tEXt", {'T', 'i', 't', 'l', 'e', 0, 'S', 'u', 'n'}, true},
    {"vpAg", {0, 0, 0, 6, 0, 0, 0, 5, 0}, true},
};

struct Save {
  hosttest::HostRun run;
  Bytes out;
  std::vector<oracle::Chunk> chunks;
  oracle::Image image;

  // The chunks of the file that came from the source or the resolution:
  // the engine's own PLTE, tRNS and bKGD are left out.
  std::vector<std::string> KeptTypes() const {
    std::vector<std::string> types;
    for (const oracle::Chunk& c : chunks) {
      if (c.type != "PLTE" && c.type != "tRNS" && c.type != "bKGD") types.push_back(c.type);
    }
    return types;
  }
  // The bKGD colour as 0xRRGGBB, through the palette for an index.
  std::optional<uint32_t> Background() const {
    const oracle::Chunk* bkgd = Find("bKGD");
    if (bkgd == nullptr) return std::nullopt;
    if (bkgd->data.size() == 6) return uint32_t(bkgd->data[1]) << 16 | uint32_t(bkgd->data[3]) << 8 | bkgd->data[5];
    const oracle::Chunk* plte = Find("PLTE");
    if (bkgd->data.size() != 1 || plte == nullptr || plte->data.size() < 3u * bkgd->data[0] + 3) return std::nullopt;
    const uint8_t* entry = plte->data.data() + 3 * bkgd->data[0];
    return uint32_t(entry[0]) << 16 | uint32_t(entry[1]) << 8 | entry[2];
  }
  const oracle::Chunk* Find(const std::string& type) const {
    for (const oracle::Chunk& c : chunks) {
      if (c.type == type) return &c;
    }
    return nullptr;
  }
};

class SavePath : public ::testing::Test {
 protected:
  oracle::TempDir dir;
  fs::path source = dir.path() / "source.png";

  void SetUp() override { oracle::WriteFile(source, MakeRgbaPng(6, 5, SourcePixels(), kSourceChunks)); }

  // A file of its own for each script, so that a table may hold several.
  fs::path Script(const std::string& text) {
    const fs::path path = dir.path() / ("script" + std::to_string(++scripts) + ".txt");
    std::ofstream(path) << text;
    return path;
  }
  int scripts = 0;

  Save Run(std::vector<std::string> options, const std::vector<std::string>& global = {}) {
    std::vector<std::string> args = global;
    args.insert(args.end(), {"save", source.string(), (dir.path() / "out.png").string()});
    args.insert(args.end(), options.begin(), options.end());
    Save save;
    save.run = hosttest::RunHost(args);
    if (fs::exists(dir.path() / "out.png")) save.out = oracle::ReadFile(dir.path() / "out.png");
    if (!save.out.empty()) {
      EXPECT_TRUE(oracle::ListChunks(save.out, save.chunks)) << save.run.output;
      std::string error;
      EXPECT_TRUE(oracle::DecodePng(save.out, save.image, &error)) << error;
    }
    return save;
  }
};

TEST_F(SavePath, PixelsReachTheEngineAsTheDocumentHasThem) {
  const std::vector<uint32_t> pixels = SourcePixels();
  const Save plain = Run({"--no-dialog"});
  ASSERT_EQ(plain.run.ResultOf(14), 0) << plain.run.output;
  EXPECT_EQ(plain.image.pixels, pixels);

  const Save opaque = Run({"--no-dialog", "--no-transparency"});
  ASSERT_EQ(opaque.run.ResultOf(14), 0) << opaque.run.output;
  for (size_t i = 0; i < pixels.size(); ++i) EXPECT_EQ(opaque.image.pixels[i], pixels[i] | 0xFF000000u) << i;

  // Indexed: the colours are numbered in order of first appearance, so
  // entry 5 is the colour of pixel 5.
  const Save indexed = Run({"--no-dialog", "--as-indexed", "--transparent-index", "5"});
  ASSERT_EQ(indexed.run.ResultOf(14), 0) << indexed.run.output;
  for (size_t i = 0; i < pixels.size(); ++i) {
    const bool key = (pixels[i] & 0xFFFFFF) == (pixels[5] & 0xFFFFFF);
    EXPECT_EQ(indexed.image.pixels[i] >> 24, key ? 0u : 255u) << i;
    if (!key) {
      EXPECT_EQ(indexed.image.pixels[i] & 0xFFFFFF, pixels[i] & 0xFFFFFF) << i;
    }
  }
  for (const Save* s : {&plain, &opaque, &indexed}) EXPECT_FALSE(s->run.HostProblems()) << s->run.output;
}

// A depth below 8 makes a plane row shorter than a row of 32-bit cells; the
// buffer still holds `width` cells a row, which is what the host delivers,
// the index pass rewrites and the engine reads.
TEST_F(SavePath, DepthsBelowEightStillGetWholeRowsOfCells) {
  const std::vector<uint32_t> pixels = SourcePixels();
  struct Case { std::string depth; bool indexed; };
  const Case cases[] = {{"1", false}, {"7", false}, {"1", true}, {"4", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE("depth " + c.depth + (c.indexed ? " indexed" : " rgb"));
    std::vector<std::string> options = {"--no-dialog", "--no-transparency", "--depth", c.depth};
    if (c.indexed) options.push_back("--as-indexed");
    const Save save = Run(options);
    ASSERT_EQ(save.run.ResultOf(14), 0) << save.run.output;
    EXPECT_TRUE(save.run.Contains("buffer request 120 bytes\n")) << save.run.output;
    ASSERT_EQ(save.image.pixels.size(), pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) EXPECT_EQ(save.image.pixels[i], pixels[i] | 0xFF000000u) << i;
    EXPECT_FALSE(save.run.HostProblems()) << save.run.output;
  }
}

// The host's colour table count is kept to 1..256.  Entries the count
// leaves out stay zero, so their cells come out transparent; a transparent
// index past the kept count marks nothing; and the palette buffer, which the
// dialogs may grow by a background colour, always has room for 256 entries.
TEST_F(SavePath, IndexedColourCountIsKeptToThePalettesRoom) {
  const std::vector<uint32_t> pixels = SourcePixels();
  struct Case { std::string lutCount, transparent; uint32_t kept; };
  const Case cases[] = {
      {"0", "-1", 1}, {"-7", "-1", 1}, {"3", "-1", 3}, {"3", "5", 3},
      {"255", "-1", 10}, {"300", "299", 10}, {"32767", "-1", 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("lutCount " + c.lutCount + ", transparent index " + c.transparent);
    const Save save =
        Run({"--no-dialog", "--as-indexed", "--lut-count", c.lutCount, "--transparent-index", c.transparent});
    ASSERT_EQ(save.run.ResultOf(14), 0) << save.run.output;
    EXPECT_TRUE(save.run.Contains("buffer request 1024 bytes\n")) << save.run.output;
    ASSERT_EQ(save.image.pixels.size(), pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
      // The colours are numbered in order of first appearance: pixel i has index i % 10.
      if (i % 10 < c.kept) {
        EXPECT_EQ(save.image.pixels[i], pixels[i] | 0xFF000000u) << i;
      } else {
        EXPECT_EQ(save.image.pixels[i] >> 24, 0u) << i;
      }
    }
    EXPECT_FALSE(save.run.HostProblems()) << save.run.output;
  }
}

// 4 x 65536 x 16385 bytes is 2^32 + 2^18: counted in 32 bits the save would
// ask for a 256 KiB buffer and have the host write the whole image into it.
TEST_F(SavePath, PixelBufferPast32BitsIsRefusedBeforeAnyRequest) {
  const Save save = Run({"--no-dialog"}, {"--fault", "claim-size=65536x16385"});
  EXPECT_EQ(save.run.ResultOf(14), -108) << save.run.output;
  const size_t saveStart = save.run.output.find("selector 13 result");
  ASSERT_NE(saveStart, std::string::npos) << save.run.output;
  EXPECT_EQ(save.run.output.find("buffer request", saveStart), std::string::npos) << save.run.output;
  EXPECT_FALSE(save.run.Contains("box ")) << save.run.output;
  EXPECT_TRUE(save.out.empty());
  EXPECT_FALSE(save.run.HostProblems()) << save.run.output;
}

TEST_F(SavePath, ResolutionChunkReplacesTheSourcesAndTitleDecidesTheChunks) {
  struct Case { std::vector<std::string> options; std::vector<std::string> types; uint32_t perMetre; };
  const std::string missing = (dir.path() / "missing.png").string();
  const std::string upper = (dir.path() / "SOURCE.PnG").string();
  fs::copy_file(source, upper);
  // A folder named like a PNG opens but cannot be read: no source file.
  const std::string folder = (dir.path() / "folder.png").string();
  fs::create_directory(folder);
  const std::string otherExtension = (dir.path() / "source.jpg").string();
  fs::copy_file(source, otherExtension);
  const std::vector<Case> cases = {
      {{"--resolution", "72"}, {"IHDR", "gAMA", "pHYs", "IDAT", "tEXt", "vpAg", "IEND"}, 2835},
      {{"--resolution", "300"}, {"IHDR", "gAMA", "pHYs", "IDAT", "tEXt", "vpAg", "IEND"}, 11811},
      // The document's resolution is the source's, 1000 pixels per metre.
      {{"--title", upper}, {"IHDR", "gAMA", "pHYs", "IDAT", "tEXt", "vpAg", "IEND"}, 1000},
      {{"--title", otherExtension}, {"IHDR", "pHYs", "IDAT", "IEND"}, 1000},
      {{"--title", "none"}, {"IHDR", "pHYs", "IDAT", "IEND"}, 1000},
      {{"--title", missing}, {"IHDR", "pHYs", "IDAT", "IEND"}, 1000},
      {{"--title", folder}, {"IHDR", "pHYs", "IDAT", "IEND"}, 1000},
  };
  for (const Case& c : cases) {
    std::vector<std::string> options = c.options;
    options.push_back("--no-dialog");
    const Save save = Run(options);
    ASSERT_EQ(save.run.ResultOf(14), 0) << save.run.output;
    EXPECT_EQ(save.KeptTypes(), c.types) << c.options[1];
    ASSERT_NE(save.Find("pHYs"), nullptr);
    EXPECT_EQ(save.Find("pHYs")->data, hosttest::PhysData(c.perMetre, c.perMetre)) << c.options[1];
  }
}

// Every refusal and failure writes nothing and leaves the host nothing held;
// a box, where there is one, has its exact text.
TEST_F(SavePath, RefusalsCancelsAndFailuresWriteNothing) {
  struct Case { std::vector<std::string> global, options; int result; std::string box; };
  const std::string cancel = Script("wait 105\npress 1069\n").string();
  const std::string advanced = Script("wait 105\npress 1016\nwait 106\npress 1\n").string();
  const std::vector<Case> cases = {
      {{}, {"--mode", "grey", "--no-dialog"}, 30501,
       "box \"Unsupported Image Mode\": Unable to convert file.  The current Image mode is not supported.\\n"
       "Choose either RGB or Indexed color mode."},
      {{}, {"--mode", "cmyk", "--no-dialog"}, 30501, "box \"Unsupported Image Mode\": Unable to convert file."},
      {{}, {"--depth", "16", "--no-dialog"}, 30501, "box \"Unsupported Channel Depth\": VELKOR cannot process 16 bit or higher channel data"},
      {{"--dialog", cancel}, {}, -128, ""},
      // The dialog still shows after a failed pixel request; an abort seen by
      // its colour analysis must not replace the host's code.
      {{"--dialog", advanced, "--fault", "advance-state-error=-1", "--fault", "abort"}, {}, -1, ""},
      {{"--fault", "abort"}, {"--no-dialog"}, -128, ""},
      {{"--fault", "seek-fails"}, {"--no-dialog"}, -20, ""},
      {{"--fault", "write-fails"}, {"--no-dialog"}, -20, ""},
      {{"--fault", "buffer-limit=100"}, {"--no-dialog"}, -108, ""},
      // The stand-in shows line breaks as "\\n"; the carriage return stays as the engine printed it.
      {{"--fault", "engine-fails"}, {"--no-dialog"}, 20,
       "box \"Write Failure\": VELKOR was unable to write the file.\\n\rmalloc failed (olinbuf)\\n\n"},
  };
  for (const Case& c : cases) {
    const Save save = Run(c.options, c.global);
    EXPECT_EQ(save.run.ResultOf(14), c.result) << save.run.output;
    EXPECT_TRUE(c.box.empty() ? !save.run.Contains("box ") : save.run.Contains(c.box)) << save.run.output;
    EXPECT_TRUE(save.out.empty()) << save.run.output;
    EXPECT_FALSE(save.run.HostProblems()) << save.run.output;
  }
}

TEST_F(SavePath, EngineFailureIsReportedWithItsMessage) {
  // Two colours and a kept background of a third: a 1-bit palette has no
  // room for it.
  std::vector<uint32_t> pixels(30, 0xFF2040A0);
  for (size_t i = 0; i < pixels.size(); i += 3) pixels[i] = 0xFFC08020;
  oracle::WriteFile(source, MakeRgbaPng(6, 5, pixels, {{"bKGD", {0, 0x10, 0, 0xF0, 0, 0x10}, false}}));
  const std::string script = Script(
      "wait 105\npress 1016\nwait 106\npress 1038\npress 1051\npress 1071\nwait 107\npress 1101\npress 1\n"
      "wait 106\npress 1\n").string();
  const Save save = Run({}, {"--dialog", script});
  EXPECT_EQ(save.run.ResultOf(14), 20) << save.run.output;
  EXPECT_TRUE(save.run.Contains("box \"Write Failure\": VELKOR was unable to write the file.\\n")) << save.run.output;
  EXPECT_TRUE(save.out.empty());
  EXPECT_FALSE(save.run.HostProblems()) << save.run.output;
}

TEST_F(SavePath, DialogOkWithNothingRememberedKeepsNoChunk) {
  const std::string script = Script("wait 105\npress 1\n").string();
  const Save save = Run({}, {"--dialog", script});
  ASSERT_EQ(save.run.ResultOf(14), 0) << save.run.output;
  EXPECT_EQ(save.KeptTypes(), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  EXPECT_EQ(save.image.pixels, SourcePixels());
}

TEST_F(SavePath, PickedBackgroundThroughTheHostsColourServices) {
  const std::string script = Script(
      "wait 105\npress 1071\nwait 107\npress 1100\npress 1091\npress 1\nwait 105\npress 1\n").string();
  const Save save = Run({"--colour", "10,20,30"}, {"--dialog", script});
  ASSERT_EQ(save.run.ResultOf(14), 0) << save.run.output;
  EXPECT_TRUE(save.run.Contains("colour picker space 0 prompt \"Choose Background Color (bKGD)\" start 255,255,255"))
      << save.run.output;
  EXPECT_EQ(save.Background(), 0x0A141Eu) << save.run.output;
}

}  // namespace

namespace {

bool IsOneOf(const std::string& type, std::initializer_list<const char*> types) {
  for (const char* t : types) {
    if (type == t) return true;
  }
  return false;
}

int IndexOf(const std::vector<oracle::Chunk>& chunks, const std::string& type) {
  for (size_t i = 0; i < chunks.size(); ++i) {
    if (chunks[i].type == type) return static_cast<int>(i);
  }
  return -1;
}

// Where a kept chunk must stand in the output, by the placement rules: 0
// before the palette, 1 between palette and image data, 2 after the image.
int ExpectedGroup(const std::string& type, int sourceGroup) {
  if (IsOneOf(type, {"iCCP", "gAMA", "sRGB", "cHRM", "sBIT", "pHYs", "sPLT"})) return 0;
  if (IsOneOf(type, {"hIST"})) return 1;
  return sourceGroup;
}

// Every ancillary chunk of the source but tRNS, bKGD (both written by the
// encoder itself) and pHYs (replaced) stands in the output with its bytes, in
// its group; the output has one pHYs and nothing else.
void ExpectKeptChunks(const std::vector<oracle::Chunk>& in, const std::vector<oracle::Chunk>& out,
                      const std::string& name) {
  const int palette = IndexOf(out, "PLTE");
  const int image = IndexOf(out, "IDAT");
  auto groupOf = [&](int index) { return index > image ? 2 : (palette >= 0 && index > palette ? 1 : 0); };
  size_t expectedCount = 1;  // the pHYs
  int sourceGroup = 0;
  for (const oracle::Chunk& c : in) {
    if (c.type == "PLTE") sourceGroup = 1;
    if (c.type == "IDAT") sourceGroup = 2;
    if (std::isupper(static_cast<unsigned char>(c.type[0])) || IsOneOf(c.type, {"tRNS", "bKGD", "pHYs"})) continue;
    ++expectedCount;
    bool found = false;
    for (size_t i = 0; i < out.size() && !found; ++i) {
      if (out[i].type != c.type || out[i].data != c.data) continue;
      found = true;
      const int group = groupOf(static_cast<int>(i));
      const int expected = ExpectedGroup(c.type, sourceGroup);
      // Without a palette in the output, the two groups before the image meet.
      EXPECT_TRUE(group == expected || (palette < 0 && group < 2 && expected < 2)) << name << " " << c.type;
    }
    EXPECT_TRUE(found) << name << " lost " << c.type;
  }
  size_t outCount = 0;
  for (const oracle::Chunk& c : out) {
    if (!std::isupper(static_cast<unsigned char>(c.type[0])) && !IsOneOf(c.type, {"tRNS", "bKGD"})) ++outCount;
  }
  EXPECT_EQ(outCount, expectedCount) << name;
  EXPECT_EQ(std::count_if(out.begin(), out.end(), [](const oracle::Chunk& c) { return c.type == "pHYs"; }), 1)
      << name;
}

}  // namespace

TEST(SaveSweep, EveryPngSuiteFileAndSampleKeepsPixelsAndChunks) {
  std::vector<fs::path> files = oracle::PngSuiteFiles(true);  // 16-bit documents are refused
  for (const auto& entry : fs::directory_iterator(oracle::SourceDir() / "samples")) {
    if (entry.path().extension() == ".png") files.push_back(entry.path());
  }
  oracle::TempDir dir;
  size_t saved = 0;
  for (const fs::path& file : files) {
    const Bytes in = oracle::ReadFile(file);
    if (in[24] > 8) continue;
    oracle::Image expected;
    if (!oracle::DecodePng(in, expected)) continue;  // not a valid PNG
    const fs::path out = dir.path() / "out.png";
    const hosttest::HostRun run = hosttest::RunHost({"save", file.string(), out.string(), "--no-dialog"});
    ASSERT_EQ(run.ResultOf(14), 0) << file << "\n" << run.output;
    const Bytes written = oracle::ReadFile(out);
    oracle::Image image;
    ASSERT_TRUE(oracle::DecodePng(written, image)) << file;
    EXPECT_EQ(image, expected) << file;
    std::vector<oracle::Chunk> inChunks, outChunks;
    ASSERT_TRUE(oracle::ListChunks(in, inChunks)) << file;
    ASSERT_TRUE(oracle::ListChunks(written, outChunks)) << file;
    ExpectKeptChunks(inChunks, outChunks, file.filename().string());
    EXPECT_FALSE(run.HostProblems()) << run.output;
    ++saved;
  }
  EXPECT_GT(saved, 125u);
}
