// Whole runs over real images: every strategy with every filter setting,
// on small PngSuite images and crops of the project's samples.  libpng
// decodes the input and our output; the pixels must be the same, and zlib
// must accept every stream.

#include <gtest/gtest.h>

#include <algorithm>

#include "EngineRunSupport.h"

namespace {

using namespace spinetest;

Image LoadPng(const std::filesystem::path& path) {
  Image img;
  std::string error;
  EXPECT_TRUE(oracle::DecodePng(oracle::ReadFile(path), img, &error)) << path << ": " << error;
  return img;
}

Image Crop(const Image& src, int x0, int y0, int w, int h) {
  w = std::min(w, src.width - x0);
  h = std::min(h, src.height - y0);
  return MakeImage(w, h, [&](int x, int y) { return src.pixels[size_t(y0 + y) * src.width + (x0 + x)]; });
}

struct Source {
  std::string name;
  Image image;
};

const std::vector<Source>& Sources() {
  static const std::vector<Source> sources = [] {
    std::vector<Source> s;
    const auto suite = oracle::DataDir() / "pngsuite";
    for (const char* name : {"basn0g01.png", "basn0g04.png", "basn2c08.png", "basn3p02.png", "basn3p08.png",
                             "basn4a08.png", "basn6a08.png", "tbrn2c08.png", "tp1n3p08.png", "s01n3p01.png",
                             "s35n3p04.png"}) {
      if (std::filesystem::exists(suite / name)) s.push_back({name, LoadPng(suite / name)});
    }
    const auto samples = oracle::SourceDir() / "samples";
    s.push_back({"Transparency crop", Crop(LoadPng(samples / "Transparency.png"), 0, 0, 48, 40)});
    s.push_back({"tango-128 crop", Crop(LoadPng(samples / "tango-icon-address-book-new-128-rsvg-convert.png"), 30, 30, 40, 36)});
    s.push_back({"tango-32", LoadPng(samples / "tango-icon-address-book-new-32.png")});
    return s;
  }();
  return sources;
}

struct Setting {
  int strategy;
  int filter;
};

std::string SettingName(const ::testing::TestParamInfo<Setting>& info) {
  return "strategy" + std::to_string(info.param.strategy) + "_filter" +
         (info.param.filter < 0 ? std::string("Auto") : std::to_string(info.param.filter));
}

class EveryStrategyAndFilter : public ::testing::TestWithParam<Setting> {};

TEST_P(EveryStrategyAndFilter, DecodesToTheInput) {
  const Setting setting = GetParam();
  for (const Source& source : Sources()) {
    Image img = source.image;
    ASSERT_GT(img.width, 0) << source.name;
    EncodeJob job = DefaultJob(img);
    job.strategy = setting.strategy;
    job.filter = setting.filter;
    RunResult run = RunJob(job);
    ASSERT_NE(run.result, kEncodeFailed) << source.name << ": " << TheRecorder().Text();
    ASSERT_EQ(int(run.png.size()), run.result) << source.name;
    std::vector<oracle::Chunk> chunks;
    ASSERT_TRUE(oracle::ListChunks(run.png, chunks)) << source.name;
    std::vector<uint8_t> raw;
    ASSERT_TRUE(oracle::InflateIdat(run.png, raw)) << source.name;
    Image decoded;
    std::string error;
    ASSERT_TRUE(oracle::DecodePng(run.png, decoded, &error)) << source.name << ": " << error;
    EXPECT_TRUE(decoded == img) << source.name << " /c" << job.outcolortype << " /d" << job.outbitdepth;
  }
}

std::vector<Setting> AllSettings() {
  std::vector<Setting> all;
  for (int strategy = 0; strategy <= 4; ++strategy) {
    for (int filter = -1; filter <= 5; ++filter) all.push_back({strategy, filter});
  }
  return all;
}

INSTANTIATE_TEST_SUITE_P(Images, EveryStrategyAndFilter, ::testing::ValuesIn(AllSettings()), SettingName);

TEST(EndToEnd, EveryForcedColourTypeAndDepthThatFits) {
  // A grey image with four levels fits every colour type and grey depth 2..8.
  Image img = MakeImage(23, 17, [](int x, int y) {
    const uint32_t level = 85u * ((x + 2 * y) % 4);
    return 0xFF000000u | level * 0x010101u;
  });
  struct Forced {
    int colortype, bitdepth;
  };
  for (Forced f : {Forced{0, 2}, Forced{0, 4}, Forced{0, 8}, Forced{2, 8}, Forced{3, 2}, Forced{3, 4}, Forced{3, 8},
                   Forced{4, 8}, Forced{6, 8}}) {
    for (int strategy : {0, 2, 4}) {
      EncodeJob job = DefaultJob(img);
      job.colortype = f.colortype;
      job.bitdepth = f.bitdepth;
      job.strategy = strategy;
      RunResult run = RunJob(job);
      ASSERT_NE(run.result, kEncodeFailed) << "/c" << f.colortype << " /d" << f.bitdepth << TheRecorder().Text();
      EXPECT_EQ(job.outcolortype, f.colortype);
      EXPECT_EQ(job.outbitdepth, f.bitdepth);
      Image decoded;
      ASSERT_TRUE(oracle::DecodePng(run.png, decoded));
      EXPECT_TRUE(decoded == img) << "/c" << f.colortype << " /d" << f.bitdepth << " strategy " << strategy;
    }
  }
}

}  // namespace
