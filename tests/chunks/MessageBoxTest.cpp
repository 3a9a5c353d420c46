// The Linux message box sink that the chunk model and the dialogs report
// through.
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::MessageBoxEntry;
using platform::RecordedMessageBoxes;

TEST(MessageBox, DefaultRecorderReceivesBoxesWhenNothingIsInstalled) {
  RecordedMessageBoxes& recorder = platform::DefaultMessageBoxes();
  recorder.Clear();
  platform::ShowMessageBox("VELKOR was unable to write the file.", "VELKOR");
  ASSERT_EQ(recorder.TotalShown(), 1u);
  EXPECT_EQ(*recorder.Last(), (MessageBoxEntry{"VELKOR was unable to write the file.", "VELKOR"}));
  recorder.Clear();
  EXPECT_FALSE(recorder.Last().has_value());
}

TEST(MessageBox, ScopedSinkTakesBoxesAndRestoresThePreviousOne) {
  RecordedMessageBoxes outer;
  RecordedMessageBoxes inner;
  platform::ScopedMessageBoxSink outerScope(outer);
  {
    platform::ScopedMessageBoxSink innerScope(inner);
    platform::ShowMessageBox("a", "A");
  }
  platform::ShowMessageBox("b", "B");
  EXPECT_EQ(inner.Boxes(), (std::vector<MessageBoxEntry>{{"a", "A"}}));
  EXPECT_EQ(outer.Boxes(), (std::vector<MessageBoxEntry>{{"b", "B"}}));
}

TEST(MessageBox, RecorderKeepsOnlyTheLatestBoxes) {
  RecordedMessageBoxes recorder;
  const size_t shown = RecordedMessageBoxes::kCapacity + 5;
  for (size_t i = 0; i < shown; ++i) recorder.Show(std::to_string(i), "t");
  const auto boxes = recorder.Boxes();
  ASSERT_EQ(boxes.size(), RecordedMessageBoxes::kCapacity);
  EXPECT_EQ(boxes.front().text, "5");
  EXPECT_EQ(boxes.back().text, std::to_string(shown - 1));
  EXPECT_EQ(recorder.TotalShown(), shown);
}

}  // namespace
