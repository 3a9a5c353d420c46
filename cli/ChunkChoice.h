// Which ancillary chunks of a PNG input go into its output, and which are
// dropped (reported by -v and --json).
//
// The user's policy says what is wanted; validity says what may be written.
// When the engine re-encodes the image its colour type, bit depth and palette
// may change, and a chunk that describes those (sBIT, hIST) or that PNG marks
// unsafe to copy after such a change (fourth letter upper case) would then be
// wrong: it is dropped even when wanted.  tRNS is part of the pixels and bKGD
// is rewritten by the engine for the new format; animation chunks travel
// with the animation.
#pragma once

#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/PngFileScan.h"

struct ChunkChoice {
  std::vector<std::string> kept;     // types, in file order, each once
  std::vector<std::string> dropped;  // types, in file order, each once
  // Whether a true-colour image's PLTE (a suggested palette, optional like
  // an ancillary chunk) stays where the rows are kept; never in kept, which
  // lists ancillary chunks only.
  bool suggestedPalette = false;

  bool Keeps(const std::string& type) const;
  // The kept types as a comma-separated keep list ("" when none).
  std::string KeepList() const;
};

// formatMayChange: the image data is re-encoded by the engine rather than
// only recompressed.
ChunkChoice ChooseChunks(const PngFileScan& scan, const ChunkPolicy& policy, bool formatMayChange);
