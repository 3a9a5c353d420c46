// velkor-host call SELECTOR... [--file FILE] [--mode MODE]: calls the given
// selectors one after another (stopping after a failure) on a small blank
// document, with FILE as the data fork when given.  For tables over single
// selectors and host faults.
#include <cstdio>
#include <string>

#include "testhost/Commands.h"
#include "testhost/StandInHost.h"

namespace testhost {

namespace {

int RunCall(CommandContext& context) {
  const auto& args = context.args;
  StandInHost& host = context.host;
  Document& doc = host.document();
  doc.width = 4;
  doc.height = 2;
  doc.Allocate(4);
  std::vector<int16_t> selectors;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--file" && i + 1 < args.size()) {
      if (!host.OpenDataFork(args[++i], ForkAccess::Read)) return 1;
    } else if (args[i] == "--mode" && i + 1 < args.size()) {
      doc.mode = ModeFromName(args[++i]);
    } else {
      try {
        selectors.push_back(static_cast<int16_t>(std::stoi(args[i])));
      } catch (...) {
        std::fprintf(stderr, "usage: call SELECTOR... [--file FILE] [--mode MODE]\n");
        return kExitUsage;
      }
    }
  }
  if (selectors.empty()) return kExitUsage;
  host.PrepareRecord();
  host.dataSlot() = 0x5A5A;  // so that a selector's "data null" shows
  host.RunSequence(context.module, selectors);
  std::printf("maxData %d data %lld\n", static_cast<int>(host.record().maxData),
              static_cast<long long>(host.dataSlot()));
  return kExitOk;
}

const CommandRegistration kCall{"call", "call SELECTOR... [--file FILE] [--mode MODE]", RunCall};

}  // namespace

}  // namespace testhost
