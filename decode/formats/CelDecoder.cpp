// Not built yet: the format is recognised, and rendering it fails with -1
// until its decoder lands.
#include "decode/DecodeFrame.h"

int RenderCel(const uint8_t*, size_t, const DecodeFrame&) { return -1; }
