// How many images a GIF file holds, so that an animation is never reduced
// to its first frame without the user asking.  The file is outside input:
// the walk follows the block structure with every length checked, and stops
// at the trailer, at an unknown block or at the end of the bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// Image descriptors met before the walk stops; 0 when data is not a GIF.
int CountGifFrames(const uint8_t* data, size_t size);
