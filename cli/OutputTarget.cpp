#include "cli/OutputTarget.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/AtomicFile.h"
#include "decode/FormatDetect.h"
#include "decode/ImageDecode.h"

namespace fs = std::filesystem;

namespace {

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

// Whether a file can be created in the folder, found by creating one: the
// permission bits do not tell (root, read-only mounts, special folders).
bool WritableFolder(const fs::path& folder) {
  std::string probe = (folder / ".velkor-probe-XXXXXX").string();
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

TargetCheck CheckFolder(const fs::path& target, std::string& reason) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    reason = "no folder " + folder.string();
    return TargetCheck::Fail;
  }
  if (!WritableFolder(folder)) {
    reason = "cannot write in folder " + folder.string();
    return TargetCheck::Fail;
  }
  return TargetCheck::Ok;
}

// A file the size reader takes for a PNG but whose signature is damaged (a
// line ending rewritten by a text transfer, a changed letter) is a broken
// PNG, not another format: the load then says what is wrong with it.
bool IsOtherImageFormat(const fs::path& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) return false;
  if (DetectFormat(bytes.data(), bytes.size()) == ImageFormat::Png) return false;
  int width = 0, height = 0;
  ImageGetSize(bytes.data(), bytes.size(), &width, &height);
  return width > 0 && height > 0;
}

}  // namespace

bool LooksLikePng(const fs::path& path) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  uint8_t head[8] = {};
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  const size_t n = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  return n == 8 && std::memcmp(head, kSignature, 8) == 0;
}

TargetCheck ChooseOutputTarget(const InputFile& input, bool inputIsPng, const CliOptions& options,
                               OutputTarget& target, std::string& reason) {
  target = OutputTarget();
  if (options.toStdout) {
    target.toStdout = true;
    return TargetCheck::Ok;
  }
  std::error_code ec;
  if (!options.outFile.empty()) {
    target.path = options.outFile;
    if (fs::is_directory(target.path, ec)) {
      reason = "--out names a folder, " + options.outFile + " (--dir writes into a folder)";
      return TargetCheck::Fail;
    }
  } else if (!options.outDir.empty()) {
    if (!fs::is_directory(options.outDir, ec)) {
      reason = "--dir " + options.outDir + " is not a folder";
      return TargetCheck::Fail;
    }
    target.path = fs::path(options.outDir) / fs::path(input.name).filename();
    if (!inputIsPng) target.path.replace_extension(".png");
  } else {
    target.path = input.path;
    if (!inputIsPng) target.path.replace_extension(".png");
  }
  target.shownName = target.path.string();
  if (options.outFile.empty() && options.outDir.empty()) {
    target.shownName = fs::path(input.name).replace_extension(".png").string();
  }
  target.replacesInput = !input.standardInput && SameFile(target.path, input.path);
  // --out or --dir may reach the input through a symbolic link: the file is
  // rewritten, the link kept, as when the link itself is named.  A hard link
  // has no other name to go to and is replaced where it stands.
  if (target.replacesInput) {
    const fs::path resolved = fs::canonical(target.path, ec);
    if (!ec) target.path = resolved;
  }
  // Another format under a .png name: its PNG would take the input's place,
  // and the original (a JPEG's own bytes, say) would be gone for good.  A
  // file no decoder knows (a PNG with a damaged signature) is left to the
  // load to refuse, with its own reason.
  if (target.replacesInput && !inputIsPng && IsOtherImageFormat(input.path)) {
    reason = "not a PNG file; converting it here would replace it (--out FILE or --dir DIR writes the PNG elsewhere)";
    return TargetCheck::Fail;
  }
  if (target.replacesInput) {
    // Read-only by its mode, as the user set it (root could write it anyway).
    const auto perms = fs::status(target.path, ec).permissions();
    const auto writeBits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if (!ec && (perms & writeBits) == fs::perms::none && !options.force) {
      reason = "skipped (read-only; --force rewrites it)";
      return TargetCheck::Skip;
    }
  } else if (fs::exists(target.path, ec) && !options.overwrite) {
    reason = target.path.string() + " exists (use -y to overwrite)";
    return TargetCheck::Fail;
  }
  // A dry run answers as the real run would, but leaves no probe file.
  if (options.pretend) return TargetCheck::Ok;
  return CheckFolder(target.path, reason);
}
