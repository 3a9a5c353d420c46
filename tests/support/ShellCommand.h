// Runs a program the way the suites start the command-line tool and the
// host stand-ins: through /bin/sh, reading what it prints.
#pragma once

#include <string>

namespace oracle {

// Runs `command` with its standard error sent to standard output, appends
// all it printed to `output` and answers its exit code; -1 when it could
// not be started or did not exit normally.
int RunShellCommand(const std::string& command, std::string& output);

}  // namespace oracle
