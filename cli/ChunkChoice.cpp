#include "cli/ChunkChoice.h"

#include <algorithm>

#include "cli/ChunkNames.h"

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

void AddOnce(std::vector<std::string>& list, const std::string& item) {
  if (!Contains(list, item)) list.push_back(item);
}

bool Wanted(const std::string& type, const ChunkPolicy& policy) {
  switch (policy.mode) {
    case ChunkPolicy::Mode::Default: return true;
    case ChunkPolicy::Mode::StripSafe: return IsAppearanceChunk(type);
    case ChunkPolicy::Mode::StripAll: return false;
    case ChunkPolicy::Mode::StripList: return !Contains(policy.names, type);
    case ChunkPolicy::Mode::KeepList: return Contains(policy.names, type);
  }
  return false;
}

// Ancillary chunks are those whose first letter is lower case.
bool IsAncillary(const std::string& type) { return type.size() == 4 && type[0] >= 'a' && type[0] <= 'z'; }

bool UnsafeToCopy(const std::string& type) { return type[3] >= 'A' && type[3] <= 'Z'; }

}  // namespace

bool ChunkChoice::Keeps(const std::string& type) const { return Contains(kept, type); }

std::string ChunkChoice::KeepList() const {
  std::string list;
  for (const std::string& type : kept) list += (list.empty() ? "" : ",") + type;
  return list;
}

ChunkChoice ChooseChunks(const PngFileScan& scan, const ChunkPolicy& policy, bool formatMayChange) {
  ChunkChoice choice;
  for (const ScannedChunk& chunk : scan.chunks) {
    const std::string& type = chunk.type;
    // A true-colour image's PLTE only suggests a palette for displays with
    // few colours: optional like an ancillary chunk, and the engine, which
    // writes no such palette, drops it.
    if (type == "PLTE" && scan.colorType != 3) {
      choice.suggestedPalette = Wanted(type, policy) && !formatMayChange;
      if (!choice.suggestedPalette) AddOnce(choice.dropped, type);
      continue;
    }
    if (!IsAncillary(type) || !IsChunkType(type) || type == "tRNS" || IsAnimationChunk(type)) continue;
    // PNG's safe-to-copy bit speaks of chunks an editor does not know; the
    // registered ones are judged by what they describe.
    const bool copyable = IsRegisteredType(type) || !UnsafeToCopy(type);
    const bool valid = !formatMayChange || (copyable && !DependsOnImageFormat(type));
    if (Wanted(type, policy) && valid) {
      AddOnce(choice.kept, type);
    } else {
      AddOnce(choice.dropped, type);
    }
  }
  return choice;
}
