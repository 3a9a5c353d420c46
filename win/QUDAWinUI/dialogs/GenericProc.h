// The module's exported dialog procedure: every dialog of the module runs
// through it (ui::DispatchDialogMessage does the routing).
#pragma once

#include <windows.h>

extern "C" INT_PTR CALLBACK GenericProc(HWND dialog, UINT message, WPARAM first, LPARAM second);
