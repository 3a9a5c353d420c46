// The archive index and the member streams on arbitrary bytes: the input is
// written to a temporary file, registered as a ZIP archive, and every member
// it yields is opened, read, seeked and read again.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "decode/ImageDecode.h"

namespace {

const std::string& ArchivePath() {
  static const std::string path = [] {
    char name[] = "/tmp/velkor-fuzz-zip-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) std::abort();
    close(fd);
    return std::string(name);
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = ArchivePath();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

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
