#include "cli/search/PaletteOrders.h"

#include <algorithm>
#include <unordered_map>

namespace search {

namespace {

bool Opaque(uint32_t c) { return (c >> 24) == 0xFF; }

int Channel(uint32_t c, int shift) { return int((c >> shift) & 0xFF); }

// Rec. 601 luma in integer steps; ties fall back to the whole value so that
// the order is total.
bool LighterLater(uint32_t a, uint32_t b) {
  const auto luma = [](uint32_t c) { return 299 * Channel(c, 16) + 587 * Channel(c, 8) + 114 * Channel(c, 0); };
  const int la = luma(a), lb = luma(b);
  return la != lb ? la < lb : a < b;
}

int Distance(uint32_t a, uint32_t b) {
  int sum = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int d = Channel(a, shift) - Channel(b, shift);
    sum += d * d;
  }
  return sum;
}

// From the group's first entry (the most used, in the engine's order), each
// next entry is the nearest one not yet taken.
void ChainInPlace(std::vector<uint32_t>& group) {
  for (size_t i = 1; i < group.size(); ++i) {
    size_t nearest = i;
    for (size_t j = i + 1; j < group.size(); ++j) {
      if (Distance(group[i - 1], group[j]) < Distance(group[i - 1], group[nearest])) nearest = j;
    }
    std::swap(group[i], group[nearest]);
  }
}

void FirstOccurrenceInPlace(std::vector<uint32_t>& group, const uint32_t* pixels, size_t count) {
  std::unordered_map<uint32_t, size_t> first;
  for (uint32_t c : group) first.emplace(c, count);
  size_t found = 0;
  for (size_t i = 0; i < count && found < first.size(); ++i) {
    const auto it = first.find(pixels[i]);
    if (it != first.end() && it->second == count) {
      it->second = i;
      ++found;
    }
  }
  std::stable_sort(group.begin(), group.end(), [&first](uint32_t a, uint32_t b) { return first[a] < first[b]; });
}

}  // namespace

const char* PaletteOrderName(PaletteOrder order) {
  static const char* const names[] = {"luminance", "chain", "first use"};
  return names[int(order)];
}

std::vector<uint32_t> OrderPalette(const std::vector<uint32_t>& palette, PaletteOrder order, const uint32_t* pixels,
                                   size_t count) {
  std::vector<uint32_t> translucent, opaque;
  for (uint32_t c : palette) (Opaque(c) ? opaque : translucent).push_back(c);
  for (std::vector<uint32_t>* group : {&translucent, &opaque}) {
    switch (order) {
      case PaletteOrder::Luminance:
        std::stable_sort(group->begin(), group->end(), LighterLater);
        break;
      case PaletteOrder::NearestChain:
        ChainInPlace(*group);
        break;
      case PaletteOrder::FirstOccurrence:
        FirstOccurrenceInPlace(*group, pixels, count);
        break;
    }
  }
  translucent.insert(translucent.end(), opaque.begin(), opaque.end());
  return translucent;
}

}  // namespace search
