#include <gtest/gtest.h>

#include "common/VELKORPSUI/AdvancedOptions.h"
#include "common/VELKORPSUI/ChunkSelection.h"
#include "common/VELKORPSUI/OptionsRules.h"
#include "common/VELKORPSUI/RunOptionsDialog.h"
#include "dialogs/DialogFixture.h"

using namespace dialogtest;

namespace {

// A 4 x 4 opaque colour image with more colours than greys.
std::vector<uint32_t> ColourPixels() {
  std::vector<uint32_t> pixels(16);
  for (uint32_t i = 0; i < 16; ++i) pixels[i] = 0xFF000000u | (i * 0x0F1123u);
  return pixels;
}

struct OptionsRun : Fixture {
  std::vector<uint32_t> pixels = ColourPixels();
  EncodeJob job = JobFor(pixels, 4, 4);
  int maxPasses = 0;

  bool Run(std::vector<Action> actions) {
    return Drive(std::move(actions), [&] { return RunOptionsDialog(services, job, 255, 0, &maxPasses); });
  }
  std::optional<uint32_t> Number(const char* name) {
    uint32_t value = 0xDEAD;
    return store.ReadNumber(name, value) ? std::optional<uint32_t>(value) : std::nullopt;
  }
};

Action ExpectText(int id, std::string text) {
  return [id, text](HeadlessToolkit&, HeadlessWindow& w) { EXPECT_EQ(w.Find(id)->text, text) << id; };
}
Action ExpectSlider(int id, int pos) {
  return [id, pos](HeadlessToolkit&, HeadlessWindow& w) { EXPECT_EQ(w.Find(id)->sliderPos, pos) << id; };
}
Action ExpectTemplate(int resource) {
  return [resource](HeadlessToolkit&, HeadlessWindow& w) { EXPECT_EQ(w.source->id, resource); };
}

}  // namespace

TEST(SimpleDialog, OpensWithNothingRemembered) {
  OptionsRun run;
  EXPECT_TRUE(run.Run({ExpectTemplate(kSimpleDialogTemplate), ExpectText(kIdStrategyName, "Xtreme!"),
                       [](HeadlessToolkit&, HeadlessWindow& w) {
                         EXPECT_EQ(w.Find(kIdLimitPasses)->check, ui::ButtonState::Unchecked);
                         for (int id : {kIdPassEdit, kIdPassSlider, kIdPassLowBuddy, kIdPassHighBuddy}) {
                           EXPECT_FALSE(w.Find(id)->enabled) << id;
                         }
                       },
                       ExpectText(kIdPassEdit, ""), ExpectSlider(kIdPassSlider, 1), Click(ui::kIdOk)}));
  EXPECT_EQ(run.maxPasses, 0);
  EXPECT_EQ(run.job.strategy, 0);
  EXPECT_EQ(run.store.ReadDialogChoice(), kIdToSimple);
}

TEST(SimpleDialog, PassLimitFromTheEditAndTheBox) {
  struct Case { const char* name; std::vector<Action> actions; int maxPasses; };
  std::vector<Case> cases;
  // The edit takes digits only.
  cases.push_back({"typing 2x5", {Click(kIdLimitPasses), Type(kIdPassEdit, "2x5"), ExpectSlider(kIdPassSlider, 10), Click(ui::kIdOk)}, 25});
  cases.push_back({"box without typing", {Click(kIdLimitPasses), ExpectText(kIdPassEdit, ""), Click(ui::kIdOk)}, 0});
  cases.push_back({"slider moved", {Click(kIdLimitPasses), Slide(kIdPassSlider, 4), ExpectText(kIdPassEdit, "4"), Click(ui::kIdOk)}, 4});
  cases.push_back({"box cleared again", {Click(kIdLimitPasses), Type(kIdPassEdit, "7"), Click(kIdLimitPasses),
                                          ExpectText(kIdPassEdit, ""), Click(ui::kIdOk)}, 0});
  for (Case& c : cases) {
    OptionsRun run;
    run.maxPasses = 99;
    EXPECT_TRUE(run.Run(std::move(c.actions))) << c.name;
    EXPECT_EQ(run.maxPasses, c.maxPasses) << c.name;
  }
}

TEST(SimpleDialog, AltRelabelsAndRemembers) {
  OptionsRun run;
  EXPECT_TRUE(run.Run({Slide(kIdStrategySlider, 2), ExpectText(kIdStrategyName, "Longest match"), Click(kIdLimitPasses),
                       Type(kIdPassEdit, "25"), Alt(true), ExpectText(kIdCancelOrReset, "Reset"),
                       ExpectText(kIdHelpOrRemember, "Remember"), Click(kIdHelpOrRemember), Alt(false),
                       ExpectText(kIdCancelOrReset, "&Cancel"), ExpectText(kIdHelpOrRemember, "&Help"),
                       Click(kIdHelpOrRemember), Click(ui::kIdOk)}));
  EXPECT_EQ(run.Number(kStrategyValue), 2u);
  EXPECT_EQ(run.Number(kLimitPassesValue), 0x10019u);
  EXPECT_EQ(run.helpTopics, std::vector<std::string>{"Simple.htm"});
  EXPECT_EQ(run.job.strategy, 2);
}

// Alt+A ends the Simple dialog with Alt still down; its release reaches the
// Advanced dialog.  Shown again, the Simple dialog's buttons read Cancel and
// Help and must act as Cancel and Help, not as Reset and Remember.
TEST(SimpleDialog, AltReleasedInTheOtherDialogLeavesTheButtonsThemselves) {
  OptionsRun run;
  EXPECT_FALSE(run.Run({Alt(true), Click(kIdToAdvanced), ExpectTemplate(kAdvancedDialogTemplate), Alt(false),
                        Click(kIdToSimple), ExpectTemplate(kSimpleDialogTemplate),
                        ExpectText(kIdHelpOrRemember, "&Help"), Click(kIdHelpOrRemember), Click(kIdCancelOrReset)}));
  EXPECT_EQ(run.helpTopics, std::vector<std::string>{"Simple.htm"});
  EXPECT_EQ(run.Number(kStrategyValue), std::nullopt);
  EXPECT_EQ(run.Number(kLimitPassesValue), std::nullopt);
}

TEST(SimpleDialog, OpensWithTheRememberedStrategyAndLimitAndResetsToThem) {
  OptionsRun run;
  run.store.WriteNumber(kStrategyValue, 3);
  run.store.WriteNumber(kLimitPassesValue, 0x10007);
  EXPECT_TRUE(run.Run({ExpectText(kIdStrategyName, "Huffman only"), ExpectText(kIdPassEdit, "7"),
                       ExpectSlider(kIdPassSlider, 7), Slide(kIdStrategySlider, 0), Type(kIdPassEdit, "3"), Alt(true),
                       Click(kIdCancelOrReset), Alt(false), ExpectText(kIdStrategyName, "Huffman only"),
                       ExpectText(kIdPassEdit, "7"), Click(ui::kIdOk)}));
  EXPECT_EQ(run.job.strategy, 3);
  EXPECT_EQ(run.maxPasses, 7);
}

TEST(RunOptionsDialog, SwitchingDialogsRemembersTheLastOne) {
  OptionsRun run;
  EXPECT_TRUE(run.Run({Click(kIdToAdvanced), ExpectTemplate(kAdvancedDialogTemplate), Click(kIdToSimple),
                       ExpectTemplate(kSimpleDialogTemplate), Click(ui::kIdOk)}));
  EXPECT_EQ(run.store.ReadDialogChoice(), kIdToSimple);
  EXPECT_TRUE(run.Run({Click(kIdToAdvanced), Click(ui::kIdOk)}));
  EXPECT_EQ(run.store.ReadDialogChoice(), kIdToAdvanced);
  EXPECT_TRUE(run.Run({ExpectTemplate(kAdvancedDialogTemplate), Click(ui::kIdOk)}));
}

// Cancel, and a dialog nobody ends, cancel the save and remember nothing.
TEST(RunOptionsDialog, CancelAndADialogNobodyEndsCancel) {
  for (std::vector<Action> actions : {std::vector<Action>{Click(kIdCancelOrReset)}, std::vector<Action>{}}) {
    OptionsRun run;
    EXPECT_FALSE(run.Run(actions));
    EXPECT_EQ(run.Number(kSaveDialogValue), std::nullopt);
  }
}

TEST(AdvancedDialog, OpensAtTheDefaultsEvenAfterRemember) {
  OptionsRun run;
  run.store.WriteDialogChoice(kIdToAdvanced);
  const std::vector<Action> expectDefaults = {
      [](HeadlessToolkit&, HeadlessWindow& w) {
        for (int id : {1037, 1043, 1050, 1058}) EXPECT_EQ(w.Find(id)->check, ui::ButtonState::Checked) << id;
        EXPECT_EQ(w.Find(kIdLimitPasses)->check, ui::ButtonState::Unchecked);
        EXPECT_FALSE(w.Find(kIdPassEdit)->enabled);
      },
      ExpectText(kIdThresholdEdit, "256.000000"), ExpectSlider(kIdThresholdSlider, 3),
      ExpectText(kIdStrategyName, "Xtreme!"), ExpectText(kIdPassEdit, "")};
  std::vector<Action> actions = expectDefaults;
  for (Action a : {Click(1042), Click(1049), Click(1059), Slide(kIdThresholdSlider, 9), Slide(kIdStrategySlider, 1),
                   Click(kIdLimitPasses), Type(kIdPassEdit, "5"), Alt(true), Click(kIdHelpOrRemember), Alt(false),
                   Click(kIdCancelOrReset)}) {
    actions.push_back(a);
  }
  EXPECT_FALSE(run.Run(actions));
  AdvancedOptions stored;
  ASSERT_TRUE(run.store.ReadAdvancedOptions(stored));
  EXPECT_EQ(stored.m_colorType, 6);
  EXPECT_EQ(stored.m_filter, 5);
  EXPECT_EQ(stored.m_paletteOrder, kPaletteRegenerate);
  EXPECT_EQ(stored.m_splitThreshold, 4096.0);
  EXPECT_EQ(stored.m_strategy, 1);
  EXPECT_EQ(stored.m_limitPasses, 1);
  EXPECT_EQ(stored.m_maxPasses, 5);
  EXPECT_EQ(run.Number(kStrategyValue), std::nullopt) << "Advanced remembers only its record";

  std::vector<Action> again = expectDefaults;
  again.push_back(Click(ui::kIdOk));
  EXPECT_TRUE(run.Run(again));
}

TEST(AdvancedDialog, OkFillsTheJob) {
  struct Case { const char* name; std::vector<Action> actions; int colortype, filter, bitdepth, keeppal, palcount; double threshold; };
  std::vector<Case> cases;
  cases.push_back({"defaults", {}, -1, -1, -1, 0, 7, 256.0});
  cases.push_back({"threshold preset 3 by the slider", {Slide(kIdThresholdSlider, 0), Slide(kIdThresholdSlider, 3),
                                                        ExpectText(kIdThresholdEdit, "256.000000")}, -1, -1, -1, 0, 7, 256.0});
  cases.push_back({"question mark", {Type(kIdThresholdEdit, "?")}, -1, -1, -1, 0, 7, 0.0});
  cases.push_back({"typed threshold", {Type(kIdThresholdEdit, "1500.25x")}, -1, -1, -1, 0, 7, 1500.25});
  cases.push_back({"preserve", {Click(1057), Click(1045), Click(1054)}, -1, 1, 8, 1, 7, 256.0});
  cases.push_back({"regenerate", {Click(1059), Click(1042), Click(1049)}, 6, 5, -1, 0, 0, 256.0});
  for (Case& c : cases) {
    OptionsRun run;
    run.store.WriteDialogChoice(kIdToAdvanced);
    run.job.keeppal = 1;
    run.job.palcount = 7;
    c.actions.push_back(Click(ui::kIdOk));
    ASSERT_TRUE(run.Run(std::move(c.actions))) << c.name;
    EXPECT_EQ(run.job.colortype, c.colortype) << c.name;
    EXPECT_EQ(run.job.filter, c.filter) << c.name;
    EXPECT_EQ(run.job.bitdepth, c.bitdepth) << c.name;
    EXPECT_EQ(run.job.keeppal, c.keeppal) << c.name;
    EXPECT_EQ(run.job.palcount, c.palcount) << c.name;
    EXPECT_EQ(run.job.splitthreshold, c.threshold) << c.name;
  }
}

TEST(AdvancedDialog, EnablesOnlyWhatTheAnalysisAllows) {
  struct Case { const char* name; std::vector<uint32_t> pixels; std::vector<int> enabled, disabled; int colortype; };
  std::vector<uint32_t> greyKey(64, 0xFF303030);
  for (int i = 0; i < 8; ++i) greyKey[i] = 0xFF000000u | (i * 0x101010u);
  greyKey[9] = 0x00C0C0C0;
  std::vector<uint32_t> partialColour(1024);
  for (uint32_t i = 0; i < 1024; ++i) partialColour[i] = (i % 2 ? 0x80000000u : 0xFF000000u) | (i * 0x010307u);
  std::vector<Case> cases = {
      {"grey with one transparent grey", greyKey, {1037, 1038, 1039, 1040, 1041, 1042}, {}, 0},
      {"colour with partial alpha", partialColour, {1037, 1042}, {1038, 1039, 1040, 1041}, 6},
  };
  for (Case& c : cases) {
    OptionsRun run;
    run.pixels = c.pixels;
    run.job = JobFor(run.pixels, c.pixels.size() == 64 ? 8 : 32, c.pixels.size() == 64 ? 8 : 32);
    run.store.WriteDialogChoice(kIdToAdvanced);
    EXPECT_TRUE(run.Run({[&](HeadlessToolkit&, HeadlessWindow& w) {
                           for (int id : c.enabled) EXPECT_TRUE(w.Find(id)->enabled) << c.name << " " << id;
                           for (int id : c.disabled) EXPECT_FALSE(w.Find(id)->enabled) << c.name << " " << id;
                         },
                         Click(ui::kIdOk)}));
    EXPECT_EQ(run.job.outcolortype, c.colortype) << c.name;
  }
}

TEST(AdvancedDialog, AnAbortDuringTheAnalysisLeavesEveryButtonEnabled) {
  OptionsRun run;
  run.host.abort = true;
  run.store.WriteDialogChoice(kIdToAdvanced);
  EXPECT_TRUE(run.Run({[](HeadlessToolkit&, HeadlessWindow& w) {
                         for (int id = 1037; id <= 1054; ++id) EXPECT_TRUE(w.Find(id)->enabled) << id;
                       },
                       Click(ui::kIdOk)}));
  EXPECT_EQ(run.host.result, -128);
}
