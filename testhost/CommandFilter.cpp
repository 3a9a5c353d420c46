// velkor-host filter FILE: asks the module whether it can read FILE
// (selector 17 on the file's data fork).
#include <cstdio>

#include "testhost/Commands.h"
#include "testhost/StandInHost.h"

namespace testhost {

namespace {

int RunFilter(CommandContext& context) {
  if (context.args.size() != 1) {
    std::fprintf(stderr, "usage: filter FILE\n");
    return kExitUsage;
  }
  StandInHost& host = context.host;
  if (!host.OpenDataFork(context.args[0], ForkAccess::Read)) {
    std::fprintf(stderr, "velkor-host: cannot open %s\n", context.args[0].c_str());
    return 1;
  }
  host.PrepareRecord();
  const int16_t result = host.Call(context.module, formatSelectorFilterFile);
  std::printf("filter %s\n", result == noErr ? "accepts" : "refuses");
  return kExitOk;
}

const CommandRegistration kFilter{"filter", "filter FILE", RunFilter};

}  // namespace

}  // namespace testhost
