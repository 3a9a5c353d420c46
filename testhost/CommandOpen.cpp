// velkor-host open FILE [--dump OUT.pam]: opens FILE through the read
// sequence (1 to 4) and prints what the module told the host; --dump writes
// the host's pixels as a PAM (RGB_ALPHA).
// velkor-host open-each OUTDIR FILE...: opens every FILE in turn, each as a
// new document of the same host, dumping OUTDIR/<file name>.pam; one
// process for many files where starting one is slow (under Wine).
#include <cstdio>
#include <filesystem>
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

int OpenOne(CommandContext& context, const std::string& file, const std::string& dump) {
  StandInHost& host = context.host;
  host.document() = Document{};
  if (!host.OpenDataFork(file, ForkAccess::Read)) {
    std::fprintf(stderr, "velkor-host: cannot open %s\n", file.c_str());
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

int RunOpen(CommandContext& context) {
  const auto& args = context.args;
  if (args.size() == 3 && args[1] == "--dump") return OpenOne(context, args[0], args[2]);
  if (args.size() == 1) return OpenOne(context, args[0], "");
  std::fprintf(stderr, "usage: open FILE [--dump OUT.pam]\n");
  return kExitUsage;
}

int RunOpenEach(CommandContext& context) {
  const auto& args = context.args;
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: open-each OUTDIR FILE...\n");
    return kExitUsage;
  }
  int status = kExitOk;
  for (size_t i = 1; i < args.size(); ++i) {
    std::printf("file %s\n", args[i].c_str());
    const std::string name = std::filesystem::path(args[i]).filename().string();
    if (OpenOne(context, args[i], (std::filesystem::path(args[0]) / (name + ".pam")).string()) != kExitOk)
      status = 1;
  }
  return status;
}

const CommandRegistration kOpen{"open", "open FILE [--dump OUT.pam]", RunOpen};
const CommandRegistration kOpenEach{"open-each", "open-each OUTDIR FILE...", RunOpenEach};

}  // namespace

}  // namespace testhost
