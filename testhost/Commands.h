// The stand-in's command table.  Each command lives in its own file and
// registers itself with a static CommandRegistration, so a new command is a
// new file and no shared list changes:
//
//   static const CommandRegistration kOpen{"open", "open FILE [--dump OUT.pam]", RunOpen};
//
// A command gets the loaded module and the host (whose faults the global
// options have set) and its own arguments; it returns the process's exit
// code.  The host itself reports anything the module still holds at the end
// of a sequence; main turns that into a non-zero exit.
#pragma once

#include <string>
#include <vector>

namespace testhost {

class Module;
class StandInHost;

struct CommandContext {
  Module& module;
  StandInHost& host;
  std::vector<std::string> args;
};

using CommandProc = int (*)(CommandContext& context);

struct Command {
  const char* name;
  const char* usage;
  CommandProc run;
};

const std::vector<Command>& Commands();

struct CommandRegistration {
  CommandRegistration(const char* name, const char* usage, CommandProc run);
};

// Exit codes shared by the commands.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitHostProblem = 3;  // something held at a sequence end, a bad call

}  // namespace testhost
