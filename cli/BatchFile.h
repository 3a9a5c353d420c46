// One input file on its way through the batch: what the batch knows of it
// from the target check to the report, and the outcomes the user is told
// about it.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

#include "cli/EngineRun.h"
#include "cli/FileReport.h"
#include "cli/InputList.h"
#include "cli/OutputTarget.h"
#include "cli/SourceImage.h"
#include "cli/StreamRecompress.h"

struct FileState {
  InputFile input;
  OutputTarget target;
  int index = 0;  // 1-based position in the batch, for the status line
  struct stat inputStat {};
  bool haveStat = false;
  SourceImage image;
  std::vector<RunSettings> runs;
  std::vector<RunResult> results;
  RecompressedStreams recompressed;  // a recompress run's streams
  int pendingRuns = 0;
};

// What every report of the file says: its names, sizes, conversion, the
// chunks dropped and the notes of its loading.
FileOutcome BaseOutcome(const FileState& file);
FileOutcome FailedOutcome(const FileState& file, const std::string& reason);
// A file an interrupt kept from being done.
FileOutcome SkippedOutcome(const FileState& file);
