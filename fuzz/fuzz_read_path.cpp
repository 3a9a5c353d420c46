// Opening arbitrary bytes as a PNG through the whole read sequence, with the
// module linked in and the stand-in host checking every request: the open
// may fail, but never with a request outside its buffers, a double
// disposal, or anything held when the sequence ends.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/HostInterface.h"
#include "testhost/Module.h"
#include "testhost/StandInHost.h"

extern "C" void PluginMain(int16_t selector, void* formatRecord, intptr_t* data, int16_t* result);

namespace {

std::string g_forkPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The host prints every call; the fuzzer needs none of it.
  std::freopen("/dev/null", "w", stdout);
  g_forkPath = "/tmp/fuzz_read_path." + std::to_string(getpid()) + ".png";
  std::atexit([] { std::remove(g_forkPath.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::fopen(g_forkPath.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  testhost::Module module(&PluginMain);
  testhost::StandInHost host;
  host.faults().bufferLimit = 64u << 20;  // a claimed giant image is refused, not allocated
  if (!host.OpenDataFork(g_forkPath, testhost::ForkAccess::Read)) return 0;
  host.PrepareRecord();
  host.RunSequence(module, {formatSelectorFilterFile});
  host.PrepareRecord();
  host.RunSequence(module, {formatSelectorReadPrepare, formatSelectorReadStart, formatSelectorReadContinue,
                            formatSelectorReadFinish});
  host.CloseDataFork();
  if (host.Problems() != 0) std::abort();
  return 0;
}
