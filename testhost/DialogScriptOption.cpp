#include "testhost/DialogScriptOption.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace testhost {

bool ReadDialogScript(const DialogScriptOption& option, std::string& text) {
  std::ifstream file(option.scriptPath, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "velkor-host: cannot read the dialog script %s\n", option.scriptPath.c_str());
    return false;
  }
  std::stringstream contents;
  contents << file.rdbuf();
  text = contents.str();
  return true;
}

}  // namespace testhost

// On Linux the module runs the script in its headless toolkit; the Windows
// stand-in drives real windows instead (testhost/Win32DialogDriver.cpp).
#ifndef _WIN32

#include "host/DialogScriptExports.h"
#include "testhost/Module.h"

namespace testhost {

bool InstallDialogScript(const Module& module, const DialogScriptOption& option) {
  std::string text;
  if (!ReadDialogScript(option, text)) return false;
  auto install = reinterpret_cast<SetDialogScriptProc>(module.Symbol(kSetDialogScriptSymbol));
  if (!install) {
    std::fprintf(stderr, "velkor-host: the module takes no dialog scripts\n");
    return false;
  }
  char error[512] = {};
  if (!install(text.c_str(), option.shotFolder.c_str(), error, sizeof error)) {
    std::fprintf(stderr, "velkor-host: %s: %s\n", option.scriptPath.c_str(), error);
    return false;
  }
  return true;
}

bool DialogScriptSucceeded(const Module& module) {
  auto status = reinterpret_cast<DialogScriptStatusProc>(module.Symbol(kDialogScriptStatusSymbol));
  if (!status) return false;
  char message[2048] = {};
  if (status(message, sizeof message)) return true;
  std::fprintf(stderr, "velkor-host: dialog script: %s", message);
  return false;
}

}  // namespace testhost

#endif
