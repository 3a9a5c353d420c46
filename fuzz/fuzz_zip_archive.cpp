// The archive index and the member streams on arbitrary bytes: the input is
// written to an in-memory file, registered as a ZIP archive, and every member
// it yields is opened, read, seeked and read again.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "decode/ImageDecode.h"

namespace {

// An anonymous in-memory file, reachable by name through /proc, so no file
// is left behind however the fuzzer ends.
struct MemoryFile {
  int fd;
  std::string path;
  MemoryFile() : fd(memfd_create("velkor-fuzz-zip", 0)), path("/proc/self/fd/" + std::to_string(fd)) {
    if (fd < 0) std::abort();
  }
};

const MemoryFile& Archive() {
  static const MemoryFile file;
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const MemoryFile& archive = Archive();
  if (ftruncate(archive.fd, 0) != 0 || pwrite(archive.fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
  const std::string& path = archive.path;

  StreamContext streams;
  if (streams.AddArchive(path.c_str()) != 0) return 0;
  std::vector<std::string> members;
  for (const char* name = streams.FindFirst("|*"); name && members.size() < 64; name = streams.FindNext())
    members.emplace_back(name);
  uint8_t buffer[4096];
  for (const std::string& member : members) {
    if (streams.Open(member.c_str()) != 0) continue;
    long long total = 0;
    for (long long got; (got = streams.Read(buffer, sizeof buffer)) > 0 && total < (16 << 20);) total += got;
    streams.Seek(streams.Length() / 2, 0);
    streams.Read(buffer, sizeof buffer);
    streams.Seek(-3, 1);
    streams.GetByte();
    streams.Close();
  }
  return 0;
}
