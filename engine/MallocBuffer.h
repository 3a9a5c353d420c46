// Owning pointers to blocks from the C allocator.
//
// The engine's few run-time buffers (the output buffer, the line buffer, the
// entropy table and the split collection buffer) must report an allocation
// failure as a message and a failed run, not as an exception, so they come
// from malloc and are held by these pointers, which free them exactly once.
#pragma once

#include <cstdlib>
#include <memory>

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

template <typename T>
using MallocPtr = std::unique_ptr<T[], FreeDeleter>;

// count elements of T, uninitialised; null when the allocator refuses or the
// byte size does not fit in size_t.
template <typename T>
MallocPtr<T> MallocArray(size_t count) {
  if (count > static_cast<size_t>(-1) / sizeof(T)) return MallocPtr<T>();
  return MallocPtr<T>(static_cast<T*>(std::malloc(count == 0 ? 1 : count * sizeof(T))));
}
