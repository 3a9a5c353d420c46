// Running the velkor command as a user does, from the CLI suites: a separate
// process in a temporary folder, its exit status and its two output streams.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/Oracles.h"

namespace clitest {

struct CommandResult {
  int status = -1;
  std::string out, err;
};

// Runs "velkor ARGS" in dir (a shell line, so quoting works as typed);
// stdinFile, when given, becomes its standard input.
CommandResult RunVelkor(const std::string& args, const std::filesystem::path& dir,
                        const std::string& stdinFile = "");
// Runs a shell script in dir that starts velkor as "$VELKOR" (under a
// limit, in the background ...).
CommandResult RunVelkorScript(const std::string& script, const std::filesystem::path& dir);

oracle::Image DecodeFile(const std::filesystem::path& path);
std::filesystem::path CopySuiteFile(const std::string& name, const std::filesystem::path& dir);
size_t CountLines(const std::string& text);
std::string ChunkTypes(const std::filesystem::path& png);
// Expects no ".velkor-" temporary file left in dir.
void ExpectNoTemporaryFiles(const std::filesystem::path& dir);

// Starts velkor on args in dir with -v, waits until its standard error shows
// waitFor (a pass has ended), sends the signal count times (a second SIGINT
// once the command has said it took the first), and returns the
// exit status (-1 when the signal ended it) and what it wrote.
CommandResult SignalVelkorAfter(const std::filesystem::path& dir, const std::vector<std::string>& args,
                                const std::string& waitFor, int signal, int count);

// Starts velkor and sends the signal after delayMs (for SIGKILL, which no
// output can precede usefully).
int SignalVelkor(const std::filesystem::path& dir, const std::vector<std::string>& args, int signal, int count,
                 int delayMs);

using oracle::DecodePng16;

// Writes a PNG (or APNG) from Python with zlib, for files Pillow cannot
// make: script defines the frames; see the callers.
int RunPythonPng(const std::string& script);

}  // namespace clitest
