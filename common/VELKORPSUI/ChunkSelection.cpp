#include "common/VELKORPSUI/ChunkSelection.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/PngChunk.h"
#include "engine/EncodeJob.h"

using chunks::PngChunk;

namespace {

constexpr uint32_t kRgbBackgroundLength = 6;

bool EntryMatches(const std::string& entry, const uint8_t* raw) {
  return entry.size() == 4 && std::memcmp(entry.data(), raw + 4, 4) == 0;
}

}  // namespace

ChunkSelection::ChunkSelection(const ChunkSelection& other)
    : m_items(other.m_items),
      m_background(other.m_background),
      m_sourceColorType(other.m_sourceColorType),
      m_sourceBitDepth(other.m_sourceBitDepth),
      m_palette(other.m_palette),
      m_paletteCount(other.m_paletteCount),
      m_grey(other.m_grey),
      m_keepText(other.m_keepText) {
  for (const OwnedChunk& owned : other.m_owned) {
    const uint8_t* original = owned.get();
    const size_t size = static_cast<size_t>(chunks::RawChunkSize(chunks::ReadBe32(original)));
    uint8_t* copy = chunks::AllocateChunkBytes(size);
    if (copy == nullptr) {
      // Without memory for its own copy the item cannot stay: it would point
      // at bytes the other selection frees.
      std::erase_if(m_items, [&](const ChunkItem& item) { return item.chunk == original; });
      continue;
    }
    std::memcpy(copy, original, size);
    m_owned.emplace_back(copy);
    for (ChunkItem& item : m_items) {
      if (item.chunk == original) item.chunk = copy;
    }
  }
}

ChunkSelection& ChunkSelection::operator=(const ChunkSelection& other) {
  if (this != &other) {
    ChunkSelection copy(other);
    *this = std::move(copy);
  }
  return *this;
}

ChunkSelection ChunkSelection::Build(const EncodeJob& job, uint8_t sourceColorType, uint8_t sourceBitDepth) {
  ChunkSelection selection;
  selection.m_sourceColorType = sourceColorType;
  selection.m_sourceBitDepth = sourceBitDepth;
  selection.m_palette = job.pal;
  selection.m_paletteCount = job.palcount;
  for (const chunks::ChunkRef& ref : chunks::ChunkList::ListFlattened(job)) {
    const PngChunk chunk(ref.chunk);
    if (chunk.Is(chunks::kBKGD)) {
      uint16_t r = 0, g = 0, b = 0;
      if (!chunk.GetBackgroundColor(sourceColorType, sourceBitDepth, job.palcount, job.pal, r, g, b)) continue;
      selection.m_background = OpaqueColor(r, g, b);
    }
    selection.m_items.push_back({ref.chunk, ref.group, 0});
  }
  return selection;
}

void ChunkSelection::ApplyKeepList(const KeepList& list) {
  m_keepText = list.Serialize();
  for (ChunkItem& item : m_items) item.keep = list.IsAll() ? 1 : 0;
  if (list.IsEmpty() || list.IsAll()) return;
  for (const std::string& entry : list) {
    for (ChunkItem& item : m_items) {
      if (EntryMatches(entry, item.chunk)) item.keep = 1;
    }
  }
}

uint8_t* ChunkSelection::SetBackground(uint8_t r, uint8_t g, uint8_t b) {
  m_background = OpaqueColor(r, g, b);
  auto found = std::find_if(m_items.begin(), m_items.end(),
                            [](const ChunkItem& item) { return PngChunk(item.chunk).Is(chunks::kBKGD); });
  if (found == m_items.end()) {
    uint8_t* created = CreateRgbBackground();
    if (created != nullptr) m_items.push_back({created, chunks::BeforePalette, 0});
    return created;
  }
  PngChunk chunk(found->chunk);
  if (chunk.m_Length == kRgbBackgroundLength && Owns(found->chunk)) {
    int depth = m_sourceBitDepth;
    chunk.SetBackgroundColor(r, g, b, m_paletteCount, m_palette, m_sourceColorType, depth);
    m_sourceBitDepth = static_cast<uint8_t>(depth);
    return found->chunk;
  }
  uint8_t* created = CreateRgbBackground();
  if (created == nullptr) return nullptr;
  uint8_t* replaced = std::exchange(found->chunk, created);
  Release(replaced);
  return created;
}

bool ChunkSelection::BuildKeptChunks(chunks::FlatChunks& flat) {
  const uint32_t background = std::exchange(m_background, 0);
  chunks::ChunkList list;
  for (const ChunkItem& item : m_items) {
    if (item.keep == 0) continue;
    if (PngChunk(item.chunk).Is(chunks::kBKGD)) m_background = background;
    list.Add(item.chunk, item.group);
  }
  if (!list.Flatten(flat)) return false;
  if (m_background == 0) return true;
  // The colour goes into the flattened copy, never into the bytes the items
  // point at (the source file's chunks).  The list holds one bKGD at most.
  for (int i = 0; i < flat.chunkcount; ++i) {
    PngChunk chunk(flat.chunks[i]);
    if (!chunk.Is(chunks::kBKGD)) continue;
    int depth = m_sourceBitDepth;
    chunk.SetBackgroundColor((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF,
                             m_paletteCount, m_palette, m_sourceColorType, depth);
    m_sourceBitDepth = static_cast<uint8_t>(depth);
  }
  return true;
}

bool ChunkSelection::Owns(const uint8_t* raw) const {
  return std::any_of(m_owned.begin(), m_owned.end(), [&](const OwnedChunk& owned) { return owned.get() == raw; });
}

uint8_t* ChunkSelection::CreateRgbBackground() {
  PngChunk chunk;
  uint8_t* created = chunk.Create(chunks::kBKGD, kRgbBackgroundLength);
  if (created == nullptr) return nullptr;
  int noPaletteCount = 0;
  int depth = 8;
  chunk.SetBackgroundColor((m_background >> 16) & 0xFF, (m_background >> 8) & 0xFF, m_background & 0xFF,
                           noPaletteCount, nullptr, 2, depth);
  m_owned.emplace_back(created);
  return created;
}

void ChunkSelection::Release(uint8_t* raw) {
  std::erase_if(m_owned, [&](const OwnedChunk& owned) { return owned.get() == raw; });
}
