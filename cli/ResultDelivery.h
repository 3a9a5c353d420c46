// The last step of a file: its chosen result checked against the input and
// written, or the input kept.
//
// A PNG never grows unless the user asks (--force), except a damaged input
// accepted with --fix, whose own bytes are not sound.  Nothing stands in for
// an input before it has been read back and found to hold the same image;
// a dry run checks too, so that it says what a real run would do.  Files
// are replaced atomically, and with --preserve keep the input's times.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "cli/BatchFile.h"
#include "cli/CliOptions.h"

// png: the result of the run at index winner of file's runs.  Answers the
// outcome to report.  stdoutMutex guards a result written to standard
// output.
FileOutcome DeliverResult(const FileState& file, const std::vector<uint8_t>& png, int winner, const CliOptions& options,
                          std::mutex& stdoutMutex);
