#include <gtest/gtest.h>

#include <map>
#include <string>

#include "ui/DialogTemplates.h"

namespace {

struct Expected {
  int resource;
  const char* title;
  int width, height;
  std::map<int, std::string> texts;  // named controls and their texts
};

std::map<int, std::string> NamedTexts(const ui::DialogTemplate& dialog) {
  std::map<int, std::string> texts;
  for (const ui::ControlTemplate& c : dialog.controls) {
    if (c.id != -1) texts[c.id] = std::string(c.text);
  }
  return texts;
}

bool HasUnnamed(const ui::DialogTemplate& dialog, std::string_view text) {
  for (const ui::ControlTemplate& c : dialog.controls) {
    if (c.id == -1 && c.text == text) return true;
  }
  return false;
}

}  // namespace

TEST(OptionsTemplates, EveryNamedControlWithItsText) {
  const std::vector<Expected> expected = {
      {105, "VELKOR", 251, 151,
       {{1017, "Smaller"}, {1011, ""}, {1018, "Larger"}, {1012, "Xtreme!"}, {1066, "&Limit passes"}, {1014, ""},
        {1019, "1"}, {1020, "10"}, {1015, ""}, {1, "OK"}, {1069, "Cancel"}, {1068, "&Help"},
        {1071, "&Keep Chunks..."}, {1016, "&Advanced"}}},
      {106, "VELKOR", 314, 255,
       {{1037, "Auto"}, {1038, "Palette"}, {1039, "Gray"}, {1040, "Gray+Alpha"}, {1041, "RGB"}, {1042, "RGB+Alpha"},
        {1043, "Auto"}, {1044, "None"}, {1045, "Sub (delta x)"}, {1046, "Up (delta y)"},
        {1047, "Average (delta x&&y)"}, {1048, "Paeth"}, {1049, "Adaptive (mixed)"}, {1050, "Auto"}, {1051, "1"},
        {1052, "2"}, {1053, "4"}, {1054, "8"}, {1057, "Preserve"}, {1058, "Optimize"}, {1059, "Regenerate"},
        {1055, ""}, {1056, ""}, {1011, ""}, {1012, "XTreme!"}, {1066, "&Limit Passes"}, {1019, "1"}, {1020, "10"},
        {1014, ""}, {1015, ""}, {1071, "&Keep Chunks..."}, {1, "&OK"}, {1069, "Cancel"}, {1068, "Help"},
        {1022, "&Simple"}}},
      {107, "Keep Chunks", 354, 246,
       {{1075, ""}, {1077, "&Select All"}, {1078, "Cl&ear All"}, {1099, "Chunk &Types:"}, {1102, "Keep &None"},
        {1101, "Keep &All"}, {1100, "&Custom"}, {1084, "iCCP"}, {1079, "pHYs"}, {1082, "gAMA"}, {1083, "cHRM"},
        {1080, "sRGB"}, {1088, "iTXt"}, {1089, "tEXt"}, {1090, "zTXt"}, {1076, "bK&GD"}, {1081, "sBIT"},
        {1085, "sPLT"}, {1086, "hIST"}, {1087, "tIME"}, {1091, ""}, {1094, "Private"}, {1095, ""},
        {1073, "Re&member"}, {1098, "&Reset"}, {1, "OK"}, {2, "Cancel"}, {9, "Help"}}},
  };
  for (const Expected& e : expected) {
    const ui::DialogTemplate* dialog = ui::FindDialogTemplate(e.resource);
    ASSERT_NE(dialog, nullptr) << e.resource;
    EXPECT_EQ(dialog->title, e.title);
    EXPECT_EQ(dialog->width, e.width) << e.resource;
    EXPECT_EQ(dialog->height, e.height) << e.resource;
    EXPECT_EQ(NamedTexts(*dialog), e.texts) << e.resource;
    for (const ui::ControlTemplate& c : dialog->controls) {
      EXPECT_LE(c.x + c.width, dialog->width) << e.resource << "/" << c.id;
      EXPECT_LE(c.y + c.height, dialog->height) << e.resource << "/" << c.id;
    }
  }
  for (const char* label : {"&Strategy:", "&Max Passes"}) EXPECT_TRUE(HasUnnamed(*ui::FindDialogTemplate(105), label));
  for (const char* label : {"&Color Type", "&Filter", "&Bit Depth:", "&Palette Order:", "Block Split &Threshold:",
                            "Brumlex Str&ategy:", "Smaller", "Larger", "&Max Passes:"}) {
    EXPECT_TRUE(HasUnnamed(*ui::FindDialogTemplate(106), label)) << label;
  }
  for (const char* label : {"Select the ancillary chunks that you want to keep in the output file.", "Ch&unks:"}) {
    EXPECT_TRUE(HasUnnamed(*ui::FindDialogTemplate(107), label)) << label;
  }
}

TEST(OptionsTemplates, PassControlsOfTheSimpleDialogStartDisabled) {
  for (const ui::ControlTemplate& c : ui::FindDialogTemplate(105)->controls) {
    const bool pass = c.id == 1014 || c.id == 1015 || c.id == 1019 || c.id == 1020;
    EXPECT_EQ((c.style & ui::style::kDisabled) != 0, pass) << c.id;
    EXPECT_EQ((c.style & ui::style::kEditNumber) != 0, c.id == 1015) << c.id;
  }
}
