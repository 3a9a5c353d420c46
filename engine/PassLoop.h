// The pass loop: the image is encoded again and again, each pass with the
// Huffman code lengths the previous pass measured for each block, until a
// pass saves nothing more, a state repeats, 1024 passes have been judged or
// the caller asks to finish.
//
// Each pass's starting tables are snapshotted.  The best pass's snapshot (and
// palette, whose order may change between passes) is kept; when the loop
// must stop on a pass worse than the best, the best tables are restored and
// one final pass reproduces the best file.  A fingerprint of the tables
// (and palette) with the file size detects a state that repeats, where
// further passes would only cycle.
#pragma once

#include "engine/EngineContext.h"

// Sets up the split pre-pass (when block splitting is asked for) or the
// first compression pass.  False after "\rmalloc failed".
bool SetUpPasses(EngineContext& ctx);

// Runs the passes; encodePass feeds one whole pass (the image's rows, or a
// byte stream's).  False when the run fails; true with the last pass's file
// in the output buffer.
using PassFeeder = bool (*)(EngineContext& ctx);
bool RunPassLoop(EngineContext& ctx, PassFeeder encodePass);

// The fingerprint of the current snapshot (and palette for colour type 3).
uint32_t PassFingerprint(const EngineContext& ctx);

// Judges the pass just ended (its size is the output position, its gain the
// saved bits): records it, keeps the best tables, and decides whether
// another pass runs.  A pass worse than the best that cannot lead anywhere
// new restores the best tables and asks for one final pass.
enum class PassVerdict { Continue, Stop };
PassVerdict JudgePass(EngineContext& ctx);
