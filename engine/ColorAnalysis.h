// Colour analysis and reduction: which colour type and bit depth an image
// takes, its transparent key colour, and the grey ramp of colour type 0.
//
// Before anything is compressed the engine decides how the pixels are
// stored.  Two scans gather three facts (does the image need a full alpha
// channel, is it grey, does it fit a palette) and the one fully transparent
// colour that a tRNS key can express instead of alpha.  From those facts an
// automatic colour type is chosen, and a requested one that cannot hold the
// image is refused with a message naming the type that would.  Grey images
// then take the smallest bit depth whose even ramp holds every level used.
#pragma once

struct EngineContext;

// Analysis flags.
constexpr int kNeedsAlpha = 1;     // a pixel is neither opaque nor the one transparent key colour
constexpr int kNotGrey = 2;        // a pixel (or the bKGD colour) is not grey
constexpr int kTooManyColors = 4;  // more than 256 colours, or 256 and a foreign bKGD colour

// Scans the image (poll(1) per row), fills the analysis flags, colour count,
// first-appearance palette and key; resolves an automatic colour type and
// checks a requested one.  False after printing the reason (or on abort).
bool ScanColors(EngineContext& ctx);

// Colour type 0: bit depth from the grey levels used and the grey ramp
// palette with the key in its level's place.
bool ReduceGrey(EngineContext& ctx);

// Colour types 2, 4 and 6 (and any other value): bit depth 8, or failure
// when 1, 2 or 4 was requested.
bool ReduceTrueColor(EngineContext& ctx);
