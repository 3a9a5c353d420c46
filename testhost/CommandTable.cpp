#include "testhost/Commands.h"

namespace testhost {

namespace {

std::vector<Command>& Table() {
  static std::vector<Command> table;
  return table;
}

}  // namespace

const std::vector<Command>& Commands() { return Table(); }

CommandRegistration::CommandRegistration(const char* name, const char* usage, CommandProc run) {
  Table().push_back({name, usage, run});
}

}  // namespace testhost
