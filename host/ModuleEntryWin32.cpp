// The Windows module's entry notification: the load log and the instance.
#ifdef _WIN32

#include <windows.h>

#include "host/LoadLog.h"
#include "host/ModuleInstance.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  host::AppendLoadLog("C:\\LoadLogTextFormat.txt", reason);
  host::SetModuleInstance(instance);
  return TRUE;
}

#endif
