// The data fork on systems where the host's handle is a file descriptor.
#ifndef _WIN32

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "host/HostServices.h"

namespace host {

namespace {

int Descriptor(DataForkHandle fork) { return static_cast<int>(fork); }

// Repeats a read or write, given the offset reached so far, until `wanted`
// bytes have moved, it fails or reaches the end; a signal that interrupts
// it is no failure.  Answers the bytes moved.
template <typename Step>
int32_t TransferAll(int32_t wanted, Step step) {
  int32_t done = 0;
  while (done < wanted) {
    const ssize_t moved = step(done);
    if (moved < 0 && errno == EINTR) continue;
    if (moved <= 0) break;
    done += static_cast<int32_t>(moved);
  }
  return done;
}

}  // namespace

OSErr ReadDataFork(DataForkHandle fork, int32_t* count, void* buffer) {
  const int32_t wanted = *count < 0 ? 0 : *count;
  const int32_t done = TransferAll(wanted, [&](int32_t at) {
    return ::read(Descriptor(fork), static_cast<char*>(buffer) + at, static_cast<size_t>(wanted - at));
  });
  *count = done;
  return done == wanted ? noErr : readErr;
}

OSErr WriteDataFork(DataForkHandle fork, int32_t* count, const void* buffer) {
  const int32_t wanted = *count < 0 ? 0 : *count;
  const int32_t done = TransferAll(wanted, [&](int32_t at) {
    return ::write(Descriptor(fork), static_cast<const char*>(buffer) + at, static_cast<size_t>(wanted - at));
  });
  *count = done;
  return done == wanted ? noErr : writErr;
}

OSErr SetDataForkPosition(DataForkHandle fork, int16_t mode, int32_t offset) {
  const int whence = mode == 1 ? SEEK_CUR : mode == 2 ? SEEK_END : SEEK_SET;
  off_t position = ::lseek(Descriptor(fork), offset, whence);
  return position == offset ? noErr : writErr;
}

bool GetDataForkSize(DataForkHandle fork, uint64_t& size) {
  struct stat status {};
  if (::fstat(Descriptor(fork), &status) != 0 || status.st_size < 0) return false;
  size = static_cast<uint64_t>(status.st_size);
  return true;
}

FILE* OpenDataForkStream(DataForkHandle fork) {
  int copy = ::dup(Descriptor(fork));
  if (copy < 0) return nullptr;
  FILE* stream = ::fdopen(copy, "rb");
  if (stream == nullptr) ::close(copy);
  return stream;
}

}  // namespace host

#endif
