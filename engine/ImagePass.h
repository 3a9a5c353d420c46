// One pass over the image: the PNG stream is opened, every row is reported,
// checked against the stop request and fed through the filters into the
// current byte sink.  In a compression pass the last row closes the stream,
// leaving a complete PNG in the output buffer.
#pragma once

#include "engine/EngineContext.h"

// The working colour type and bit depth can be written.  False after
// printing which one cannot.
bool CheckPassFormat(EngineContext& ctx);

// Encodes the image once.  False when the run fails (format, allocation,
// or poll(1) asking to stop).
bool EncodeImagePass(EngineContext& ctx);

// Copies every block's code lengths into the snapshot, one byte each.
void TakeSnapshot(EngineContext& ctx);
