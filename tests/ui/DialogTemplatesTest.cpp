// The dialog descriptions: every named control of every dialog with the
// exact text the system shows, the unnamed labels, the sizes, and the ids,
// strings and icon the resource script expands from the same rows.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "ui/DialogTemplates.h"

namespace {

using namespace ui;

struct Expected {
  int resource;
  const char* title;
  int width, height;
  std::map<int, std::string> texts;  // named controls and their texts
  std::vector<const char*> labels;   // unnamed controls
};

TEST(DialogTemplates, EveryNamedControlWithItsTextAndEveryLabel) {
  const std::vector<Expected> expected = {
      {105, "VELKOR", 251, 151,
       {{1017, "Smaller"}, {1011, ""}, {1018, "Larger"}, {1012, "Xtreme!"}, {1066, "&Limit passes"}, {1014, ""},
        {1019, "1"}, {1020, "10"}, {1015, ""}, {1, "OK"}, {1069, "Cancel"}, {1068, "&Help"},
        {1071, "&Keep Chunks..."}, {1016, "&Advanced"}},
       {"&Strategy:", "&Max Passes"}},
      {106, "VELKOR", 314, 255,
       {{1037, "Auto"}, {1038, "Palette"}, {1039, "Gray"}, {1040, "Gray+Alpha"}, {1041, "RGB"}, {1042, "RGB+Alpha"},
        {1043, "Auto"}, {1044, "None"}, {1045, "Sub (delta x)"}, {1046, "Up (delta y)"},
        {1047, "Average (delta x&&y)"}, {1048, "Paeth"}, {1049, "Adaptive (mixed)"}, {1050, "Auto"}, {1051, "1"},
        {1052, "2"}, {1053, "4"}, {1054, "8"}, {1057, "Preserve"}, {1058, "Optimize"}, {1059, "Regenerate"},
        {1055, ""}, {1056, ""}, {1011, ""}, {1012, "XTreme!"}, {1066, "&Limit Passes"}, {1019, "1"}, {1020, "10"},
        {1014, ""}, {1015, ""}, {1071, "&Keep Chunks..."}, {1, "&OK"}, {1069, "Cancel"}, {1068, "Help"},
        {1022, "&Simple"}},
       {"&Color Type", "&Filter", "&Bit Depth:", "&Palette Order:", "Block Split &Threshold:", "Brumlex Str&ategy:",
        "Smaller", "Larger", "&Max Passes:"}},
      {107, "Keep Chunks", 354, 246,
       {{1075, ""}, {1077, "&Select All"}, {1078, "Cl&ear All"}, {1099, "Chunk &Types:"}, {1102, "Keep &None"},
        {1101, "Keep &All"}, {1100, "&Custom"}, {1084, "iCCP"}, {1079, "pHYs"}, {1082, "gAMA"}, {1083, "cHRM"},
        {1080, "sRGB"}, {1088, "iTXt"}, {1089, "tEXt"}, {1090, "zTXt"}, {1076, "bK&GD"}, {1081, "sBIT"},
        {1085, "sPLT"}, {1086, "hIST"}, {1087, "tIME"}, {1091, ""}, {1094, "Private"}, {1095, ""},
        {1073, "Re&member"}, {1098, "&Reset"}, {1, "OK"}, {2, "Cancel"}, {9, "Help"}},
       {"Select the ancillary chunks that you want to keep in the output file.", "Ch&unks:"}},
      {109, "Progress", 298, 59,
       {{1104, "Pass 0"}, {1103, ""}, {1106, "&Stop After This Pass "}, {2, "Cancel"}},
       {"Writing VELKOR Format"}},
      {16000, "Generic About Box", 189, 130,
       {{1008, ""}, {1005, "Copyright (c) Quenbury Imaging, LLC\nAll rights reserved."},
        {1006, "https://quenbury-imaging.example/velkor/"}, {1, "OK"}, {2, "Cancel"}},
       {"VELKOR File Format Plugin"}},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.resource);
    const DialogTemplate* dialog = FindDialogTemplate(e.resource);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->title, e.title);
    EXPECT_EQ(std::pair(dialog->width, dialog->height), std::pair(e.width, e.height));
    std::map<int, std::string> texts;
    std::set<std::string> labels;
    for (const ControlTemplate& c : dialog->controls) {
      if (c.id == -1) {
        labels.insert(std::string(c.text));
      } else {
        texts[c.id] = std::string(c.text);
      }
      EXPECT_LE(c.x + c.width, dialog->width) << c.id;
      EXPECT_LE(c.y + c.height, dialog->height) << c.id;
    }
    EXPECT_EQ(texts, e.texts);
    for (const char* label : e.labels) EXPECT_TRUE(labels.count(label)) << label;
  }
}

TEST(DialogTemplates, IdsAreUniqueAndStringsAndIconsResolve) {
  std::set<int> dialogs;
  for (const DialogTemplate& dialog : AllDialogTemplates()) {
    EXPECT_TRUE(dialogs.insert(dialog.id).second) << dialog.id;
    std::set<int> ids;
    for (const ControlTemplate& c : dialog.controls) {
      if (c.id != -1) {
        EXPECT_TRUE(ids.insert(c.id).second) << dialog.id << "/" << c.id;
      }
    }
  }
  std::set<int> strings;
  for (const StringEntry& entry : AllStrings()) {
    EXPECT_TRUE(strings.insert(entry.id).second) << entry.id;
    EXPECT_LE(entry.text.size(), 255u) << entry.id;
  }
  EXPECT_EQ(FindString(1101), "This option will retain all ancillary chunks from the source file, including any private chunks.");
  ASSERT_EQ(AllIcons().size(), 1u);
  EXPECT_EQ(AllIcons()[0].id, 103);
  for (const ControlTemplate& c : FindDialogTemplate(16000)->controls) EXPECT_EQ(c.iconId, c.id == 1008 ? 103 : 0) << c.id;
}

}  // namespace
