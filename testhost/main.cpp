// velkor-host: a host stand-in that loads the VELKOR module and drives it
// through selector sequences as an image editor would.
//
//   velkor-host [--module PATH] [--fault NAME[=VALUE]]... [--dialog SCRIPT [--shots DIR]]
//               COMMAND ARGS...
//
// Exit status: the command's, or 3 when the host saw the module do what a
// sound module never does (anything held at a sequence end, a bad request).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "testhost/Commands.h"
#include "testhost/DialogScriptOption.h"
#include "testhost/Module.h"
#include "testhost/StandInHost.h"

namespace {

void PrintUsage() {
  std::fprintf(stderr, "usage: velkor-host [--module PATH] [--fault NAME[=VALUE]]... [--dialog SCRIPT [--shots DIR]] COMMAND ARGS...\n"
               "commands:\n");
  std::vector<testhost::Command> commands = testhost::Commands();
  std::sort(commands.begin(), commands.end(),
            [](const testhost::Command& a, const testhost::Command& b) { return std::strcmp(a.name, b.name) < 0; });
  for (const testhost::Command& command : commands) std::fprintf(stderr, "  %s\n", command.usage);
  std::fputs(testhost::FaultHelp(), stderr);
}

}  // namespace

int main(int argc, char** argv) {
  std::string modulePath = testhost::DefaultModulePath();
  testhost::StandInHost host;
  testhost::DialogScriptOption dialogScript;
  int index = 1;
  for (; index < argc; ++index) {
    const std::string option = argv[index];
    if (option == "--module" && index + 1 < argc) {
      modulePath = argv[++index];
    } else if (option == "--dialog" && index + 1 < argc) {
      dialogScript.scriptPath = argv[++index];
    } else if (option == "--shots" && index + 1 < argc) {
      dialogScript.shotFolder = argv[++index];
    } else if (option == "--fault" && index + 1 < argc) {
      std::string error;
      if (!testhost::ApplyFault(host.faults(), argv[++index], error)) {
        std::fprintf(stderr, "velkor-host: %s\n", error.c_str());
        return testhost::kExitUsage;
      }
    } else {
      break;
    }
  }
  if (index >= argc) {
    PrintUsage();
    return testhost::kExitUsage;
  }
  const std::string name = argv[index++];
  const auto& commands = testhost::Commands();
  auto command = std::find_if(commands.begin(), commands.end(),
                              [&](const testhost::Command& c) { return name == c.name; });
  if (command == commands.end()) {
    std::fprintf(stderr, "velkor-host: unknown command '%s'\n", name.c_str());
    PrintUsage();
    return testhost::kExitUsage;
  }
  testhost::Module module(modulePath);
  if (!module.Loaded()) {
    std::fprintf(stderr, "velkor-host: %s\n", module.Error().c_str());
    return testhost::kExitHostProblem;
  }
  module.CaptureMessageBoxes();
  if (!dialogScript.scriptPath.empty() && !testhost::InstallDialogScript(module, dialogScript)) {
    return testhost::kExitUsage;
  }
  testhost::CommandContext context{module, host, std::vector<std::string>(argv + index, argv + argc)};
  int status = command->run(context);
  std::fflush(stdout);
  if (!dialogScript.scriptPath.empty() && !testhost::DialogScriptSucceeded(module) && status == 0) status = 1;
  if (host.Problems() > 0) {
    std::fprintf(stderr, "velkor-host: %d host problem(s)\n", host.Problems());
    return testhost::kExitHostProblem;
  }
  return status;
}
