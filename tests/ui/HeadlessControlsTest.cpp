// What the dialogs rely on from the headless controls, and the script that
// drives them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "HeadlessTestSupport.h"
#include "platform/MessageBox.h"
#include "platform/VirtualThreadServices.h"
#include "ui/headless/DialogScript.h"

namespace {

using namespace ui;
using namespace ui::headless;
using namespace uitest;

constexpr uint32_t kChild = 0x50000000;  // WS_CHILD | WS_VISIBLE
constexpr ControlTemplate kControls[] = {
    {10, "Button", "A", kChild | 0x9 | 0x20000, 0, 0, 10, 10, 0},
    {11, "Button", "B", kChild | 0x9, 0, 0, 10, 10, 0},
    {12, "Button", "C", kChild | 0x9, 0, 0, 10, 10, 0},
    {20, "Button", "D", kChild | 0x9 | 0x20000, 0, 0, 10, 10, 0},
    {30, "Button", "Box", kChild | 0x3 | 0x20000, 0, 0, 10, 10, 0},
    {31, "Button", "Off", kChild | 0x3 | 0x08000000, 0, 0, 10, 10, 0},
    {40, "Edit", "", kChild | 0x2000, 0, 0, 10, 10, 0},
    {41, "Edit", "", kChild, 0, 0, 10, 10, 0},
    {50, "msctls_trackbar32", "", kChild, 0, 0, 10, 10, 0},
    {60, "SysListView32", "", kChild | 0x1, 0, 0, 10, 10, 0},
    {1, "Button", "OK", kChild | 0x1, 0, 0, 10, 10, 0},
};
constexpr DialogTemplate kTestDialog[] = {{900, "Test", 200, 100, 0x80C80000u, kControls}};

struct Harness {
  platform::VirtualThreadServices services;
  HeadlessToolkit toolkit{services};
  RecordingDialog dialog{toolkit};
  Harness() { toolkit.AddTemplates(kTestDialog); }

  // Runs the dialog; `act` gets the window once, then the dialog is ended.
  void Run(const std::function<void(HeadlessWindow&)>& act) {
    bool done = false;
    FunctionDriver driver([&](HeadlessToolkit& tk, HeadlessWindow& window) {
      if (done) return false;
      act(window);
      done = true;
      tk.PostCommand(&window, kIdOk);
      return true;
    });
    toolkit.SetDriver(&driver);
    EXPECT_EQ(dialog.RunModal(nullptr, "", 900), 1);
  }
};

TEST(HeadlessControls, RadioGroupsAutoCheckBoxesAndDisabledControls) {
  Harness h;
  h.Run([&](HeadlessWindow& w) {
    HeadlessToolkit& tk = h.toolkit;
    tk.PressButton(&w, 20, false);
    tk.PressButton(&w, 11, false);
    EXPECT_TRUE(tk.IsChecked(&w, 11));
    EXPECT_TRUE(tk.IsChecked(&w, 20)) << "another group is not touched";
    tk.PressButton(&w, 12, false);
    EXPECT_FALSE(tk.IsChecked(&w, 11));
    EXPECT_TRUE(tk.IsChecked(&w, 12));
    tk.CheckRadio(&w, 10, 11, 10);
    EXPECT_TRUE(tk.IsChecked(&w, 10));
    EXPECT_TRUE(tk.IsChecked(&w, 12)) << "CheckRadio only touches its range";
    tk.PressButton(&w, 30, false);
    EXPECT_TRUE(tk.IsChecked(&w, 30));
    tk.PressButton(&w, 30, false);
    EXPECT_FALSE(tk.IsChecked(&w, 30));
    tk.PressButton(&w, 31, false);
    EXPECT_FALSE(tk.IsChecked(&w, 31));
    EXPECT_FALSE(tk.UserClick(w, 31));
  });
  EXPECT_EQ(h.dialog.calls, (std::vector<std::string>{"init", "command 0 20", "command 0 11", "command 0 12",
                                                      "command 0 30", "command 0 30", "ok", "destroyed"}));
}

TEST(HeadlessControls, EditsSlidersAndLists) {
  Harness h;
  h.Run([&](HeadlessWindow& w) {
    HeadlessToolkit& tk = h.toolkit;
    EXPECT_TRUE(tk.UserType(w, 40, "2a5"));
    EXPECT_EQ(tk.GetText(&w, 40), "25") << "digits-only edit drops letters typed";
    tk.SetText(&w, 40, "x7");
    EXPECT_EQ(tk.GetText(&w, 40), "x7") << "set by the program, the text is not filtered";
    EXPECT_EQ(tk.GetInteger(&w, 40), 0);
    EXPECT_EQ(tk.GetText(&w, 40, 2), "x");
    tk.SetText(&w, 41, "?1");
    EXPECT_DOUBLE_EQ(tk.GetDecimal(&w, 41), 0.0);
    tk.SetSliderRange(&w, 50, 1, 10);
    tk.SetSliderPos(&w, 50, 11);
    EXPECT_EQ(tk.GetSliderPos(&w, 50), 10);
    tk.SetSliderPos(&w, 50, -4);
    EXPECT_EQ(tk.GetSliderPos(&w, 50), 1);
    EXPECT_TRUE(tk.UserSlide(w, 50, 7));
    tk.ListAddColumn(&w, 60, "Chunk", false);
    tk.ListAddColumn(&w, 60, "Length", true);
    const int marker = 5;
    const int row = tk.ListAddRow(&w, 60, &marker);
    tk.ListSetCell(&w, 60, row, 0, "tEXt");
    tk.ListSetRowChecked(&w, 60, row, true);
    EXPECT_EQ(tk.ListRowCount(&w, 60), 1);
    EXPECT_EQ(tk.ListGetCell(&w, 60, 0, 0), "tEXt");
    EXPECT_TRUE(tk.ListIsRowChecked(&w, 60, 0));
    EXPECT_EQ(tk.ListGetRowData(&w, 60, 0), &marker);
    EXPECT_EQ(tk.ListGetCell(&w, 60, 3, 0), "");
  });
  const std::vector<std::string> expected{"init", "command 768 40", "command 768 40", "command 768 41",
                                          "message 276", "ok", "destroyed"};
  EXPECT_EQ(h.dialog.calls, expected);
}

std::string ScriptError(std::string_view source) { return ParseDialogScript(source).error; }

TEST(DialogScriptParse, CommandsAndErrors) {
  const ParsedScript parsed = ParseDialogScript(
      "# comment\n\nwait 109\nexpect 1106 \"&Stop After This Pass \"\ntype 40 12 3\n"
      "expect-box \"Error in Chunk String\" \"Error in Chunk String.\\nFormat is cHNK,cHNK.\"\nalt down\n");
  ASSERT_EQ(parsed.error, "");
  ASSERT_EQ(parsed.commands.size(), 5u);
  EXPECT_EQ(parsed.commands[1].text, "&Stop After This Pass ");
  EXPECT_EQ(parsed.commands[2].text, "12 3");
  EXPECT_EQ(parsed.commands[3].target, "Error in Chunk String");
  EXPECT_EQ(parsed.commands[3].text, "Error in Chunk String.\nFormat is cHNK,cHNK.");
  EXPECT_EQ(parsed.commands[4].line, 7);
  EXPECT_EQ(ScriptError("jump 3"), "line 1: unknown command \"jump\"");
  EXPECT_EQ(ScriptError("press"), "line 1: press needs an argument");
  EXPECT_EQ(ScriptError("press 1 2"), "line 1: unexpected text after press");
  EXPECT_EQ(ScriptError("expect 1 \"open"), "line 1: malformed quoted text");
}

TEST(DialogScriptRun, DrivesControlsAndChecksThem) {
  Harness h;
  const std::filesystem::path shots = std::filesystem::temp_directory_path() / "velkor-ui-shots";
  const ParsedScript parsed = ParseDialogScript(
      "wait Test\ncheck 30\ncheck 30\nexpect-state 30 checked\nexpect-state 31 disabled\ntype 40 4x2\n"
      "expect 40 42\nslide 50 500\nexpect-pos 50 100\nexpect-state 11 unchecked\npress 11\nexpect-state 11 checked\n"
      "check 60:0\nshot controls\npress 20\n"
      "expect-box \"Error in Chunk String\" \"Error in Chunk String.\\nFormat is cHNK,cHNK.\"\npress 1\n");
  ASSERT_EQ(parsed.error, "");
  ScriptDriver script(parsed.commands, shots.string());
  h.toolkit.SetDriver(&script);

  // A list row to tick, and a box shown while the dialog runs.
  class RowAndBoxDialog : public RecordingDialog {
   public:
    using RecordingDialog::RecordingDialog;
    void Init() override { m_toolkit->ListAddRow(m_hWnd, 60, nullptr); }
    void Command(unsigned, int id) override {
      if (id == 20) platform::ShowMessageBox("Error in Chunk String.\nFormat is cHNK,cHNK.", "Error in Chunk String");
    }
  } dialog(h.toolkit);
  EXPECT_EQ(dialog.RunModal(nullptr, "", 900), 1);
  EXPECT_FALSE(script.Failed()) << script.Error();
  EXPECT_EQ(script.Remaining(), 0u);
  std::ifstream shot(shots / "controls.txt");
  std::stringstream text;
  text << shot.rdbuf();

  EXPECT_NE(text.str().find("30 check checked \"Box\""), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("50 slider pos=100"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("[x]"), std::string::npos) << text.str();
}

TEST(DialogScriptRun, AnUnmetExpectationFailsAfterPatienceAndEndsTheDialog) {
  struct Case { const char* script; const char* error; };
  const Case cases[] = {
      {"expect 40 hello\n", "line 1: expect 40: still not met after 120 s"},
      {"press 999\n", "line 1: press 999: no such control in dialog 900"},
      {"press 31\n", "line 1: press 31: cannot be pressed"},
      {"expect-pos 50 7\n", "line 1: expect-pos 50: still not met after 120 s"},
      {"wait 105\n", "line 1: wait 105: still not met after 120 s"},
  };
  for (const Case& c : cases) {
    Harness h;
    // A one-second timer keeps the clock moving, as the progress dialog's does.
    class TickingDialog : public RecordingDialog {
     public:
      using RecordingDialog::RecordingDialog;
      void Init() override { m_toolkit->SetTimer(m_hWnd, 1, 1000); }
    } dialog(h.toolkit);
    ScriptDriver script(ParseDialogScript(c.script).commands, "");
    h.toolkit.SetDriver(&script);
    EXPECT_EQ(dialog.RunModal(nullptr, "", 900), -1) << c.script;
    EXPECT_EQ(script.Error(), c.error);
  }
}

TEST(HeadlessToolkit, ADialogNothingCanEndIsEndedWithMinusOne) {
  Harness h;
  EXPECT_EQ(h.dialog.RunModal(nullptr, "", 900), -1);
  ASSERT_EQ(h.toolkit.Problems().size(), 1u);
  EXPECT_EQ(h.toolkit.Problems()[0], "dialog 900 has nothing left to end it");
}

}  // namespace
