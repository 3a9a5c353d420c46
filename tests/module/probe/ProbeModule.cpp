// A tiny module declared like the plug-in: two entry points with C linkage,
// the dialog procedure with the Win32 callback convention, and one ordinary
// function that must stay inside the module.
#include <cstdint>

#ifdef _WIN32
#define PROBE_CALLBACK __stdcall
#else
#define PROBE_CALLBACK
#endif

extern "C" {

// Visible only if the export list leaks; the test looks it up by name.
int ProbeInternalHelper(int selector) { return selector * 2 + 1; }

void PluginMain(int16_t selector, void* /*record*/, intptr_t* data, int16_t* result) {
  *data = ProbeInternalHelper(selector);
  *result = int16_t(-selector);
}

intptr_t PROBE_CALLBACK GenericProc(void* /*window*/, unsigned message, uintptr_t wParam, intptr_t lParam) {
  return intptr_t(message + wParam) + lParam;
}

}  // extern "C"
