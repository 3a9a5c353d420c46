#include "cli/OutputTarget.h"

namespace {

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

}  // namespace

bool ChooseOutputTarget(const std::filesystem::path& input, bool inputIsPng, const CliOptions& options,
                        OutputTarget& target, std::string& error) {
  if (!options.outFile.empty()) {
    target.path = options.outFile;
  } else if (!options.outDir.empty()) {
    target.path = std::filesystem::path(options.outDir) / input.filename();
    if (!inputIsPng) target.path.replace_extension(".png");
  } else if (inputIsPng) {
    target.path = input;
  } else {
    target.path = input;
    target.path.replace_extension(".png");
  }
  target.replacesInput = SameFile(target.path, input);
  std::error_code ec;
  if (!target.replacesInput && std::filesystem::exists(target.path, ec) && !options.overwrite) {
    error = target.path.string() + " exists (use -y to overwrite)";
    return false;
  }
  return true;
}
