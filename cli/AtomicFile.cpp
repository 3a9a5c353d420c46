#include "cli/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string ErrnoText() { return std::strerror(errno); }

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& target, const std::vector<uint8_t>& bytes,
                         const std::filesystem::path& modeFrom, std::string& error) {
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  std::string tempName = ".";
  tempName += target.filename().string();
  tempName += ".velkor-XXXXXX";
  std::string temp = (folder / tempName).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = "cannot create a file in " + folder.string() + ": " + ErrnoText();
    return false;
  }
  mode_t mode = 0644;
  struct stat st;
  if (!modeFrom.empty() && ::stat(modeFrom.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    // The new file is ours; a file rewritten for another user (by root, or
    // through a shared group) stays theirs where the system allows, or at
    // least keeps its group.  Before the mode: a change of owner clears the
    // set-id bits.
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) (void)!::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  bool ok = WriteAll(fd, bytes.data(), bytes.size()) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  if (!ok) error = "cannot write " + target.string() + ": " + ErrnoText();
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = "cannot write " + target.string() + ": " + ErrnoText();
  }
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
    ok = false;
    error = "cannot replace " + target.string() + ": " + ErrnoText();
  }
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes, std::string& error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = ErrnoText();
    return false;
  }
  struct stat st;
  if (::fstat(::fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
    std::fclose(f);
    error = "not a regular file";
    return false;
  }
  bytes.clear();
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = "read error";
    return false;
  }
  return true;
}
