#include "host/SourceFile.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/pngchunks/ChunkBytes.h"

namespace host {

bool HasPngExtension(std::string_view path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = path.substr(dot);
  if (extension.size() != 4) return false;
  constexpr char kUpper[] = ".PNG";
  for (size_t i = 0; i < 4; ++i) {
    const char c = extension[i];
    const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    if (upper != kUpper[i]) return false;
  }
  return true;
}

uint8_t* ReadWholeFile(const char* path, size_t& size) {
  size = 0;
  // A folder or a device can be opened too, and then reports a size that is
  // no size at all (a folder's end lies at the largest offset); only a
  // regular file is a source file.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return nullptr;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return nullptr;
  uint8_t* bytes = nullptr;
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  if (length > 0 && std::fseek(file, 0, SEEK_SET) == 0) {
    bytes = chunks::AllocateChunkBytes(static_cast<size_t>(length));
    if (bytes != nullptr && std::fread(bytes, 1, static_cast<size_t>(length), file) != static_cast<size_t>(length)) {
      chunks::FreeChunkBytes(bytes);
      bytes = nullptr;
    }
  }
  std::fclose(file);
  if (bytes != nullptr) size = static_cast<size_t>(length);
  return bytes;
}

}  // namespace host
