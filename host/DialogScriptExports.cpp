// The Linux module's dialog script exports (host/DialogScriptExports.h).
#ifndef _WIN32

#include "host/DialogScriptExports.h"

#include <cstdio>
#include <memory>
#include <string>

#include "ui/headless/DialogScript.h"
#include "ui/headless/HeadlessModuleUi.h"

namespace {

std::unique_ptr<ui::headless::ScriptDriver> g_script;

void CopyOut(const std::string& text, char* out, size_t size) {
  if (out && size > 0) std::snprintf(out, size, "%s", text.c_str());
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int VelkorSetDialogScript(const char* script, const char* shotFolder,
                                                                             char* error, size_t errorSize) {
  ui::headless::ParsedScript parsed = ui::headless::ParseDialogScript(script ? script : "");
  if (!parsed.error.empty()) {
    CopyOut(parsed.error, error, errorSize);
    return 0;
  }
  g_script = std::make_unique<ui::headless::ScriptDriver>(std::move(parsed.commands), shotFolder ? shotFolder : ".");
  ui::headless::HeadlessToolkit& toolkit = ui::headless::ModuleToolkit();
  toolkit.SetDriver(g_script.get());
  return 1;
}

extern "C" __attribute__((visibility("default"))) int VelkorDialogScriptStatus(char* message, size_t messageSize) {
  std::string problems;
  for (const std::string& problem : ui::headless::ModuleToolkit().Problems()) problems += problem + "\n";
  if (g_script && g_script->Failed()) problems += g_script->Error() + "\n";
  if (g_script && !g_script->Failed() && g_script->Remaining() > 0) {
    problems += std::to_string(g_script->Remaining()) + " script command(s) never ran\n";
  }
  CopyOut(problems, message, messageSize);
  return problems.empty() ? 1 : 0;
}

#endif
