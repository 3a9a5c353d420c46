// What the Linux module exports so that the host stand-in can drive its
// dialogs with a script (ui/headless/DialogScript.h): on Windows the
// stand-in drives the real dialogs from outside instead.
#pragma once

#include <cstddef>

inline constexpr char kSetDialogScriptSymbol[] = "VelkorSetDialogScript";
inline constexpr char kDialogScriptStatusSymbol[] = "VelkorDialogScriptStatus";

// Makes `script` drive every later dialog of the module, pictures of `shot`
// going to shotFolder.  Returns 1, or 0 with the syntax error in `error`.
using SetDialogScriptProc = int (*)(const char* script, const char* shotFolder, char* error, size_t errorSize);
// 1 when every command ran and none failed; else 0 with the reason in
// `message` (and the toolkit's own problems, such as a dialog nobody ended).
using DialogScriptStatusProc = int (*)(char* message, size_t messageSize);
