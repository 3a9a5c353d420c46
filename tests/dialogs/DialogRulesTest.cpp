// The dialogs' rules in full; the threshold presets and their text the
// Advanced dialog's tests drive through the controls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/VELKORPSUI/KeepChunksRules.h"
#include "common/VELKORPSUI/OptionsRules.h"

TEST(OptionsRules, StrategyNamesByPosition) {
  const std::vector<std::string> names = {"Xtreme!", "Intense", "Longest match", "Huffman only", "No compression"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(StrategyName(i), names[i]);
  EXPECT_EQ(StrategyName(-1), nullptr);
  EXPECT_EQ(StrategyName(5), nullptr);
}

// A pasted "-4" is no pass limit.
TEST(OptionsRules, PassTextAndLimit) {
  EXPECT_EQ(PassText(true, 25) + "|" + PassText(true, 0) + "|" + PassText(false, 5), "25||");
  EXPECT_EQ(std::vector<int>({PassLimitOnOk(true, 25), PassLimitOnOk(true, -4), PassLimitOnOk(false, 25)}),
            std::vector<int>({25, 0, 0}));
}

TEST(OptionsRules, PassEditMovesTheSlider) {
  struct Case { IntegerStatus status; int value; int position; };
  for (const Case& c : std::vector<Case>{{IntegerStatus::NotANumber, 0, 0},
                                         {IntegerStatus::InRange, 7, 7},
                                         {IntegerStatus::InRange, 10, 10},
                                         {IntegerStatus::InRange, 25, 11},
                                         {IntegerStatus::OutOfRange, 0, 0},
                                         {IntegerStatus::OutOfRange, 300, 11},
                                         {IntegerStatus::OutOfRange, -3, 11}}) {
    EXPECT_EQ(PassSliderPositionForEdit(c.status, c.value), c.position) << c.value;
  }
}

TEST(OptionsRules, AnalysisEnablingTable) {
  using E = Enabling;
  // Gray, Gray+Alpha, RGB, Palette, depth 1, 2, 4, 8.
  struct Case { int ct, bd; std::vector<E> expected; };
  for (const Case& c : std::vector<Case>{
           {0, 1, {E::Enable, E::Enable, E::Leave, E::Enable, E::Enable, E::Enable, E::Enable, E::Enable}},
           {4, 8, {E::Disable, E::Enable, E::Leave, E::Disable, E::Disable, E::Disable, E::Disable, E::Enable}},
           {3, 4, {E::Disable, E::Disable, E::Leave, E::Enable, E::Disable, E::Disable, E::Enable, E::Enable}},
           {2, 8, {E::Disable, E::Disable, E::Leave, E::Disable, E::Disable, E::Disable, E::Disable, E::Enable}},
           {6, 8, {E::Disable, E::Disable, E::Disable, E::Disable, E::Disable, E::Disable, E::Disable, E::Enable}},
           {0, 0, {E::Enable, E::Enable, E::Leave, E::Enable, E::Disable, E::Disable, E::Disable, E::Disable}},
       }) {
    std::vector<E> got;
    std::vector<int> ids;
    for (const AnalysisEnabling& e : EnablingForAnalysis(c.ct, c.bd)) {
      got.push_back(e.enabling);
      ids.push_back(e.id);
    }
    EXPECT_EQ(got, c.expected) << c.ct << "/" << c.bd;
    EXPECT_EQ(ids, (std::vector<int>{1039, 1040, 1041, 1038, 1051, 1052, 1053, 1054}));
  }
}

TEST(KeepChunksRules, ChunkStringCheck) {
  struct Case { const char* text; bool ok; std::vector<std::string> pieces; };
  for (const Case& c : std::vector<Case>{{"", true, {}},
                                         {"vpAg", true, {"vpAg"}},
                                         {"vpAg,gIFx", true, {"vpAg", "gIFx"}},
                                         {"vpAg,,gIFx,", true, {"vpAg", "gIFx"}},
                                         {",", true, {}},
                                         {"vpAgX", false, {"vpAgX"}},
                                         {"vpAg,gIF", false, {"vpAg", "gIF"}}}) {
    EXPECT_EQ(CheckChunkString(c.text), c.ok) << c.text;
    EXPECT_EQ(SplitChunkString(c.text), c.pieces) << c.text;
  }
}

TEST(KeepChunksRules, KeepListFromControls) {
  KeepControls custom;
  custom.typeTicked[2] = true;   // gAMA
  custom.typeTicked[0] = true;   // iCCP comes first, in table order
  custom.privateTicked = true;
  custom.privateText = "vpAg,gIFx";
  EXPECT_EQ(BuildKeepList(custom).Serialize(), "iCCP,gAMA,vpAg,gIFx,");
  custom.privateTicked = false;
  EXPECT_EQ(BuildKeepList(custom).Serialize(), "iCCP,gAMA,");
  KeepControls all = custom;
  all.keepAll = true;
  EXPECT_TRUE(BuildKeepList(all).IsAll());
  KeepControls none = custom;
  none.keepNone = true;
  EXPECT_TRUE(BuildKeepList(none).IsEmpty());
}
