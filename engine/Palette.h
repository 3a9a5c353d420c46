// Palette building and ordering for colour type 3.
#pragma once

struct EngineContext;

// Generates, compacts or keeps the palette, counts the entries needed (with a
// bKGD entry), chooses the palette bit depth and puts non-opaque entries
// first.  False after printing the reason (or on abort).
bool BuildPalette(EngineContext& ctx);

// The reorder between passes: moves entries whose literals have shorter codes
// to lower indices.  Runs only when its conditions hold; returns true when it
// ran, after which the caller takes the table snapshot again.
bool ReorderPalette(EngineContext& ctx);
