#include "host/SaveEngine.h"

#include <atomic>

namespace host {

namespace {
// Written by the stand-in before a save, read by the write path: atomic so
// that neither can see half a pointer.
std::atomic<ui::EngineEntry> g_saveEngine{nullptr};
}  // namespace

ui::EngineEntry SaveEngine() {
  const ui::EngineEntry swapped = g_saveEngine.load();
  return swapped != nullptr ? swapped : OptimizePng;
}

}  // namespace host

#ifndef _WIN32
extern "C" __attribute__((visibility("default"))) void VelkorSetSaveEngine(ui::EngineEntry engine) {
  host::g_saveEngine.store(engine);
}
#endif
