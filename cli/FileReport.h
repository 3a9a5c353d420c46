// What the user reads about one file: a plain line (more with -v), or one
// JSON object per file with --json, and the engine's messages put into the
// command's own flags.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FileOutcome {
  enum class Status { Written, Kept, Pretend, Skipped, Failed };
  Status status = Status::Failed;
  std::string name;
  std::string output;           // the file written ("" for stdout or none)
  uint64_t before = 0;          // input bytes
  uint64_t after = 0;           // bytes of the file now standing for it
  uint64_t result = 0;          // bytes of the best result found
  bool conversion = false;      // from another format
  bool lossySource = false;     // from JPEG
  std::string reason;           // why failed or skipped
  std::string trial;            // the winning trial, in words
  int trials = 0;
  int colortype = -1, bitdepth = 0, filter = -1, passes = 0;
  std::vector<std::string> dropped;  // chunk types left out
  std::vector<std::string> notes;
};

std::string PlainReport(const FileOutcome& outcome, bool verbose);
std::string JsonReport(const FileOutcome& outcome);

// Engine messages name options as switches of its own ("/c6", "/d4",
// "/kp"); the command's flags are "-c 6", "-d 4", "-kp".  Also drops the
// console framing ("\r", "\n").
std::string InCliTerms(std::string message);

// "palette", "RGB+alpha" ... for colour type n.
std::string ColorTypeWords(int colortype);
