// The whole compressed path against independent decoders: zlib inflates
// what the compressor writes for many kinds of data, block layouts and
// strategies, pass after pass; libpng decodes whole runs over every
// PngSuite image under every strategy.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "DeflateHarness.h"
#include "EngineRunSupport.h"
#include "support/Oracles.h"

namespace {

std::vector<uint8_t> Noise(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) b = uint8_t(rng());
  return v;
}

// Runs of varying lengths (up to beyond the run counter's cap) of few values.
std::vector<uint8_t> Runs(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v;
  while (v.size() < n) v.insert(v.end(), 1 + rng() % (rng() % 8 == 0 ? 40000 : 300), uint8_t(rng() % 3));
  v.resize(n);
  return v;
}

// Stretches copied from 32,760..32,775 bytes back, the window's edge.
std::vector<uint8_t> FarRepeats(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v = Noise(33000, seed);
  while (v.size() < n) {
    const size_t back = 32760 + rng() % 16;
    const size_t len = 3 + rng() % 300;
    for (size_t i = 0; i < len; ++i) v.push_back(v[v.size() - back]);
    if (rng() % 2) v.push_back(uint8_t(rng()));
  }
  v.resize(n);
  return v;
}

std::vector<uint8_t> Text(size_t n, uint32_t seed) {
  const std::string words[] = {"compress ", "the ", "window ", "length ", "distance ", "code ", "\n", "Huffman, ",
                               "tree ", "block "};
  std::mt19937 rng(seed);
  std::vector<uint8_t> v;
  while (v.size() < n) {
    const std::string& w = words[rng() % 10];
    v.insert(v.end(), w.begin(), w.end());
  }
  v.resize(n);
  return v;
}

struct DataCase {
  std::string name;
  std::vector<uint8_t> data;
  std::vector<int32_t> blockEnds;
};

std::vector<DataCase> Cases() {
  std::vector<DataCase> c;
  c.push_back({"empty", {}, {}});
  c.push_back({"one byte", {42}, {}});
  c.push_back({"noise", Noise(20000, 1), {}});
  c.push_back({"runs", Runs(150000, 2), {}});
  c.push_back({"far repeats", FarRepeats(120000, 3), {}});
  c.push_back({"text", Text(80000, 4), {}});
  c.push_back({"short blocks", Text(3000, 5), {1, 2, 5, 300, 301, 1000, 2999}});
  std::vector<int32_t> many;
  for (int32_t e = 97; e < 60000; e += 97 + (e % 7) * 13) many.push_back(e);
  c.push_back({"many blocks", FarRepeats(60000, 6), many});
  c.push_back({"runs over block ends", Runs(100000, 7), {258, 259, 517, 32768, 65536}});
  return c;
}

TEST(CompressedPath, ZlibInflatesEveryPassOfEveryStrategy) {
  for (const DataCase& dc : Cases()) {
    for (int strategy = 0; strategy <= 3; ++strategy) {
      SCOPED_TRACE(dc.name + ", strategy " + std::to_string(strategy));
      deflate_test::DeflateHarness h(strategy);
      h.SetBlockEnds(dc.blockEnds);
      for (int pass = 0; pass < 3; ++pass) {
        ASSERT_TRUE(h.Pass(dc.data)) << "pass " << pass << ": " << h.error;
        const std::vector<uint8_t> stream = h.ZlibStream();
        std::vector<uint8_t> inflated;
        ASSERT_TRUE(oracle::InflateZlib(stream.data(), stream.size(), inflated)) << "pass " << pass;
        ASSERT_EQ(inflated, dc.data) << "pass " << pass;
        ASSERT_EQ(h.blocks.size(), dc.blockEnds.size() + 1) << "pass " << pass;
      }
    }
  }
}

TEST(CompressedPath, EveryPngSuiteImageUnderEveryStrategyDecodesToItsPixels) {
  const auto suite = oracle::DataDir() / "pngsuite";
  ASSERT_TRUE(std::filesystem::exists(suite));
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(suite)) {
    if (entry.path().extension() != ".png" || entry.path().filename().string()[0] == 'x') continue;
    spinetest::Image img;
    if (!oracle::DecodePng(oracle::ReadFile(entry.path()), img, nullptr)) continue;
    for (int strategy = 0; strategy <= 4; ++strategy) {
      SCOPED_TRACE(entry.path().filename().string() + ", strategy " + std::to_string(strategy));
      EncodeJob job = spinetest::DefaultJob(img);
      job.strategy = strategy;
      spinetest::RunResult run = spinetest::RunJob(job);
      ASSERT_NE(run.result, kEncodeFailed) << spinetest::TheRecorder().Text();
      spinetest::Image decoded;
      std::string error;
      ASSERT_TRUE(oracle::DecodePng(run.png, decoded, &error)) << error;
      EXPECT_TRUE(decoded == img);
      ++checked;
    }
  }
  EXPECT_GT(checked, 500);
}

}  // namespace
