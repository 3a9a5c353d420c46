// The chunk model's assertion.  It guards conditions that only a programming
// error can break (a record created twice, a flattened block that does not
// add up), never properties of file bytes: hostile input is refused by the
// code, not asserted away.  It stays active in release builds, because a
// broken chunk block handed to the encoder would corrupt the saved file.
// A failure prints the expression, the source file and the line, as
// "Assertion failed: 1 == m_Length, file common/pngchunks/PngChunk.cpp,
// line 42", to stderr and aborts: there is no safe way to continue a save
// whose chunk bookkeeping is wrong, and unwinding an exception through the
// host's C entry point is not allowed.
#pragma once

namespace chunks {

[[noreturn]] void ChunkAssertFailed(const char* expression, const char* file, int line);

}  // namespace chunks

#define CHUNK_ASSERT(expression) \
  ((expression) ? static_cast<void>(0) : ::chunks::ChunkAssertFailed(#expression, __FILE__, __LINE__))
