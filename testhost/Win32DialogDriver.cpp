// velkor-host.exe --dialog SCRIPT: a driver thread runs the dialog script
// (ui/headless/DialogScript.h) on the module's real dialogs, as a user at
// the screen would: it finds the dialog by its title among this process's
// dialog windows (class "#32770"), posts clicks and characters, sends Alt
// through SendInput, reads texts and states back, reads and closes message
// boxes, and has ImageMagick's `import` capture the (Xvfb) screen for
// `shot`.  Each expectation is retried for up to twenty seconds; a failure
// cancels every dialog still open so the host's call can return.
#ifdef _WIN32

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "testhost/DialogScriptOption.h"
#include "ui/DialogTemplates.h"
#include "ui/headless/DialogScript.h"

namespace testhost {
namespace {

using ui::headless::ScriptCommand;

constexpr int kPatienceMs = 20000;
constexpr int kPollMs = 50;
constexpr int kMessageBoxTextId = 0xFFFF;

std::string WindowText(HWND window) {
  char text[1024] = {};
  if (window) GetWindowTextA(window, text, sizeof text);
  return text;
}

// The first cell of a list view row, as `expect ID:ROW` reads it.
std::string RowText(HWND list, int row) {
  char text[1024] = {};
  LVITEMA item{};
  item.iSubItem = 0;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

struct DialogSearch {
  std::function<bool(HWND)> match;
  HWND found = nullptr;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<DialogSearch*>(context);
  char className[32] = {};
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  if (!GetClassNameA(window, className, sizeof className) || std::string(className) != "#32770") return TRUE;
  if (!search->match(window)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindDialog(const std::function<bool(HWND)>& match) {
  DialogSearch search{match};
  EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool Until(const std::function<bool()>& condition) {
  for (int waited = 0; waited <= kPatienceMs; waited += kPollMs) {
    if (condition()) return true;
    Sleep(kPollMs);
  }
  return false;
}

void SendKey(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

// Runs a Linux program from inside Wine (Z: is the Unix root) and waits.
bool RunUnix(const std::string& commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  WaitForSingleObject(process.hProcess, 30000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

// After a failed command the host's call is still inside some dialog: the
// one the script was on, one it never found (a remembered Advanced dialog
// where it waited for the Simple one), or a nested Keep Chunks dialog over
// the options dialog.  Closing only the current one would leave the others
// waiting for a user, and the host's call with them, so each dialog of this
// process is cancelled, the topmost first, until none is left.
void CancelEveryDialog() {
  int polls = 0;
  Until([&polls] {
    const HWND open = FindDialog([](HWND) { return true; });
    if (open == nullptr) return true;
    // Once every half second: a cancelled dialog needs a moment to go.
    if (polls++ % 10 == 0) PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
    return false;
  });
}

class Driver {
 public:
  Driver(std::vector<ScriptCommand> commands, std::string shotFolder)
      : m_commands(std::move(commands)), m_shotFolder(std::move(shotFolder)) {}

  void Run() {
    for (const ScriptCommand& command : m_commands) {
      std::string why;
      if (!Execute(command, why)) {
        m_error = "line " + std::to_string(command.line) + ": " + command.verb + " " + command.target + ": " + why;
        CancelEveryDialog();
        return;
      }
      ++m_done;
    }
  }

  std::string Report() const {
    if (!m_error.empty()) return m_error + "\n";
    if (m_done < m_commands.size()) return std::to_string(m_commands.size() - m_done) + " script command(s) never ran\n";
    return {};
  }

 private:
  HWND Item(int id) const { return GetDlgItem(m_dialog, id); }

  bool Execute(const ScriptCommand& c, std::string& why) {
    if (c.verb == "wait") {
      std::string title = c.target;
      const ui::DialogTemplate* wanted = FindTemplate(c.target);
      if (wanted) title = std::string(wanted->title);
      // Two templates may share a title (the Simple and Advanced dialogs):
      // the window must also hold every named control of the template.
      auto matches = [&](HWND w) {
        if (WindowText(w) != title) return false;
        if (wanted == nullptr) return true;
        for (const ui::ControlTemplate& control : wanted->controls) {
          if (control.id > 0 && GetDlgItem(w, control.id) == nullptr) return false;
        }
        return true;
      };
      m_dialog = nullptr;
      if (!Until([&] { return (m_dialog = FindDialog(matches)) != nullptr; })) {
        why = "no dialog titled \"" + title + "\"";
        return false;
      }
      return true;
    }
    if (!m_dialog) {
      why = "no dialog (a wait must come first)";
      return false;
    }
    if (c.verb == "alt") {
      // Alt goes through the system's input, where keyboard hooks see it.
      SetForegroundWindow(m_dialog);
      SendKey(VK_MENU, c.target == "up");
      return true;
    }
    if (c.verb == "key") {
      // The character itself, to the dialog, as the headless toolkit sends
      // it.  (A physical Enter would first meet the dialog manager, which
      // swallows it while the default button is disabled.)
      PostMessageA(m_dialog, WM_CHAR, c.target == "enter" ? 13 : 27, 1);
      return true;
    }
    if (c.verb == "click") {
      PostMessageA(m_dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
      PostMessageA(m_dialog, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
      return true;
    }
    if (c.verb == "shot") {
      // Give the dialog a moment to paint what the last command changed.
      Sleep(300);
      const std::string file = m_shotFolder + "/" + c.target + ".png";
      const std::string windowsFile = "Z:" + file;
      DeleteFileA(windowsFile.c_str());
      // Wine does not wait for a Unix program, and a file that merely
      // stopped growing may still be half written on a busy machine; the
      // picture is written under another name and renamed when complete,
      // so its name appearing means it is whole.
      const std::string partial = file + ".part";
      if (!RunUnix("Z:\\bin\\sh -c \"/usr/bin/import -window root 'png:" + partial + "' && mv '" + partial + "' '" + file +
                   "'\"")) {
        why = "cannot run import";
        return false;
      }
      if (!Until([&] { return GetFileAttributesA(windowsFile.c_str()) != INVALID_FILE_ATTRIBUTES; })) {
        why = "no picture written to " + file;
        return false;
      }
      return true;
    }
    if (c.verb == "expect-box") {
      HWND box = nullptr;
      const bool found = Until([&] {
        box = FindDialog([&](HWND w) { return w != m_dialog && WindowText(w) == c.target; });
        return box && WindowText(GetDlgItem(box, kMessageBoxTextId)) == c.text;
      });
      if (!found) {
        why = box ? "box says \"" + WindowText(GetDlgItem(box, kMessageBoxTextId)) + "\"" : "no such box";
        return false;
      }
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      return true;
    }
    if (c.verb == "expect-description") return ExpectDescription(c, why);
    if (c.verb == "expect" && c.target == "title") {
      if (Until([&] { return WindowText(m_dialog) == c.text; })) return true;
      why = "title is \"" + WindowText(m_dialog) + "\"";
      return false;
    }
    return ExecuteOnControl(c, why);
  }

  // The dialog's children, in creation order, against the template's rows.
  bool ExpectDescription(const ScriptCommand& c, std::string& why) {
    const ui::DialogTemplate* description = FindTemplate(c.target);
    if (!description) {
      why = "no such template";
      return false;
    }
    std::vector<HWND> children;
    for (HWND child = GetWindow(m_dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      children.push_back(child);
    }
    const std::vector<int> ignored = ui::headless::ParseIdList(c.text);
    if (children.size() != description->controls.size()) {
      why = std::to_string(children.size()) + " controls, the template has " +
            std::to_string(description->controls.size());
      return false;
    }
    for (size_t i = 0; i < children.size(); ++i) {
      const ui::ControlTemplate& row = description->controls[i];
      const HWND child = children[i];
      char className[64] = {};
      GetClassNameA(child, className, sizeof className);
      const LONG style = GetWindowLongA(child, GWL_STYLE);
      const std::string at = std::to_string(row.id) + ": ";
      if (GetDlgCtrlID(child) != row.id) why += at + "id " + std::to_string(GetDlgCtrlID(child)) + "; ";
      if (lstrcmpiA(className, std::string(row.className).c_str()) != 0) why += at + "class " + className + "; ";
      const bool textIgnored = row.iconId != 0 || std::find(ignored.begin(), ignored.end(), row.id) != ignored.end();
      if (!textIgnored && WindowText(child) != row.text) why += at + "text \"" + WindowText(child) + "\"; ";
      if (((style & WS_DISABLED) == 0) != ((row.style & ui::style::kDisabled) == 0)) why += at + "enabled; ";
      if (((style & WS_VISIBLE) != 0) != ((row.style & ui::style::kVisible) != 0)) why += at + "visible; ";
    }
    return why.empty();
  }

  bool ExecuteOnControl(const ScriptCommand& c, std::string& why) {
    const size_t colon = c.target.find(':');
    const int id = std::atoi(c.target.substr(0, colon).c_str());
    const HWND item = Item(id);
    if (!item) {
      why = "no such control";
      return false;
    }
    char className[64] = {};
    GetClassNameA(item, className, sizeof className);
    const bool isButton = std::string(className) == "Button";
    if (c.verb == "press") {
      if (!IsWindowEnabled(item) || !(GetWindowLongA(item, GWL_STYLE) & WS_VISIBLE)) {
        why = "cannot be pressed";
        return false;
      }
      if (isButton) {
        PostMessageA(item, BM_CLICK, 0, 0);
      } else {
        PostMessageA(m_dialog, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(item));
      }
      return true;
    }
    if (c.verb == "check") {
      if (colon != std::string::npos) {
        LVITEMA row{};
        row.stateMask = LVIS_STATEIMAGEMASK;
        row.state = INDEXTOSTATEIMAGEMASK(2);
        SendMessageA(item, LVM_SETITEMSTATE, std::atoi(c.target.substr(colon + 1).c_str()), reinterpret_cast<LPARAM>(&row));
        return true;
      }
      if (SendMessageA(item, BM_GETCHECK, 0, 0) != BST_CHECKED) PostMessageA(item, BM_CLICK, 0, 0);
      return true;
    }
    if (c.verb == "type") {
      if (c.text.empty()) {
        SendMessageA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        return true;
      }
      PostMessageA(item, EM_SETSEL, 0, -1);
      for (char ch : c.text) PostMessageA(item, WM_CHAR, static_cast<unsigned char>(ch), 1);
      return true;
    }
    if (c.verb == "slide") {
      SendMessageA(item, TBM_SETPOS, TRUE, std::atoi(c.text.c_str()));
      const LRESULT pos = SendMessageA(item, TBM_GETPOS, 0, 0);
      SendMessageA(m_dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, pos), reinterpret_cast<LPARAM>(item));
      return true;
    }
    if (c.verb == "expect") {
      const auto shown = [&] {
        if (colon == std::string::npos) return WindowText(item);
        return RowText(item, std::atoi(c.target.substr(colon + 1).c_str()));
      };
      if (Until([&] { return shown() == c.text; })) return true;
      why = "shows \"" + shown() + "\"";
      return false;
    }
    if (c.verb == "expect-pos") {
      const LRESULT wanted = std::atoi(c.text.c_str());
      if (Until([&] { return SendMessageA(item, TBM_GETPOS, 0, 0) == wanted; })) return true;
      why = "stands at " + std::to_string(SendMessageA(item, TBM_GETPOS, 0, 0));
      return false;
    }
    if (c.verb == "expect-state") {
      const auto holds = [&] {
        const bool visible = (GetWindowLongA(item, GWL_STYLE) & WS_VISIBLE) != 0;
        const bool checked = SendMessageA(item, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (c.text == "enabled") return IsWindowEnabled(item) != FALSE;
        if (c.text == "disabled") return IsWindowEnabled(item) == FALSE;
        if (c.text == "checked") return checked;
        if (c.text == "unchecked") return !checked;
        if (c.text == "visible") return visible;
        if (c.text == "hidden") return !visible;
        return false;
      };
      if (Until(holds)) return true;
      why = "is not " + c.text;
      return false;
    }
    why = "unknown command";
    return false;
  }

  static const ui::DialogTemplate* FindTemplate(const std::string& target) {
    char* end = nullptr;
    const long id = std::strtol(target.c_str(), &end, 10);
    return end && *end == '\0' ? ui::FindDialogTemplate(int(id)) : nullptr;
  }

  std::vector<ScriptCommand> m_commands;
  std::string m_shotFolder;
  std::string m_error;
  size_t m_done = 0;
  HWND m_dialog = nullptr;
};

std::unique_ptr<Driver> g_driver;
std::thread g_thread;

}  // namespace

bool InstallDialogScript(const Module&, const DialogScriptOption& option) {
  std::string text;
  if (!ReadDialogScript(option, text)) return false;
  ui::headless::ParsedScript parsed = ui::headless::ParseDialogScript(text);
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "velkor-host: %s: %s\n", option.scriptPath.c_str(), parsed.error.c_str());
    return false;
  }
  g_driver = std::make_unique<Driver>(std::move(parsed.commands), option.shotFolder);
  g_thread = std::thread([] { g_driver->Run(); });
  return true;
}

bool DialogScriptSucceeded(const Module&) {
  if (!g_driver) return false;
  if (g_thread.joinable()) g_thread.join();
  const std::string report = g_driver->Report();
  if (report.empty()) return true;
  std::fprintf(stderr, "velkor-host: dialog script: %s", report.c_str());
  return false;
}

}  // namespace testhost

#endif
