#include "cli/ChunkNames.h"

#include <algorithm>
#include <cctype>

namespace {

// Chunk types registered for PNG and its extensions, for suggestions.
constexpr const char* kKnownTypes[] = {
    "IHDR", "PLTE", "IDAT", "IEND", "tRNS", "cHRM", "gAMA", "iCCP", "sBIT", "sRGB", "cICP", "mDCv",
    "cLLi", "tEXt", "zTXt", "iTXt", "bKGD", "hIST", "pHYs", "sPLT", "eXIf", "tIME", "acTL", "fcTL",
    "fdAT", "oFFs", "pCAL", "sCAL", "sTER", "gIFg", "gIFx", "vpAg"};

bool SameIgnoringCase(const std::string& a, const char* b) {
  for (size_t i = 0; i < a.size(); ++i) {
    if (b[i] == '\0' || std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return b[a.size()] == '\0';
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

bool IsChunkType(const std::string& name) {
  return name.size() == 4 &&
         std::all_of(name.begin(), name.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
}

bool ParseChunkList(const std::string& text, std::vector<std::string>& names, std::string& error) {
  names.clear();
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string name = Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (!name.empty()) {
      const auto known = std::find_if(std::begin(kKnownTypes), std::end(kKnownTypes),
                                       [&](const char* type) { return SameIgnoringCase(name, type); });
      if (known != std::end(kKnownTypes) && name != *known) {
        error = name + ": did you mean " + *known + "?";
        return false;
      }
      if (!IsChunkType(name)) {
        error = name + ": not a chunk type";
        return false;
      }
      names.push_back(name);
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (names.empty()) {
    error = "'" + text + "' names no chunk type";
    return false;
  }
  return true;
}

bool IsRegisteredType(const std::string& type) {
  return std::find(std::begin(kKnownTypes), std::end(kKnownTypes), type) != std::end(kKnownTypes);
}

bool IsAppearanceChunk(const std::string& type) {
  for (const char* t : {"gAMA", "cHRM", "sRGB", "iCCP", "cICP", "mDCv", "cLLi", "pHYs"}) {
    if (type == t) return true;
  }
  return false;
}

bool DependsOnImageFormat(const std::string& type) {
  return type == "sBIT" || type == "hIST";
}

bool IsAnimationChunk(const std::string& type) { return type == "acTL" || type == "fcTL" || type == "fdAT"; }
