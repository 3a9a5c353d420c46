// Saving through the velkor-host stand-in and the real module, checked with
// libpng and zlib: the refusals and failures with their boxes and codes,
// the pixels the engine gets, the resolution chunk, the source file's
// chunks, and the dialogs driven by a script.
#include <zlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "HostRunner.h"
#include "support/Oracles.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void Put32(Bytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(Bytes& out, const std::string& type, const Bytes& data) {
  Put32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  Put32(out, static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(data.size() + 4))));
}

struct ExtraChunk {
  std::string type;
  Bytes data;
  bool afterImage;  // after IDAT, else right after IHDR
};

// An 8-bit RGBA PNG of `pixels` (0xAARRGGBB) with the given extra chunks.
Bytes MakeRgbaPng(int width, int height, const std::vector<uint32_t>& pixels, const std::vector<ExtraChunk>& extra) {
  Bytes png = {137, 80, 78, 71, 13, 10, 26, 10};
  Bytes header;
  Put32(header, width);
  Put32(header, height);
  header.insert(header.end(), {8, 6, 0, 0, 0});
  PutChunk(png, "IHDR", header);
  for (const ExtraChunk& c : extra) {
    if (!c.afterImage) PutChunk(png, c.type, c.data);
  }
  Bytes raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < width; ++x) {
      const uint32_t p = pixels[y * width + x];
      raw.insert(raw.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
    }
  }
  uLongf size = compressBound(raw.size());
  Bytes deflated(size);
  compress(deflated.data(), &size, raw.data(), raw.size());
  deflated.resize(size);
  PutChunk(png, "IDAT", deflated);
  for (const ExtraChunk& c : extra) {
    if (c.afterImage) PutChunk(png, c.type, c.data);
  }
  PutChunk(png, "IEND", {});
  return png;
}

Bytes Phys(uint32_t x, uint32_t y) {
  Bytes data;
  Put32(data, x);
  Put32(data, y);
  data.push_back(1);
  return data;
}

// 6 x 5 pixels of ten colours, a few of them half transparent.
std::vector<uint32_t> SourcePixels() {
  std::vector<uint32_t> pixels(30);
  for (uint32_t i = 0; i < 30; ++i) pixels[i] = ((i % 7 == 3) ? 0x80000000u : 0xFF000000u) | ((i % 10) * 0x1A2B3Cu);
  return pixels;
}

const std::vector<ExtraChunk> kSourceChunks = {
    {"gAMA", {0, 0, 0xB1, 0x8F}, false},
    {"pHYs", Phys(1000, 1000), false},
    {"tEXt", {'T', 'i', 't', 'l', 'e', 0, 'S', 'u', 'n'}, true},
    {"vpAg", {0, 0, 0, 6, 0, 0, 0, 5, 0}, true},
};

struct Save {
  hosttest::HostRun run;
  Bytes out;
  std::vector<oracle::Chunk> chunks;
  oracle::Image image;

  std::vector<std::string> Types() const {
    std::vector<std::string> types;
    for (const oracle::Chunk& c : chunks) types.push_back(c.type);
    return types;
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

  fs::path Script(const std::string& text) {
    const fs::path path = dir.path() / "script.txt";
    std::ofstream(path) << text;
    return path;
  }

  Save Run(std::vector<std::string> options, const std::vector<std::string>& global = {}) {
    std::vector<std::string> args = global;
    args.insert(args.end(), {"save", source.string(), (dir.path() / "out.png").string()});
    args.insert(args.end(), options.begin(), options.end());
    Save save;
    save.run = hosttest::RunHost(args);
    save.out = oracle::ReadFile(dir.path() / "out.png");
    if (!save.out.empty()) {
      EXPECT_TRUE(oracle::ListChunks(save.out, save.chunks)) << save.run.output;
      std::string error;
      EXPECT_TRUE(oracle::DecodePng(save.out, save.image, &error)) << error;
    }
    return save;
  }
};

TEST_F(SavePath, RefusedDocumentsWriteNothing) {
  struct Case { std::vector<std::string> options; std::string box; };
  const std::vector<Case> cases = {
      {{"--mode", "grey"},
       "box \"Unsupported Image Mode\": Unable to convert file.  The current Image mode is not supported.\\n"
       "Choose either RGB or Indexed color mode."},
      {{"--mode", "cmyk"}, "box \"Unsupported Image Mode\": Unable to convert file."},
      {{"--depth", "16"}, "box \"Unsupported Channel Depth\": VELKOR cannot process 16 bit or higher channel data"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> options = c.options;
    options.push_back("--no-dialog");
    const Save save = Run(options);
    EXPECT_EQ(save.run.ResultOf(14), 30501) << save.run.output;
    EXPECT_TRUE(save.run.Contains(c.box)) << save.run.output;
    EXPECT_TRUE(save.out.empty());
    EXPECT_FALSE(save.run.HostProblems()) << save.run.output;
  }
}

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
    if (!key) EXPECT_EQ(indexed.image.pixels[i] & 0xFFFFFF, pixels[i] & 0xFFFFFF) << i;
  }
  for (const Save* s : {&plain, &opaque, &indexed}) EXPECT_FALSE(s->run.HostProblems()) << s->run.output;
}

TEST_F(SavePath, ResolutionChunkReplacesTheSourcesAndTitleDecidesTheChunks) {
  struct Case { std::vector<std::string> options; std::vector<std::string> types; uint32_t perMetre; };
  const std::string missing = (dir.path() / "missing.png").string();
  const std::string upper = (dir.path() / "SOURCE.PnG").string();
  fs::copy_file(source, upper);
  const std::string otherExtension = (dir.path() / "source.jpg").string();
  fs::copy_file(source, otherExtension);
  const std::vector<Case> cases = {
      {{"--resolution", "72"}, {"IHDR", "gAMA", "pHYs", "IDAT", "tEXt", "vpAg", "IEND"}, 2835},
      {{"--resolution", "300"}, {"IHDR", "gAMA", "pHYs", "IDAT", "tEXt", "vpAg", "IEND"}, 11811},
      {{"--title", upper}, {"IHDR", "gAMA", "pHYs", "IDAT", "tEXt", "vpAg", "IEND"}, 2835},
      {{"--title", otherExtension}, {"IHDR", "pHYs", "IDAT", "IEND"}, 2835},
      {{"--title", "none"}, {"IHDR", "pHYs", "IDAT", "IEND"}, 2835},
      {{"--title", missing}, {"IHDR", "pHYs", "IDAT", "IEND"}, 2835},
  };
  for (const Case& c : cases) {
    std::vector<std::string> options = c.options;
    options.push_back("--no-dialog");
    const Save save = Run(options);
    ASSERT_EQ(save.run.ResultOf(14), 0) << save.run.output;
    EXPECT_EQ(save.Types(), c.types) << c.options[1];
    ASSERT_NE(save.Find("pHYs"), nullptr);
    EXPECT_EQ(save.Find("pHYs")->data, Phys(c.perMetre, c.perMetre)) << c.options[1];
  }
}

TEST_F(SavePath, CancelAbortAndFileFailures) {
  struct Case { std::vector<std::string> global, options; int result; bool box; };
  const std::string cancel = Script("wait 105\npress 1069\n").string();
  const std::vector<Case> cases = {
      {{"--dialog", cancel}, {}, -128, false},
      {{"--fault", "abort"}, {"--no-dialog"}, -128, false},
      {{"--fault", "seek-fails"}, {"--no-dialog"}, -20, false},
      {{"--fault", "write-fails"}, {"--no-dialog"}, -20, false},
  };
  for (const Case& c : cases) {
    const Save save = Run(c.options, c.global);
    EXPECT_EQ(save.run.ResultOf(14), c.result) << save.run.output;
    EXPECT_EQ(save.run.Contains("box "), c.box) << save.run.output;
    EXPECT_TRUE(save.out.empty()) << c.global[1];
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
  EXPECT_EQ(save.Types(), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  EXPECT_EQ(save.image.pixels, SourcePixels());
}

TEST_F(SavePath, PickedBackgroundThroughTheHostsColourServices) {
  const std::string script = Script(
      "wait 105\npress 1071\nwait 107\npress 1100\npress 1091\npress 1\nwait 105\npress 1\n").string();
  const Save save = Run({"--colour", "10,20,30"}, {"--dialog", script});
  ASSERT_EQ(save.run.ResultOf(14), 0) << save.run.output;
  EXPECT_TRUE(save.run.Contains("colour picker space 0 prompt \"Choose Background Color (bKGD)\" start 255,255,255"))
      << save.run.output;
  ASSERT_NE(save.Find("bKGD"), nullptr) << save.run.output;
  EXPECT_EQ(save.Find("bKGD")->data, (Bytes{0, 10, 0, 20, 0, 30}));
}

}  // namespace
