// The document's source PNG file, read again on save for its ancillary
// chunks: the title the host gives the document is taken as a path, and only
// a path ending in ".PNG" (any letter case) is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace host {

// Whether the extension of `path` (from its last dot) is ".PNG" in any case.
bool HasPngExtension(std::string_view path);

// The whole file in one block from chunks::AllocateChunkBytes, or null when
// the file cannot be opened, sized, allocated or read to its end; a partly
// read file is never returned.
uint8_t* ReadWholeFile(const char* path, size_t& size);

}  // namespace host
