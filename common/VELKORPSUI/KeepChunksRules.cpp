#include "common/VELKORPSUI/KeepChunksRules.h"

#include <algorithm>

namespace {

std::string TypeText(const chunks::ChunkType& type) { return std::string(type.begin(), type.end()); }

}  // namespace

std::optional<int> TypeBoxFor(std::string_view type) {
  for (const ChunkTypeBox& box : kChunkTypeBoxes) {
    if (TypeText(box.type) == type) return box.id;
  }
  return std::nullopt;
}

std::vector<std::string> SplitChunkString(std::string_view text) {
  std::vector<std::string> pieces;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view piece = text.substr(0, comma);
    if (!piece.empty()) pieces.emplace_back(piece);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return pieces;
}

bool CheckChunkString(std::string_view text) {
  const std::vector<std::string> pieces = SplitChunkString(text);
  return std::all_of(pieces.begin(), pieces.end(), [](const std::string& piece) { return piece.size() == 4; });
}

KeepList BuildKeepList(const KeepControls& controls) {
  KeepList list;
  if (controls.keepAll) {
    list.SetAll();
    return list;
  }
  if (controls.keepNone) return list;
  for (size_t i = 0; i < kChunkTypeBoxes.size(); ++i) {
    if (controls.typeTicked[i]) list.Append(TypeText(kChunkTypeBoxes[i].type));
  }
  if (controls.privateTicked && !controls.privateText.empty()) list.Append(controls.privateText);
  return list;
}
