// Palette orders for the search.
//
// The engine orders a generated palette by use.  With filters at work the
// indices are predicted from their neighbours, so an order in which similar
// colours get near indices often deflates better: by luminance, along a
// chain of nearest neighbours in colour space, or in the order the colours
// first appear in the image.  Entries with transparency always stay in
// front, as the engine puts them, so that tRNS keeps its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace search {

enum class PaletteOrder { Luminance, NearestChain, FirstOccurrence };

constexpr PaletteOrder kAllPaletteOrders[] = {PaletteOrder::Luminance, PaletteOrder::NearestChain,
                                              PaletteOrder::FirstOccurrence};

// "luminance", "chain", "first use".
const char* PaletteOrderName(PaletteOrder order);

// The entries of palette (0xAARRGGBB) in the given order; the non-opaque
// entries come first.  pixels (count words) are read for FirstOccurrence.
std::vector<uint32_t> OrderPalette(const std::vector<uint32_t>& palette, PaletteOrder order, const uint32_t* pixels,
                                   size_t count);

}  // namespace search
