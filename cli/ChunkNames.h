// Chunk type names as users type them after --keep and --strip.
//
// A chunk type is exactly four ASCII letters and case matters (the case of
// each letter carries a property bit), so "gama" is not gAMA.  A name that is
// not a chunk type is a usage error, with the registered type it probably
// meant when one differs only in letter case.
#pragma once

#include <string>
#include <vector>

// Four ASCII letters.
bool IsChunkType(const std::string& name);

// Splits a comma-separated list ("gAMA, cHRM") into names; spaces around a
// name are ignored.  False with "NAME: did you mean TYPE?" or "NAME: not a
// chunk type" for the first name that is not a chunk type, or when the list
// names nothing.
bool ParseChunkList(const std::string& text, std::vector<std::string>& names, std::string& error);

// One of the chunk types registered for PNG and its common extensions.
bool IsRegisteredType(const std::string& type);

// A chunk whose bytes describe how the image looks rather than what it is
// about: colour space and pixel size.  What `--strip safe` keeps.
bool IsAppearanceChunk(const std::string& type);

// A chunk whose content depends on the colour type, bit depth or palette
// order of the image data, so it is wrong once the engine has changed them.
bool DependsOnImageFormat(const std::string& type);

// A chunk of an animated PNG: the animation control, frame controls and frame
// data.  They are carried with the animation, never through the keep lists.
bool IsAnimationChunk(const std::string& type);
