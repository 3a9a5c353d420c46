// The window messages, notification codes and control styles the dialogs
// speak, under their Windows names and with their Windows values.
//
// The dialog logic is written once against these numbers.  On Windows they
// are the messages the system sends; off Windows the headless toolkit sends
// the same numbers, so a dialog cannot tell which toolkit drives it.  The
// values are fixed by the Windows interface and must never be renumbered.
#pragma once

#include <cstdint>

namespace ui {

// A window: a dialog or one of its controls.  Opaque to the dialog logic;
// each toolkit decides what it points to (an HWND on Windows).
using WindowHandle = void*;
// The two message parameters and a procedure's result, pointer-sized as on
// Windows (WPARAM, LPARAM, INT_PTR).
using MessageParam = uintptr_t;
using LongParam = intptr_t;
using MessageResult = intptr_t;

// Messages.
inline constexpr unsigned kWmDestroy = 0x0002;
inline constexpr unsigned kWmDrawItem = 0x002B;
inline constexpr unsigned kWmNotify = 0x004E;
inline constexpr unsigned kWmChar = 0x0102;
inline constexpr unsigned kWmInitDialog = 0x0110;
inline constexpr unsigned kWmCommand = 0x0111;
inline constexpr unsigned kWmTimer = 0x0113;
inline constexpr unsigned kWmHScroll = 0x0114;
inline constexpr unsigned kWmCtlColorStatic = 0x0138;
inline constexpr unsigned kWmLButtonDown = 0x0201;

// Command ids the dialog manager gives the default and the cancel button.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// Notification codes carried in the high word of a command.
inline constexpr unsigned kBnClicked = 0;
inline constexpr unsigned kStnClicked = 0;
inline constexpr unsigned kEnChange = 0x0300;

// Key codes of WM_CHAR and of the keyboard hook.
inline constexpr unsigned kKeyReturn = 13;
inline constexpr unsigned kKeyEscape = 27;
inline constexpr int kVirtualKeyAlt = 18;

// The command message's first parameter: control id low, code high.
constexpr MessageParam MakeCommandParam(int id, unsigned code) {
  return (MessageParam(code & 0xFFFF) << 16) | MessageParam(uint16_t(id));
}

}  // namespace ui
