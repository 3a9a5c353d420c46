// Format recognition by the first bytes of the data.  The tests run in a fixed
// order and the first that matches decides, so data that could pass for two
// formats always goes to the earlier one (TGA, with the weakest signature,
// comes last).  The size query and the renderer both use this one table.
#pragma once

#include <cstddef>
#include <cstdint>

enum class ImageFormat { Unknown, Png, Jpeg, Gif, Cel, Bmp, Pcx, Dds, Tga };

ImageFormat DetectFormat(const uint8_t* data, size_t length);
