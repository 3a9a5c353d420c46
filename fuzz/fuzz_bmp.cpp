// The BMP renderer over arbitrary bytes (see FormatFuzz.h for what is checked).
#include "fuzz/FormatFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return format_fuzz::Run(RenderBmp, data, size);
}
