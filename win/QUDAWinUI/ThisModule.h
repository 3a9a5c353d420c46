// The handle of the module this code is linked into (the plug-in, or a test
// program), found from the address of code inside it.  It never depends on
// the host, so it is never 0 while the module is loaded.
#pragma once

#include <windows.h>

namespace platform {

inline HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

}  // namespace platform
