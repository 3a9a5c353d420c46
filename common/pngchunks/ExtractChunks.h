// ExtractChunks picks the ancillary chunks of a PNG file to carry into the
// saved file and files them, in file order, straight into an encoding job's
// kept-chunk fields: chunks met after IHDR and before PLTE go before the
// palette, those after PLTE and before the first IDAT after it, the rest
// after the image data.  Along the way it reports what the save needs to
// know of the source image: colour type, bit depth, palette (from PLTE) and
// background colour (from bKGD).
//
// The keep list says which chunk types are taken: "ALL" in any letter case or
// exactly "1" takes every ancillary chunk; any other text is a comma-separated
// list of four-character types ("vpAg,gIFx"), and entries of any other length
// match nothing; null or "" takes nothing and leaves the job alone.  tRNS is
// never taken (the encoder writes its own), nor are the critical chunks.
//
// The file is outside input: the walk stops at the first chunk whose stated
// length runs past the end of the bytes, keeps at most kMaxExtractedChunks,
// copies at most as many PLTE entries as the job's palette has room for, and
// refuses a bKGD that does not fit the image.
#pragma once

#include <cstddef>
#include <cstdint>

struct EncodeJob;

namespace chunks {

// Room of the pointer array the caller gives the job before extracting.
constexpr int kMaxExtractedChunks = 256;

// Fills from the PNG bytes `png` of `size` bytes:
//  - job.chunkpre/chunkmid/chunkpost/chunkcount and job.chunks (which must
//    have room for kMaxExtractedChunks pointers, or be null to keep nothing;
//    allocate it with AllocateChunkArray, as ChunkList::Flatten frees it);
//    the kept pointers point into `png`;
//  - job.bkgd: 0xFF000000 | 0xRRGGBB when the file has a usable bKGD and is
//    at most 8 bits deep, else 0;
//  - job.pal and job.palcount from PLTE, for a palette image when job.pal is
//    set.  The palette's room is job.palcount entries, or 256 when palcount
//    is 0 on entry;
//  - sourceColorType and sourceBitDepth from IHDR (untouched when the bytes
//    are no PNG).
void ExtractChunks(EncodeJob& job, uint8_t* png, size_t size, const char* keepList,
                   uint8_t& sourceColorType, uint8_t& sourceBitDepth);

}  // namespace chunks
