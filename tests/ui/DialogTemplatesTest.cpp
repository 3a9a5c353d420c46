// The dialog descriptions: the texts the system shows are the exact ones,
// and the resource script windres sees expands from the same rows.
#include <gtest/gtest.h>

#include <set>

#include "ui/DialogTemplates.h"

namespace {

using namespace ui;

TEST(DialogTemplates, ProgressAndAboutHoldTheirControls) {
  struct Row {
    int dialog;
    int control;
    const char* className;
    const char* text;
  };
  const Row rows[] = {
      {109, -1, "Static", "Writing VELKOR Format"},
      {109, 1104, "Static", "Pass 0"},
      {109, 1103, "msctls_progress32", ""},
      {109, 1106, "Button", "&Stop After This Pass "},
      {109, 2, "Button", "Cancel"},
      {16000, 1008, "Static", ""},
      {16000, 1, "Button", "OK"},
      {16000, 2, "Button", "Cancel"},
  };
  for (const Row& row : rows) {
    const DialogTemplate* dialog = FindDialogTemplate(row.dialog);
    ASSERT_NE(dialog, nullptr) << row.dialog;
    const ControlTemplate* found = nullptr;
    for (const ControlTemplate& c : dialog->controls) {
      if (c.id == row.control && !found) found = &c;
    }
    ASSERT_NE(found, nullptr) << row.dialog << "/" << row.control;
    EXPECT_EQ(found->className, row.className) << row.control;
    EXPECT_EQ(found->text, row.text) << row.control;
  }
  EXPECT_EQ(FindDialogTemplate(109)->title, "Progress");
  EXPECT_EQ(FindDialogTemplate(109)->width, 298);
  EXPECT_EQ(FindDialogTemplate(109)->height, 59);
  EXPECT_EQ(FindDialogTemplate(16000)->width, 189);
  EXPECT_EQ(FindDialogTemplate(16000)->height, 130);
  // A popup without caption whose OK and Cancel stay hidden and disabled.
  EXPECT_NE(FindDialogTemplate(16000)->style & 0x00C00000u, 0x00C00000u);
  for (const ControlTemplate& c : FindDialogTemplate(16000)->controls) {
    if (c.id == 1 || c.id == 2) {
      EXPECT_EQ(c.style & (style::kVisible | style::kDisabled), style::kDisabled);
    }
    if (c.id == 1008) {
      EXPECT_EQ(c.iconId, 103);
    }
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
}

}  // namespace
