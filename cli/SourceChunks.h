// The chunks of a source PNG the engine is given: the palette (from every
// chunk, so that -kp works whatever the keep list says), the ancillary
// chunks the user keeps, and the background colour among them.
#pragma once

#include "cli/SourceImage.h"

// Fills image's palette, kept chunk pointers, their placement counts and
// bkgd from image.chunkChoice; notes the chunks beyond the engine's room.
void ExtractKeptChunks(SourceImage& image);

// For an animation held to its format: the palette with the tRNS alphas, as
// the frames see it.
void AddPaletteAlpha(SourceImage& image);
