// The module's boxes on Windows are real error boxes: the test shows one
// from the thread that owns an active window, then reads the box back
// through the window API from a second thread (title, text, stop icon, the
// one OK button, the owner) and presses OK.  Needs a display (CI runs Xvfb).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/MessageBox.h"

namespace {

struct SeenBox {
  bool found = false;
  std::vector<std::string> texts;    // static controls' texts
  std::vector<std::string> buttons;  // button captions
  bool stopIcon = false;
  HWND owner = nullptr;
};

std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
  auto& seen = *reinterpret_cast<SeenBox*>(param);
  char className[64] = {};
  GetClassNameA(child, className, sizeof className);
  const std::string kind = className;
  if (kind == "Button") seen.buttons.push_back(WindowText(child));
  if (kind == "Static") {
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      const auto icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
      seen.stopIcon = seen.stopIcon || icon == LoadIconA(nullptr, IDI_HAND);
    } else if (!WindowText(child).empty()) {
      seen.texts.push_back(WindowText(child));
    }
  }
  return TRUE;
}

// Writes the box as a 24-bit BMP for a person to look at.
void SaveWindowImage(HWND window, const std::string& path) {
  RECT rect;
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info = {sizeof info, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const int rowBytes = (width * 3 + 3) & ~3;
  std::vector<char> pixels(size_t(rowBytes) * height);
  GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  BITMAPFILEHEADER file = {0x4D42, DWORD(sizeof(BITMAPFILEHEADER) + sizeof info + pixels.size()), 0, 0,
                           DWORD(sizeof(BITMAPFILEHEADER) + sizeof info)};
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(pixels.data(), std::streamsize(pixels.size()));
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

// Waits for the box (polling: the box belongs to another thread), reads it,
// and closes it with OK.  Gives up after about 20 seconds, leaving the box
// for the test's time-out to end.
SeenBox ReadAndCloseBox(const char* title) {
  SeenBox seen;
  for (int attempt = 0; attempt < 400 && !seen.found; ++attempt) {
    HWND box = FindWindowA("#32770", title);
    if (box == nullptr || !IsWindowVisible(box)) {
      Sleep(50);
      continue;
    }
    seen.found = true;
    EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&seen));
    seen.owner = GetWindow(box, GW_OWNER);
    if (const char* folder = std::getenv("VELKOR_SCREENSHOT_DIR")) {
      UpdateWindow(box);
      SaveWindowImage(box, std::string(folder) + "/message-box.bmp");
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
  return seen;
}

TEST(Win32MessageBox, IsAStopBoxWithOneOkButtonOwnedByTheActiveWindow) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display to show a box on";
  HWND host = CreateWindowA("STATIC", "Host stand-in", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 400, 300, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(host, nullptr);
  SetActiveWindow(host);
  ASSERT_EQ(GetActiveWindow(), host);

  SeenBox seen;
  std::thread reader([&seen] { seen = ReadAndCloseBox("Write Failure"); });
  platform::ShowMessageBox("VELKOR was unable to write the file.\n\rmalloc failed (gpo->kbuf)", "Write Failure");
  reader.join();
  DestroyWindow(host);

  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.texts, std::vector<std::string>{"VELKOR was unable to write the file.\n\rmalloc failed (gpo->kbuf)"});
  EXPECT_EQ(seen.buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(seen.stopIcon);
  EXPECT_EQ(seen.owner, host);
}

TEST(Win32MessageBox, AnInstalledSinkStillTakesTheBoxes) {
  platform::RecordedMessageBoxes recorder;
  {
    platform::ScopedMessageBoxSink scoped(recorder);
    platform::ShowMessageBox("Unsupported Image Mode", "VELKOR");
  }
  ASSERT_EQ(recorder.TotalShown(), 1u);
  EXPECT_EQ(recorder.Last()->text, "Unsupported Image Mode");
}

}  // namespace
