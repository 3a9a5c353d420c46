#include "host/LoadLog.h"

#include <cstdio>
#include <ctime>

#include "host/ModuleInstance.h"
#include "host/TimeText.h"

namespace host {

namespace {

void* g_moduleInstance = nullptr;

const char* ReasonName(unsigned long reason) {
  static const char* const kNames[] = {"DLL_PROCESS_DETACH", "DLL_PROCESS_ATTACH", "DLL_THREAD_ATTACH",
                                       "DLL_THREAD_DETACH", "DLL_PROCESS_VERIFIER"};
  return reason < sizeof kNames / sizeof kNames[0] ? kNames[reason] : "DLL_UNKNOWN_REASON";
}

}  // namespace

void* ModuleInstance() { return g_moduleInstance; }
void SetModuleInstance(void* instance) { g_moduleInstance = instance; }

void AppendLoadLog(const std::string& path, unsigned long reason) {
  FILE* log = std::fopen(path.c_str(), "a+");
  if (log == nullptr) return;
  std::fprintf(log, "%s DllMain: %s", ReasonName(reason), CtimeText(std::time(nullptr)).c_str());
  std::fclose(log);
}

}  // namespace host
