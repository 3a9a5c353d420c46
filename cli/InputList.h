// The files a run works on, from the names on the command line: folders
// walked with -r (PNG files, and the other image formats with --convert),
// standard input as "-", and every file once however often or however it
// is named (a second path, a symbolic link).  A symbolic link is followed:
// its target is the file rewritten, the link itself stays.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliOptions.h"

struct InputFile {
  std::string name;                // as the user knows it (for messages)
  std::filesystem::path path;      // the file read and, in place, rewritten
  bool standardInput = false;
};

// A name on the command line that cannot be used, and why.
struct UnusableInput {
  std::string name;
  std::string reason;
};

// Fills files; each name that cannot be used (missing, a folder without
// -r) adds an entry to errors.
void ListInputs(const CliOptions& options, std::vector<InputFile>& files, std::vector<UnusableInput>& errors);
