// The damage a source PNG may carry, and what --fix does about it.
//
// A chunk whose CRC is wrong, a file without IEND, bytes after IEND, and an
// image data stream whose Adler-32 does not match its rows each mean the
// bytes may have changed on the way.  Without --fix the file is refused with
// the reason; with it, the checksums are set to what the bytes hold (in the
// file's bytes in memory, so the output carries sound ones) and the notes
// say what was changed.
#pragma once

#include <string>

#include "cli/SourceImage.h"

// Wrong CRCs, a missing IEND and data after IEND.  False with the reason
// when one is found without fix; with fix, the CRCs are rewritten.
bool CheckChunkIntegrity(SourceImage& image, bool fix, std::string& error);

// A wrong Adler-32 under right CRCs, in the image data or an animation
// frame.  False with the reason without fix; with fix, when the rows
// inflate completely, the checksum (and the CRCs of the chunks it lies in)
// are rewritten and image.repaired is set.
bool CheckStreamChecksums(SourceImage& image, bool fix, std::string& error);
