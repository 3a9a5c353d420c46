// Runs the Windows build of velkor-host under wine64 on a private Xvfb
// screen, its dialogs driven by a dialog script, and reads back what it
// printed.  Every run has a time limit: a dialog nobody closes fails the
// test instead of hanging it.
#pragma once

#include <filesystem>
#include <string>

namespace winetest {

struct HostRun {
  int exitCode = -1;
  std::string output;  // stdout and stderr, without carriage returns
};

// build-win64/screenshots, where `shot` puts its pictures.
std::filesystem::path ShotFolder();

// `command` is velkor-host's command line after the global options.
HostRun RunWithScript(const std::string& name, const std::string& script, const std::string& command);

// Whether `shot NAME` left a picture worth looking at.
bool ShotWritten(const std::string& name);

}  // namespace winetest
