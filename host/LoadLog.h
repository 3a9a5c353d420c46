// The load log: one line per entry notification of the module, appended to
// a text file the user can read when a host fails to load it.
#pragma once

#include <string>

namespace host {

// Appends "<reason name> DllMain: <ctime text>" to the file at `path`
// (creating it); writes nothing when the file cannot be opened.  Reasons 0
// to 4 are process detach, process attach, thread attach, thread detach and
// process verifier.
void AppendLoadLog(const std::string& path, unsigned long reason);

}  // namespace host
