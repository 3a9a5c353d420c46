// The data fork on Windows: the host's handle is a Win32 file HANDLE.
#ifdef _WIN32

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "host/HostServices.h"

namespace host {

namespace {

HANDLE FileHandle(DataForkHandle fork) { return reinterpret_cast<HANDLE>(fork); }

}  // namespace

OSErr ReadDataFork(DataForkHandle fork, int32_t* count, void* buffer) {
  const DWORD wanted = *count < 0 ? 0 : static_cast<DWORD>(*count);
  DWORD done = 0;
  BOOL ok = ::ReadFile(FileHandle(fork), buffer, wanted, &done, nullptr);
  *count = static_cast<int32_t>(done);
  return ok && done == wanted ? noErr : readErr;
}

OSErr WriteDataFork(DataForkHandle fork, int32_t* count, const void* buffer) {
  const DWORD wanted = *count < 0 ? 0 : static_cast<DWORD>(*count);
  DWORD done = 0;
  BOOL ok = ::WriteFile(FileHandle(fork), buffer, wanted, &done, nullptr);
  *count = static_cast<int32_t>(done);
  return ok && done == wanted ? noErr : writErr;
}

OSErr SetDataForkPosition(DataForkHandle fork, int16_t mode, int32_t offset) {
  const DWORD method = mode == 1 ? FILE_CURRENT : mode == 2 ? FILE_END : FILE_BEGIN;
  LARGE_INTEGER distance{};
  distance.QuadPart = offset;
  LARGE_INTEGER position{};
  if (!::SetFilePointerEx(FileHandle(fork), distance, &position, method)) return writErr;
  return position.QuadPart == offset ? noErr : writErr;
}

bool GetDataForkSize(DataForkHandle fork, uint64_t& size) {
  LARGE_INTEGER length{};
  if (!::GetFileSizeEx(FileHandle(fork), &length) || length.QuadPart < 0) return false;
  size = static_cast<uint64_t>(length.QuadPart);
  return true;
}

FILE* OpenDataForkStream(DataForkHandle fork) {
  HANDLE process = ::GetCurrentProcess();
  HANDLE copy = nullptr;
  if (!::DuplicateHandle(process, FileHandle(fork), process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return nullptr;
  int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(copy), _O_RDONLY | _O_BINARY);
  if (descriptor < 0) {
    ::CloseHandle(copy);
    return nullptr;
  }
  FILE* stream = ::_fdopen(descriptor, "rb");
  if (stream == nullptr) ::_close(descriptor);
  return stream;
}

}  // namespace host

#endif
