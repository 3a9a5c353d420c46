#include "platform/posix/FileSettingsBackend.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/posix/SettingsValueFile.h"

namespace {

namespace fs = std::filesystem;

bool IsAbsoluteSetting(const char* text) { return text != nullptr && text[0] == '/'; }

// A value name becomes a file name as it is, so it must be one plain
// component; names starting with a dot are kept free for temporary files.
bool IsStorableName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxSettingsNameLength && name.front() != '.' &&
         name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return m_fd; }
  bool valid() const { return m_fd >= 0; }
  bool Close() {
    if (m_fd < 0) return true;
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    return closed;
  }

 private:
  int m_fd;
};

// Reads a whole regular file of at most kMaxSettingsFileSize bytes.  The
// non-blocking open keeps a FIFO planted under a value's name from hanging
// the host; anything but a regular file is refused.
std::optional<std::vector<uint8_t>> ReadSmallFile(const fs::path& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd.valid()) return std::nullopt;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) > kMaxSettingsFileSize) return std::nullopt;

  // Read one byte past the size so a file that grew after fstat, which no
  // writer of ours does (they rename), is caught.
  std::vector<uint8_t> bytes(static_cast<size_t>(info.st_size) + 1);
  size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t got = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    filled += static_cast<size_t>(got);
  }
  if (filled == bytes.size()) return std::nullopt;
  bytes.resize(filled);
  return bytes;
}

std::optional<SettingsValue> ReadValueFile(const fs::path& folder, std::string_view name) {
  if (folder.empty() || !IsStorableName(name)) return std::nullopt;
  const auto bytes = ReadSmallFile(folder / fs::path(std::string(name)));
  if (!bytes) return std::nullopt;
  return DecodeSettingsValue(name, *bytes);
}

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// Makes a rename or unlink in the folder durable.  Failing to do so does not
// undo the change, so the result is not reported.
void SyncFolder(const fs::path& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.valid()) ::fsync(fd.get());
}

// A home folder from the password database, for sessions without $HOME.
std::string HomeFromPasswordDatabase() {
  long bufferSize = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  if (bufferSize <= 0) bufferSize = 16384;
  std::vector<char> buffer(static_cast<size_t>(bufferSize));
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
    return {};
  return IsAbsoluteSetting(found->pw_dir) ? std::string(found->pw_dir) : std::string();
}

}  // namespace

SettingsLocations ResolveSettingsLocations(const char* xdgConfigHome, const char* home,
                                           const char* xdgConfigDirs) {
  SettingsLocations locations;
  if (IsAbsoluteSetting(xdgConfigHome)) {
    locations.userRoot = xdgConfigHome;
  } else if (IsAbsoluteSetting(home)) {
    locations.userRoot = fs::path(home) / ".config";
  }

  std::string_view dirs = xdgConfigDirs != nullptr ? xdgConfigDirs : "";
  while (!dirs.empty()) {
    const size_t colon = dirs.find(':');
    const std::string_view entry = dirs.substr(0, colon);
    // Relative entries are invalid under the XDG rules and are ignored.
    if (!entry.empty() && entry.front() == '/') locations.machineRoots.emplace_back(entry);
    dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
  }
  if (locations.machineRoots.empty()) locations.machineRoots.emplace_back("/etc/xdg");
  return locations;
}

fs::path FileSettingsBackend::ModuleFolder(const fs::path& configRoot) {
  // "Software\QuenburyImaging\VELKORPS" -> <root>/QuenburyImaging/VELKORPS:
  // the registry's "Software" level has no counterpart in a config folder.
  fs::path folder = configRoot;
  std::string_view key = kSettingsKeyPath;
  key.remove_prefix(key.find('\\') + 1);
  while (!key.empty()) {
    const size_t separator = key.find('\\');
    folder /= fs::path(std::string(key.substr(0, separator)));
    key = separator == std::string_view::npos ? std::string_view() : key.substr(separator + 1);
  }
  return folder;
}

FileSettingsBackend::FileSettingsBackend(const fs::path& userRoot, const std::vector<fs::path>& machineRoots) {
  if (!userRoot.empty()) m_userFolder = ModuleFolder(userRoot);
  for (const auto& root : machineRoots) m_machineFolders.push_back(ModuleFolder(root));
}

std::optional<SettingsValue> FileSettingsBackend::Read(SettingsRoot root, std::string_view name) const {
  if (root == SettingsRoot::CurrentUser) return ReadValueFile(m_userFolder, name);
  for (const auto& folder : m_machineFolders) {
    if (auto value = ReadValueFile(folder, name)) return value;
  }
  return std::nullopt;
}

bool FileSettingsBackend::Write(std::string_view name, SettingsType type, std::span<const uint8_t> data) {
  if (m_userFolder.empty()) return false;
  return WriteValueFile(m_userFolder, name, type, data);
}

bool FileSettingsBackend::Remove(std::string_view name) {
  if (m_userFolder.empty() || !IsStorableName(name)) return false;
  const fs::path path = m_userFolder / fs::path(std::string(name));
  if (::unlink(path.c_str()) != 0) return errno == ENOENT || errno == ENOTDIR;
  SyncFolder(m_userFolder);
  return true;
}

bool FileSettingsBackend::WriteValueFile(const fs::path& folder, std::string_view name, SettingsType type,
                                         std::span<const uint8_t> data) {
  if (folder.empty() || !IsStorableName(name)) return false;
  const auto file = EncodeSettingsValue(name, type, data);
  if (!file) return false;

  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return false;

  // The temporary file shares the folder, so the rename stays within one
  // file system and is atomic.
  std::string temporary = (folder / ".pending-XXXXXX").string();
  FileDescriptor fd(::mkstemp(temporary.data()));
  if (!fd.valid()) return false;
  // Machine-wide copies must be readable by every user; none of the values
  // is secret.
  const bool written = ::fchmod(fd.get(), 0644) == 0 && WriteAll(fd.get(), *file) && ::fsync(fd.get()) == 0;
  const bool closed = fd.Close();
  const fs::path target = folder / fs::path(std::string(name));
  if (!written || !closed || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  SyncFolder(folder);
  return true;
}

std::unique_ptr<SettingsBackend> CreateUserSettingsBackend() {
  const char* home = std::getenv("HOME");
  std::string homeFromDatabase;
  if (!IsAbsoluteSetting(home)) {
    homeFromDatabase = HomeFromPasswordDatabase();
    home = homeFromDatabase.empty() ? nullptr : homeFromDatabase.c_str();
  }
  return std::make_unique<FileSettingsBackend>(
      ResolveSettingsLocations(std::getenv("XDG_CONFIG_HOME"), home, std::getenv("XDG_CONFIG_DIRS")));
}
