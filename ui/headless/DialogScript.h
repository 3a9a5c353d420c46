// The dialog script: what a user does to the dialogs, one command a line,
// for the tests and `velkor-host --dialog`.
//
//   wait DIALOG          until DIALOG (resource number or title) is on top
//   press ID             click button ID
//   type ID TEXT         replace edit ID's text by typing TEXT
//   check ID             click check box ID unless it is already checked;
//                        ID:ROW ticks a list view row
//   slide ID N           move slider ID to N
//   alt down|up          press or release Alt
//   expect ID TEXT       until control ID shows TEXT (ID "title": the title)
//   expect-pos ID N      until slider ID stands at N
//   expect-state ID STATE  until ID is enabled|disabled|checked|unchecked|
//                        visible|hidden
//   expect-box TITLE TEXT  until a message box with this title and text has
//                        been shown (since the previous expect-box)
//   shot NAME            picture of the screen into the shot folder
//   expect-description RESOURCE [ID...]  every control still as its
//                        template describes it (class, text, enabled,
//                        visible), except the texts of the listed ids
//   key enter|escape     the key typed on the dialog itself
//   click                a left click on the dialog's own surface
//
// TEXT is the rest of the line, or a double-quoted string with C escapes
// (\n, \", \\) when it must keep blanks at its ends or hold a line break.
// Blank lines and lines starting with # are ignored.  Waits and expectations
// let time pass (timers fire) and fail after kPatienceMs on the dialog's
// clock; a failure ends the top dialog with -1 and stops the script.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/headless/HeadlessToolkit.h"

namespace ui::headless {

struct ScriptCommand {
  int line = 0;
  std::string verb;
  std::string target;  // DIALOG, ID, TITLE, NAME, or down/up
  std::string text;    // TEXT, N, STATE
};

struct ParsedScript {
  std::vector<ScriptCommand> commands;
  std::string error;  // first syntax error, "line N: ..."
};

ParsedScript ParseDialogScript(std::string_view source);

// Blank-separated control ids (what expect-description ignores).
std::vector<int> ParseIdList(std::string_view text);
// "" when every control matches its template row, else what differs.
std::string DescriptionDifferences(const HeadlessWindow& window, std::string_view ignoredTexts);

class ScriptDriver final : public DialogDriver {
 public:
  static constexpr uint64_t kPatienceMs = 120000;

  // Pictures go to shotFolder (created when needed) as NAME.txt.
  ScriptDriver(std::vector<ScriptCommand> commands, std::string shotFolder);

  Outcome Step(HeadlessToolkit& toolkit, HeadlessWindow& window) override;
  void GiveUp() override;

  bool Failed() const { return !m_error.empty(); }
  const std::string& Error() const { return m_error; }
  // Commands not run yet (a script that ends early has some left).
  size_t Remaining() const { return m_commands.size() - m_next; }

 private:
  enum class Result { Done, NotYet, Failed };
  Result Run(const ScriptCommand& command, HeadlessToolkit& toolkit, HeadlessWindow& window);
  Result Fail(const ScriptCommand& command, const std::string& why);

  std::vector<ScriptCommand> m_commands;
  size_t m_next = 0;
  std::string m_shotFolder;
  std::string m_error;
  std::optional<uint64_t> m_waitingSince;
  size_t m_boxesSeen = 0;
};

}  // namespace ui::headless
