// The engine's last message: the print callback of a save formats into one
// module-wide buffer of 256 characters, each message replacing the one
// before, so that a failed save can tell the user why.  The engine prints on
// its worker thread; the write path reads the buffer only after the run has
// ended.
#pragma once

#include <cstddef>

namespace host {

inline constexpr size_t kEngineMessageSize = 256;

// printf-style; the text is cut to the buffer.
int PrintEngineMessage(const char* format, ...);
const char* LastEngineMessage();
void ClearEngineMessage();

}  // namespace host
