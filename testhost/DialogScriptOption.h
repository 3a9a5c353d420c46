// velkor-host --dialog SCRIPT [--shots FOLDER]: drives the module's dialogs
// with a script (ui/headless/DialogScript.h).  On Linux the module runs the
// script inside its headless toolkit; the stand-in hands it over after
// loading the module and asks at the end whether every command ran.
#pragma once

#include <string>

namespace testhost {

class Module;

struct DialogScriptOption {
  std::string scriptPath;
  std::string shotFolder = "screenshots";
};

// The script's text, shared by both platforms' installers.  False, with a
// message on standard error, when the file cannot be read.
bool ReadDialogScript(const DialogScriptOption& option, std::string& text);

// False, with a message on standard error, when the script cannot be read
// or parsed or the module takes no scripts.
bool InstallDialogScript(const Module& module, const DialogScriptOption& option);
// False, with the reasons on standard error, when a command failed or never
// ran, or a dialog had nothing to end it.
bool DialogScriptSucceeded(const Module& module);

}  // namespace testhost
