// Palette building and ordering for colour type 3.
//
// A palette image needs at most 256 entries holding every pixel colour, a
// bit depth that can index them (counting a bKGD entry the writer may add)
// and an order that keeps the file small.  The palette is generated from the
// image and sorted by use, or taken from the job and stripped of unused
// entries, or taken exactly as given ("/kp").  Entries with transparency go
// first so that tRNS stays short; between passes, entries whose literals got
// shorter codes move to lower indices.
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
