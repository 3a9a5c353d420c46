// The size estimate and the output buffer.
//
// The estimate is an upper bound of the stored file — every byte of the
// image plus framing, kept chunks, palette and 2111 bytes of slack for the
// fixed chunks — so a buffer of that size always holds the stored fallback,
// and a compressed pass larger than it is not worth keeping.
#pragma once

#include <cstdint>

#include "engine/EngineContext.h"

// Upper bound of the stored file for the resolved colour type, bit depth and
// palette.  A stored row longer than 65,535 bytes needs a block header for
// each further 65,535, which the bound includes.
int64_t SizeEstimate(const EngineContext& ctx);

// Caps kbufsize at the estimate and allocates kbuf when the caller gave
// none.  False after "\rmalloc failed (gpo->kbuf)".
bool PrepareOutputBuffer(EngineContext& ctx);

// Grows a buffer smaller than the estimate before the stored file is
// written.  False after "\r!malloc failed (gpo->kbuf)".
bool PrepareStoredBuffer(EngineContext& ctx);
