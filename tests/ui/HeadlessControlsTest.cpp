// What the dialogs rely on from the headless controls, and the script that
// drives them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "HeadlessTestSupport.h"
#include "platform/MessageBox.h"
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

struct Harness : uitest::Harness {
  Harness() { toolkit.AddTemplates(kTestDialog); }
};

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
      "wait Test\nexpect-state 10 checked\nexpect-state 12 checked\n"
      "check 30\ncheck 30\nexpect-state 30 checked\npress 30\nexpect-state 30 unchecked\ncheck 30\n"
      "expect-state 31 disabled\ntype 40 4x2\n"
      "expect 40 42\nslide 50 500\nexpect-pos 50 100\nslide 50 -4\nexpect-pos 50 0\nexpect-state 11 unchecked\npress 11\n"
      "expect-state 11 checked\nexpect-state 10 unchecked\npress 12\nexpect-state 11 unchecked\n"
      "check 60:0\nshot controls\npress 20\n"
      "expect-box \"Error in Chunk String\" \"Error in Chunk String.\\nFormat is cHNK,cHNK.\"\n"
      "expect-state 20 checked\nexpect-state 12 checked\npress 1\n");
  ASSERT_EQ(parsed.error, "");
  ScriptDriver script(parsed.commands, shots.string());
  h.toolkit.SetDriver(&script);

  // A list row to tick, and a box shown while the dialog runs.
  class RowAndBoxDialog : public RecordingDialog {
   public:
    using RecordingDialog::RecordingDialog;
    void Init() override {
      m_toolkit->ListAddRow(m_hWnd, 60, nullptr);
      // CheckRadio touches only its range, as Win32's CheckRadioButton does.
      m_toolkit->CheckRadio(m_hWnd, 10, 12, 12);
      m_toolkit->CheckRadio(m_hWnd, 10, 11, 10);
      // Text the program sets is not filtered; a read is cut to its buffer, as Win32's is.
      m_toolkit->SetText(m_hWnd, 40, "x7");
      EXPECT_EQ(m_toolkit->GetText(m_hWnd, 40, 2), "x");
    }
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
  EXPECT_NE(text.str().find("50 slider pos=0 range=0..100"), std::string::npos) << text.str();
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
