#include "ui/headless/DialogScript.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>

#include "platform/MessageBox.h"

namespace ui::headless {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string_view NextWord(std::string_view& rest) {
  rest = Trim(rest);
  const size_t end = rest.find_first_of(" \t");
  const std::string_view word = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return word;
}

// A quoted text with C escapes, or the trimmed rest of the line.
std::optional<std::string> ReadText(std::string_view rest) {
  rest = Trim(rest);
  if (rest.empty() || rest.front() != '"') return std::string(rest);
  std::string text;
  for (size_t i = 1; i < rest.size(); ++i) {
    const char c = rest[i];
    if (c == '"') return i + 1 == rest.size() ? std::optional<std::string>(text) : std::nullopt;
    if (c != '\\') {
      text += c;
      continue;
    }
    if (++i == rest.size()) return std::nullopt;
    const char e = rest[i];
    text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
  }
  return std::nullopt;
}

std::optional<int> ToInt(std::string_view text) {
  int value = 0;
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
  if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

struct VerbShape {
  std::string_view verb;
  bool hasTarget;
  bool hasText;
};
constexpr VerbShape kVerbs[] = {
    {"wait", true, false},   {"press", true, false},       {"type", true, true},
    {"check", true, false},  {"slide", true, true},        {"alt", true, false},
    {"expect", true, true},  {"expect-state", true, true}, {"expect-box", true, true},
    {"shot", true, false},   {"key", true, false},         {"click", false, false},
    {"expect-description", true, true}, {"expect-pos", true, true},
};

bool StateHolds(HeadlessToolkit& toolkit, HeadlessWindow& window, int id, std::string_view state) {
  if (state == "enabled") return toolkit.IsEnabled(&window, id);
  if (state == "disabled") return window.Find(id) && !toolkit.IsEnabled(&window, id);
  if (state == "checked") return toolkit.IsChecked(&window, id);
  if (state == "unchecked") return window.Find(id) && !toolkit.IsChecked(&window, id);
  if (state == "visible") return toolkit.IsVisible(&window, id);
  if (state == "hidden") return window.Find(id) && !toolkit.IsVisible(&window, id);
  return false;
}

}  // namespace

std::vector<int> ParseIdList(std::string_view text) {
  std::vector<int> ids;
  while (!Trim(text).empty()) {
    if (const std::optional<int> id = ToInt(NextWord(text))) ids.push_back(*id);
  }
  return ids;
}

std::string DescriptionDifferences(const HeadlessWindow& window, std::string_view ignoredTexts) {
  const std::vector<int> ignored = ParseIdList(ignoredTexts);
  std::string differences;
  for (const HeadlessControl& control : window.controls) {
    const ControlTemplate& row = *control.source;
    const bool textIgnored = std::find(ignored.begin(), ignored.end(), control.id) != ignored.end();
    if (!textIgnored && control.text != row.text) differences += std::to_string(control.id) + " text; ";
    if (control.enabled != ((row.style & style::kDisabled) == 0)) differences += std::to_string(control.id) + " enabled; ";
    if (control.visible != ((row.style & style::kVisible) != 0)) differences += std::to_string(control.id) + " visible; ";
  }
  return differences;
}

ParsedScript ParseDialogScript(std::string_view source) {
  ParsedScript parsed;
  int lineNumber = 0;
  while (!source.empty()) {
    const size_t end = source.find('\n');
    std::string_view line = source.substr(0, end);
    source = end == std::string_view::npos ? std::string_view() : source.substr(end + 1);
    ++lineNumber;
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    ScriptCommand command;
    command.line = lineNumber;
    std::string_view rest = line;
    command.verb = NextWord(rest);
    const VerbShape* shape = nullptr;
    for (const VerbShape& s : kVerbs) {
      if (s.verb == command.verb) shape = &s;
    }
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (!shape) {
      parsed.error = where + "unknown command \"" + command.verb + "\"";
      return parsed;
    }
    if (shape->hasTarget) {
      command.target = std::string(shape->verb == "expect-box" && Trim(rest).starts_with('"') ? "" : NextWord(rest));
    }
    if (shape->verb == "expect-box" && command.target.empty()) {
      // A quoted title: take it up to its closing quote.
      rest = Trim(rest);
      const size_t close = rest.find('"', 1);
      if (close == std::string_view::npos) {
        parsed.error = where + "unterminated title";
        return parsed;
      }
      command.target = std::string(rest.substr(1, close - 1));
      rest = rest.substr(close + 1);
    }
    if (shape->hasTarget && command.target.empty()) {
      parsed.error = where + command.verb + " needs an argument";
      return parsed;
    }
    if (shape->hasText) {
      const std::optional<std::string> text = ReadText(rest);
      if (!text) {
        parsed.error = where + "malformed quoted text";
        return parsed;
      }
      command.text = *text;
    } else if (!Trim(rest).empty()) {
      parsed.error = where + "unexpected text after " + command.verb;
      return parsed;
    }
    parsed.commands.push_back(std::move(command));
  }
  return parsed;
}

ScriptDriver::ScriptDriver(std::vector<ScriptCommand> commands, std::string shotFolder)
    : m_commands(std::move(commands)), m_shotFolder(std::move(shotFolder)),
      m_boxesSeen(platform::DefaultMessageBoxes().TotalShown()) {}

DialogDriver::Outcome ScriptDriver::Step(HeadlessToolkit& toolkit, HeadlessWindow& window) {
  if (Failed() || m_next == m_commands.size()) return Outcome::Finished;
  const ScriptCommand& command = m_commands[m_next];
  switch (Run(command, toolkit, window)) {
    case Result::Done:
      ++m_next;
      m_waitingSince.reset();
      return Outcome::Acted;
    case Result::Failed:
      toolkit.EndDialog(&window, -1);
      return Outcome::Finished;
    case Result::NotYet:
      break;
  }
  const uint64_t now = toolkit.Services().NowMs();
  if (!m_waitingSince) m_waitingSince = now;
  if (now - *m_waitingSince > kPatienceMs) {
    Fail(command, "still not met after " + std::to_string(kPatienceMs / 1000) + " s");
    toolkit.EndDialog(&window, -1);
    return Outcome::Finished;
  }
  return Outcome::Waiting;
}

void ScriptDriver::GiveUp() {
  if (!Failed() && m_next < m_commands.size()) Fail(m_commands[m_next], "not met, and nothing can change the dialog");
}

ScriptDriver::Result ScriptDriver::Fail(const ScriptCommand& command, const std::string& why) {
  m_error = "line " + std::to_string(command.line) + ": " + command.verb + " " + command.target + ": " + why;
  return Result::Failed;
}

ScriptDriver::Result ScriptDriver::Run(const ScriptCommand& command, HeadlessToolkit& toolkit,
                                       HeadlessWindow& window) {
  const std::string_view verb = command.verb;
  if (verb == "wait") {
    const std::optional<int> resource = ToInt(command.target);
    const bool onTop = resource ? window.source->id == *resource : window.title == command.target;
    return onTop ? Result::Done : Result::NotYet;
  }
  if (verb == "alt") {
    if (command.target != "down" && command.target != "up") return Fail(command, "expected down or up");
    toolkit.UserKey(kVirtualKeyAlt, command.target == "up");
    return Result::Done;
  }
  if (verb == "key") {
    if (command.target != "enter" && command.target != "escape") return Fail(command, "expected enter or escape");
    toolkit.PostToDialog(&window, kWmChar, command.target == "enter" ? kKeyReturn : kKeyEscape, 0);
    return Result::Done;
  }
  if (verb == "click") {
    toolkit.PostToDialog(&window, kWmLButtonDown, 0, 0);
    return Result::Done;
  }
  if (verb == "shot") {
    std::error_code ignored;
    std::filesystem::create_directories(m_shotFolder, ignored);
    std::ofstream(std::filesystem::path(m_shotFolder) / (command.target + ".txt")) << RenderWindowText(window);
    return Result::Done;
  }
  if (verb == "expect-box") {
    const std::vector<platform::MessageBoxEntry> boxes = platform::DefaultMessageBoxes().Boxes();
    const size_t total = platform::DefaultMessageBoxes().TotalShown();
    // Boxes are kept oldest first; only those after the last match count.
    const size_t fresh = std::min(total - m_boxesSeen, boxes.size());
    for (size_t i = boxes.size() - fresh; i < boxes.size(); ++i) {
      if (boxes[i].title == command.target && boxes[i].text == command.text) {
        m_boxesSeen = total - (boxes.size() - 1 - i);
        return Result::Done;
      }
    }
    return Result::NotYet;
  }
  if (verb == "expect-description") {
    if (ToInt(command.target) != window.source->id) return Fail(command, "another dialog is on top");
    const std::string differences = DescriptionDifferences(window, command.text);
    return differences.empty() ? Result::Done : Fail(command, differences);
  }
  if (verb == "expect" && command.target == "title") {
    return window.title == command.text ? Result::Done : Result::NotYet;
  }

  // The rest name a control: ID, or ID:ROW for a list view row.
  const size_t colon = command.target.find(':');
  const std::optional<int> id = ToInt(std::string_view(command.target).substr(0, colon));
  std::optional<int> row;
  if (colon != std::string::npos) row = ToInt(std::string_view(command.target).substr(colon + 1));
  if (!id || (colon != std::string::npos && !row)) return Fail(command, "not a control id");
  if (!window.Find(*id)) return Fail(command, "no such control in dialog " + std::to_string(window.source->id));

  if (verb == "press") return toolkit.UserClick(window, *id) ? Result::Done : Fail(command, "cannot be pressed");
  if (verb == "type") return toolkit.UserType(window, *id, command.text) ? Result::Done : Fail(command, "refuses typing");
  if (verb == "slide") {
    const std::optional<int> pos = ToInt(command.text);
    if (!pos) return Fail(command, "position is not a number");
    return toolkit.UserSlide(window, *id, *pos) ? Result::Done : Fail(command, "cannot slide");
  }
  if (verb == "check") {
    if (row) {
      if (*row < 0 || *row >= toolkit.ListRowCount(&window, *id)) return Fail(command, "no such row");
      toolkit.ListSetRowChecked(&window, *id, *row, true);
      return Result::Done;
    }
    if (toolkit.IsChecked(&window, *id)) return Result::Done;
    return toolkit.UserClick(window, *id) ? Result::Done : Fail(command, "cannot be checked");
  }
  if (verb == "expect") {
    const std::string shown = row ? toolkit.ListGetCell(&window, *id, *row, 0) : toolkit.GetText(&window, *id);
    return shown == command.text ? Result::Done : Result::NotYet;
  }
  if (verb == "expect-state") return StateHolds(toolkit, window, *id, command.text) ? Result::Done : Result::NotYet;
  if (verb == "expect-pos") {
    const std::optional<int> pos = ToInt(command.text);
    if (!pos) return Fail(command, "position is not a number");
    return toolkit.GetSliderPos(&window, *id) == *pos ? Result::Done : Result::NotYet;
  }
  return Fail(command, "unknown command");
}

}  // namespace ui::headless
