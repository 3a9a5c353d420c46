// The compiled help file: its three topics are there, read back with
// chmlib's extract_chmLib (an independent reader), and each explains the
// controls of its dialog by their labels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifdef VELKOR_HELP_FILE

namespace {

namespace fs = std::filesystem;

TEST(HelpFile, EveryTopicIsThereAndCoversItsDialog) {
  const fs::path out = fs::temp_directory_path() / "velkor-help-extract";
  fs::remove_all(out);
  const std::string command = "extract_chmLib '" + std::string(VELKOR_HELP_FILE) + "' '" + out.string() + "' >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  struct Topic { const char* file; std::vector<const char*> labels; };
  const Topic topics[] = {
      {"Simple.htm",
       {"Strategy", "Smaller", "Larger", "Xtreme!", "No compression", "Limit passes", "OK", "Cancel", "Help",
        "Keep Chunks...", "Advanced", "Reset", "Remember", "Stop After This Pass"}},
      {"Advanced.htm",
       {"Color Type", "Palette", "Gray+Alpha", "RGB+Alpha", "Filter", "Sub (delta x)", "Up (delta y)",
        "Average (delta x&amp;y)", "Paeth", "Adaptive (mixed)", "Bit Depth", "Palette Order", "Preserve",
        "Optimize", "Regenerate", "Block Split Threshold", "Brumlex Strategy", "Limit Passes", "Keep Chunks...",
        "Simple", "Reset", "Remember"}},
      {"KeepChunks.htm",
       {"Length", "Contents", "Select All", "Clear All", "Keep None", "Keep All", "Custom", "iCCP", "pHYs", "gAMA",
        "cHRM", "sRGB", "iTXt", "tEXt", "zTXt", "bKGD", "sBIT", "sPLT", "hIST", "tIME", "Private", "vpAg,gIFx",
        "None", "Remember", "Reset"}},
  };
  for (const Topic& topic : topics) {
    std::ifstream file(out / topic.file);
    ASSERT_TRUE(file) << topic.file << " is not in the help file";
    std::stringstream text;
    text << file.rdbuf();
    for (const char* label : topic.labels) {
      EXPECT_NE(text.str().find(label), std::string::npos) << topic.file << " says nothing of " << label;
    }
  }
}

}  // namespace

#endif
