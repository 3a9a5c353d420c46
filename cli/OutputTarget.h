// Where the result for an input goes, checked before any work starts, so
// that a run never spends minutes on a file it cannot write.
#pragma once

#include <filesystem>
#include <string>

#include "cli/CliOptions.h"
#include "cli/InputList.h"

struct OutputTarget {
  std::filesystem::path path;
  std::string shownName;       // the path as the user would write it
  bool replacesInput = false;  // an in-place rewrite of a PNG input
  bool toStdout = false;
};

enum class TargetCheck { Ok, Skip, Fail };

// --out FILE, --dir DIR, --stdout; otherwise a PNG input is rewritten in
// place and any other format gets NAME.png beside it.  Fail with a reason
// when the target exists and may not be overwritten, names a folder, lies
// in a folder that cannot be written, or is the input itself while the input
// is an image of another format; Skip with a reason for a read-only input
// without --force.
TargetCheck ChooseOutputTarget(const InputFile& input, bool inputIsPng, const CliOptions& options,
                               OutputTarget& target, std::string& reason);

// Whether the file starts with the PNG signature.
bool LooksLikePng(const std::filesystem::path& path);
