// velkor-host open FILE [--dump OUT.pam]: opens FILE through the read
// sequence (1 to 4) and prints what the module told the host; --dump writes
// the host's pixels as a PAM (RGB_ALPHA).
#include <cstdio>
#include <string>

#include "testhost/Commands.h"
#include "testhost/StandInHost.h"

namespace testhost {

namespace {

std::string Printable(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (uint8_t b : bytes) text += b == '\n' ? std::string("\\n") : std::string(1, char(b));
  return text;
}

int RunOpen(CommandContext& context) {
  const auto& args = context.args;
  std::string dump;
  if (args.size() == 3 && args[1] == "--dump") dump = args[2];
  else if (args.size() != 1) {
    std::fprintf(stderr, "usage: open FILE [--dump OUT.pam]\n");
    return kExitUsage;
  }
  StandInHost& host = context.host;
  if (!host.OpenDataFork(args[0], ForkAccess::Read)) {
    std::fprintf(stderr, "velkor-host: cannot open %s\n", args[0].c_str());
    return 1;
  }
  host.PrepareRecord();
  const int16_t result = host.RunSequence(context.module, {1, 2, 3, 4});
  host.CloseDataFork();
  std::printf("open result %d\n", result);
  if (result != noErr) return 1;
  const Document& doc = host.document();
  std::printf("image mode %d depth %d planes %d width %d height %d hres %d vres %d\n", doc.mode, doc.depth,
              doc.PlaneCount(), static_cast<int>(doc.width), static_cast<int>(doc.height),
              static_cast<int>(doc.hres), static_cast<int>(doc.vres));
  for (const ImageResource& resource : doc.resources) {
    const char type[5] = {char(resource.type >> 24), char(resource.type >> 16), char(resource.type >> 8),
                          char(resource.type), 0};
    std::printf("resource %s %zu bytes \"%s\"\n", type, resource.bytes.size(), Printable(resource.bytes).c_str());
  }
  if (!dump.empty() && !WritePam(doc, dump)) {
    std::fprintf(stderr, "velkor-host: cannot write %s\n", dump.c_str());
    return 1;
  }
  return kExitOk;
}

const CommandRegistration kOpen{"open", "open FILE [--dump OUT.pam]", RunOpen};

}  // namespace

}  // namespace testhost
