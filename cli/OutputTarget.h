// Where the result for an input goes, and whether it may be written.
#pragma once

#include <filesystem>
#include <string>

#include "cli/CliOptions.h"

struct OutputTarget {
  std::filesystem::path path;
  bool replacesInput = false;  // an in-place rewrite of a PNG input
};

// -o OUT for one input; otherwise a PNG input is rewritten in place and any
// other format gets NAME.png beside it.  False with a reason when the target
// exists and may not be overwritten.
bool ChooseOutputTarget(const std::filesystem::path& input, bool inputIsPng, const CliOptions& options,
                        OutputTarget& target, std::string& error);
