// The about box's version line and how it closes, and the help path and
// the loader's single attempt.
#include <gtest/gtest.h>

#include "HeadlessTestSupport.h"
#include "platform/VirtualThreadServices.h"
#include "ui/AboutDialog.h"
#include "ui/HelpLauncher.h"
#include "ui/headless/DialogScript.h"

namespace {

using namespace ui;
using namespace ui::headless;
using namespace uitest;

TEST(AboutBox, VersionLineFromFourNumbers) {
  struct Case {
    const char* version;
    std::optional<std::string> line;  // none: the template's text stays
  };
  const Case cases[] = {
      {"2, 5, 0, 31", "VELKOR File Format Plugin 2.5.0 Build 31"},
      {"1,0,0,0", "VELKOR File Format Plugin 1.0.0 Build 0"},
      {"10, 20, 30, 40 beta", "VELKOR File Format Plugin 10.20.30 Build 40"},
      {"2, 5, 0", std::nullopt},
      {"2.5.0.31", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(AboutVersionLine(c.version), c.line) << c.version;
}

struct AboutOutcome {
  MessageResult result;
  std::string versionText;
  bool linkStyled;
  std::vector<std::string> opened;
  std::vector<std::string> debugLines;
};

// Shows the about box, lets `act` do one thing to it, then reads it back.
AboutOutcome ShowAbout(std::optional<std::string> version, const std::function<void(HeadlessToolkit&, HeadlessWindow&)>& act) {
  platform::VirtualThreadServices clock;
  HeadlessToolkit toolkit(clock);
  platform::RecordedDesktop desktop;
  desktop.productVersion = std::move(version);
  AboutOutcome out{};
  bool acted = false;
  FunctionDriver driver([&](HeadlessToolkit& tk, HeadlessWindow& window) {
    if (acted) return false;
    acted = true;
    out.versionText = tk.GetText(&window, kAboutVersionId);
    out.linkStyled = window.Find(kAboutLinkId)->isLink;
    act(tk, window);
    return true;
  });
  toolkit.SetDriver(&driver);
  AboutDialog about(toolkit, desktop);
  out.result = about.RunModal(nullptr, "Generic About Box", kAboutDialogId);
  out.opened = desktop.Opened();
  out.debugLines = desktop.DebugLines();
  return out;
}

// Enter, Escape and a click close the box; another key and a click on the
// link leave it open (the toolkit then ends it with -1), the link opening
// the page.  Without a readable product version the template's line stays.
TEST(AboutBox, WhatClosesItWhatTheLinkOpensAndTheVersionLine) {
  const std::string page = "https://quenbury-imaging.example/velkor/", line = "VELKOR File Format Plugin 2.5.0 Build 31";
  using Act = std::function<void(HeadlessToolkit&, HeadlessWindow&)>;
  const auto send = [](unsigned message, MessageParam first) -> Act {
    return [=](HeadlessToolkit& tk, HeadlessWindow& w) { tk.SendToDialog(&w, message, first, 0); };
  };
  struct Case { const char* name; std::optional<std::string> version; Act act; MessageResult result;
                std::string versionText; std::vector<std::string> opened; };
  const Case cases[] = {
      {"Enter as a character", "2, 5, 0, 31", send(kWmChar, kKeyReturn), 0, line, {}},
      {"Escape as a character", "2, 5, 0, 31", send(kWmChar, kKeyEscape), 0, line, {}},
      {"a click on the box", "2, 5, 0, 31", send(kWmLButtonDown, 0), 0, line, {}},
      {"Enter as the dialog manager's OK", "2, 5, 0, 31", send(kWmCommand, MakeCommandParam(kIdOk, 0)), 0, line, {}},
      {"Escape as the dialog manager's Cancel", "2, 5, 0, 31", send(kWmCommand, MakeCommandParam(kIdCancel, 0)), 2, line, {}},
      {"another character", "2, 5, 0, 31", send(kWmChar, 'a'), -1, line, {}},
      {"the link, no version", std::nullopt,
       [](HeadlessToolkit& tk, HeadlessWindow& w) { tk.UserClick(w, kAboutLinkId); }, -1, "VELKOR File Format Plugin", {page}},
      {"a version of two numbers", "2, 5", send(kWmChar, kKeyEscape), 0, "VELKOR File Format Plugin", {}},
  };
  for (const Case& c : cases) {
    const AboutOutcome out = ShowAbout(c.version, c.act);
    EXPECT_EQ(out.result, c.result) << c.name;
    EXPECT_EQ(out.versionText, c.versionText) << c.name;
    EXPECT_EQ(out.opened, c.opened) << c.name;
    EXPECT_EQ(out.debugLines, c.version ? std::vector<std::string>{*c.version} : std::vector<std::string>{}) << c.name;
    EXPECT_TRUE(out.linkStyled) << c.name;
  }
}

// A desktop whose help library answers as configured and counts attempts.
class ScriptedHelpDesktop final : public platform::RecordedDesktop {
 public:
  std::optional<std::string> server;
  std::vector<std::string> loadable;
  bool hasOrdinal = true;
  std::vector<std::string> attempts;

  std::optional<std::string> RegisteredHelpServer() override { return server; }
  void* LoadHelpLibrary(const std::string& name) override {
    attempts.push_back(name);
    for (const std::string& ok : loadable) {
      if (ok == name) return RecordedDesktop::LoadHelpLibrary(name);
    }
    return nullptr;
  }
  platform::HtmlHelpEntry HelpEntryByOrdinal(void* library, int ordinal) override {
    return hasOrdinal ? RecordedDesktop::HelpEntryByOrdinal(library, ordinal) : nullptr;
  }
};

TEST(Help, LoaderTriesTheRegisteredServerThenByNameAndCachesTheOutcome) {
  struct Case {
    const char* name;
    std::optional<std::string> server;
    std::vector<std::string> loadable;
    bool hasOrdinal;
    std::vector<std::string> attempts;
    bool opens;
  };
  const std::string registered = "C:\\Windows\\System32\\hhctrl.ocx";
  const Case cases[] = {
      {"registered server", registered, {registered}, true, {registered}, true},
      {"registered server fails, by name works", registered, {"hhctrl.ocx"}, true, {registered, "hhctrl.ocx"}, true},
      {"nothing registered", std::nullopt, {"hhctrl.ocx"}, true, {"hhctrl.ocx"}, true},
      {"no library at all", registered, {}, true, {registered, "hhctrl.ocx"}, false},
      {"no ordinal 14", std::nullopt, {"hhctrl.ocx"}, false, {"hhctrl.ocx"}, false},
  };
  for (const Case& c : cases) {
    ScriptedHelpDesktop desktop;
    desktop.server = c.server;
    desktop.loadable = c.loadable;
    desktop.hasOrdinal = c.hasOrdinal;
    platform::RecordedDesktop::ClearHelpRequests();
    HelpLauncher help(desktop);
    int owner = 0;
    help.Open(&owner, "X:\\Plug-ins\\", "Advanced.htm");
    help.Open(&owner, "", "Simple.htm");
    help.Open(&owner, "", "");  // no topic: the file alone
    EXPECT_EQ(desktop.attempts, c.attempts) << c.name << ": one attempt, remembered";
    const std::vector<platform::HelpRequest> expected =
        c.opens ? std::vector<platform::HelpRequest>{{&owner, "X:\\Plug-ins\\VELKORPS.chm::/Advanced.htm", 0},
                                                     {&owner, "VELKORPS.chm::/Simple.htm", 0},
                                                     {&owner, "VELKORPS.chm", 0}}
                : std::vector<platform::HelpRequest>{};
    EXPECT_EQ(platform::RecordedDesktop::HelpRequests(), expected) << c.name;
  }
}

}  // namespace
