// velkor-host about: the host's about menu entry for the module (selector 0).
#include "host/HostInterface.h"
#include "testhost/Commands.h"
#include "testhost/StandInHost.h"

namespace testhost {
namespace {

int RunAbout(CommandContext& context) {
  if (!context.args.empty()) return kExitUsage;
  return context.host.Call(context.module, formatSelectorAbout) == noErr ? kExitOk : 1;
}

const CommandRegistration kAbout{"about", "about", RunAbout};

}  // namespace
}  // namespace testhost
