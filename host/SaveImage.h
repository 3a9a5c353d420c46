// The host's image as the engine's 32-bit pixels: one buffer from the
// host's buffer suite, filled by the host itself in one request (RGB, the
// planes interleaved through planeMap) or as palette indices replaced by
// the palette's colours (Indexed).
#pragma once

#include <cstdint>

#include "engine/EncodeJob.h"
#include "host/HostServices.h"

namespace host {

// The buffers of one save, given back whatever happens: the pixel and
// palette buffers to the host's buffer suite, the engine's output buffer,
// the job's chunk pointer array and the chunk store's block.
class SaveBuffers {
 public:
  explicit SaveBuffers(HostContext& context) : m_context(context) {}
  ~SaveBuffers();
  SaveBuffers(const SaveBuffers&) = delete;
  SaveBuffers& operator=(const SaveBuffers&) = delete;

  EncodeJob job{};
  char* pixels = nullptr;
  char* palette = nullptr;
  uint32_t localPalette[256] = {};

 private:
  HostContext& m_context;
};

// Room of every palette the save hands to the chunk model and the dialogs,
// which may add a background colour after the last entry.
inline constexpr int kPaletteRoom = 256;

// Steps 5 to 9 of a save: reads the image into a new pixel buffer and fills
// the job (image, palette, the options' defaults, the message callback).
// Sets the result and returns false when a buffer cannot be had; a failed
// pixel request leaves the host's code in the result and returns true.
bool ReadHostImage(HostContext& context, SaveBuffers& save);

}  // namespace host
