// The dialog procedure's routing, run-modal results and centring, driven
// through the headless toolkit.
#include <gtest/gtest.h>

#include <stdexcept>

#include "HeadlessTestSupport.h"
#include "ui/DialogPlacement.h"

namespace {

using namespace ui;
using namespace uitest;

constexpr int kProgressTemplate = 109;

struct Sent { unsigned message; MessageParam first; };

// Sends `messages` to the dialog once it is up, then lets it end as it may.
MessageResult RunWith(RecordingDialog& dialog, HeadlessToolkit& toolkit, std::vector<Sent> messages) {
  size_t next = 0;
  FunctionDriver driver([&](HeadlessToolkit& tk, HeadlessWindow& window) {
    if (next == messages.size()) return false;
    tk.SendToDialog(&window, messages[next].message, messages[next].first, 0);
    ++next;
    return true;
  });
  toolkit.SetDriver(&driver);
  const MessageResult result = dialog.RunModal(nullptr, "Progress", kProgressTemplate);
  toolkit.SetDriver(nullptr);
  return result;
}

struct CommandCase {
  const char* name;
  int id;
  unsigned code;
  bool cancelEnds;
  std::vector<std::string> calls;
  MessageResult result;  // -1: the dialog had to be ended by the toolkit
};

TEST(DialogDispatch, CommandsRouteByIdAndCode) {
  const CommandCase cases[] = {
      {"OK code 0 is ok", 1, 0, true, {"init", "ok", "destroyed"}, 1},
      {"OK with a code is a command", 1, 1, true, {"init", "command 1 1", "destroyed"}, -1},
      {"Cancel code 0 is cancel", 2, 0, true, {"init", "cancel", "destroyed"}, 2},
      {"Cancel ends with 2 though cancel does not", 2, 0, false, {"init", "cancel", "destroyed"}, 2},
      {"Cancel with a code is a command and does not end", 2, kEnChange, true,
       {"init", "command 768 2", "destroyed"}, -1},
      {"other id", 1106, 0, true, {"init", "command 0 1106", "destroyed"}, -1},
  };
  for (const CommandCase& c : cases) {
    Harness h;
    h.dialog.cancelEnds = c.cancelEnds;
    const MessageResult result = RunWith(h.dialog, h.toolkit, {{kWmCommand, MakeCommandParam(c.id, c.code)}});
    EXPECT_EQ(h.dialog.calls, c.calls) << c.name;
    EXPECT_EQ(result, c.result) << c.name;
  }
}

TEST(DialogDispatch, OtherMessagesGoToMessageAndItsAnswerIsReturned) {
  Harness h;
  MessageResult answer = 0;
  FunctionDriver driver([&](HeadlessToolkit& tk, HeadlessWindow& window) {
    if (answer != 0) return false;
    answer = tk.SendToDialog(&window, kWmTimer, 1, 0);
    tk.EndDialog(&window, 1016);
    return true;
  });
  h.toolkit.SetDriver(&driver);
  EXPECT_EQ(h.dialog.RunModal(nullptr, "", kProgressTemplate), 1016);
  EXPECT_EQ(answer, 7);
  EXPECT_EQ(h.dialog.calls, (std::vector<std::string>{"init", "message 275", "destroyed"}));
  EXPECT_EQ(h.dialog.ResourceId(), kProgressTemplate);
}

TEST(DialogDispatch, WithoutObjectDefaultProcedureAnswersAndDestroyClearsSlot) {
  Harness h;
  HeadlessWindow window(*FindDialogTemplate(kProgressTemplate));
  EXPECT_EQ(DispatchDialogMessage(h.toolkit, &window, kWmTimer, 1, 0), 0);
  EXPECT_EQ(h.toolkit.DefaultProcedureCalls(), 1u);
  // No object at init: answered 0, nothing stored.
  EXPECT_EQ(DispatchDialogMessage(h.toolkit, &window, kWmInitDialog, 0, 0), 0);
  // Cancel without an object still ends the dialog with 2.
  DispatchDialogMessage(h.toolkit, &window, kWmCommand, MakeCommandParam(kIdCancel, 0), 0);
  EXPECT_TRUE(window.ended);
  EXPECT_EQ(window.result, 2);

  EXPECT_EQ(DispatchDialogMessage(h.toolkit, &window, kWmInitDialog, 0, reinterpret_cast<LongParam>(&h.dialog)), 1);
  EXPECT_EQ(window.userSlot, &h.dialog);
  EXPECT_EQ(h.dialog.Window(), &window);
  DispatchDialogMessage(h.toolkit, &window, kWmDestroy, 0, 0);
  EXPECT_EQ(window.userSlot, nullptr);
  EXPECT_EQ(h.dialog.calls.back(), "destroyed");
  // After destruction the default procedure answers again.
  DispatchDialogMessage(h.toolkit, &window, kWmTimer, 1, 0);
  EXPECT_EQ(h.toolkit.DefaultProcedureCalls(), 2u);
}

class ThrowingDialog : public RecordingDialog {
 public:
  using RecordingDialog::RecordingDialog;
  void Init() override { throw std::runtime_error("broken init"); }
};

TEST(DialogRunModal, MissingTemplateAndThrowingDialogGiveMinusOne) {
  Harness h;
  EXPECT_EQ(h.dialog.RunModal(nullptr, "", 4242), -1);
  EXPECT_TRUE(h.dialog.calls.empty());
  ThrowingDialog throwing(h.toolkit);
  EXPECT_EQ(throwing.RunModal(nullptr, "", kProgressTemplate), -1);
}

TEST(DialogRunModal, PostedMessagesArriveInOrderAfterTheCurrentOne) {
  Harness h;
  bool posted = false;
  FunctionDriver driver([&](HeadlessToolkit& tk, HeadlessWindow& window) {
    if (posted) return false;
    posted = true;
    tk.PostCommand(&window, 1106);
    tk.PostToDialog(&window, kWmCommand, MakeCommandParam(kIdOk, 0), 0);
    EXPECT_EQ(h.dialog.calls.size(), 1u) << "posting must not deliver at once";
    return true;
  });
  h.toolkit.SetDriver(&driver);
  EXPECT_EQ(h.dialog.RunModal(nullptr, "", kProgressTemplate), 1);
  EXPECT_EQ(h.dialog.calls, (std::vector<std::string>{"init", "command 0 1106", "ok", "destroyed"}));
}

TEST(DialogPlacement, CentresOverOwnerAndKeepsOnScreen) {
  struct Case { const char* name; ScreenRect area; int width, height; bool systemMenu; ScreenPoint expected; };
  const Case cases[] = {
      {"owner area, system menu", {100, 50, 900, 650}, 400, 300, true, {100 + 200 - 18, 50 + 100}},
      {"no system menu: two thirds of the offset", {100, 50, 900, 650}, 400, 300, false, {100 + 200 - 12, 150}},
      {"desktop, no owner", {0, 0, 1024, 768}, 300, 150, true, {362 - 18, 206}},
      {"larger than the screen", {0, 0, 1024, 768}, 1500, 900, true, {0, 0}},
      {"pushed back from the right edge", {800, 0, 1000, 100}, 300, 60, true, {1024 - 300, 13}},
      {"pushed up from the bottom edge", {0, 700, 1024, 768}, 300, 100, true, {344, 668}},
      {"a negative x stays", {-600, 0, -100, 400}, 200, 100, true, {-600 + 150 - 18, 100}},
  };
  for (const Case& c : cases) {
    PlacementInput in;
    in.area = c.area;
    in.dialogWidth = c.width;
    in.dialogHeight = c.height;
    in.screenWidth = 1024;
    in.screenHeight = 768;
    in.captionButtonWidth = 18;
    in.hasSystemMenu = c.systemMenu;
    EXPECT_EQ(CentreDialog(in), c.expected) << c.name;
  }
}

}  // namespace
