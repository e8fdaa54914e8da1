#pragma once

#include <cstdint>
#include <vector>

namespace vorlane {

// 8-bit RGB pixels, 3 bytes a pixel, rows packed top to bottom.
struct RgbPixels
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// 8-bit grey (luma) pixels, a byte a pixel, rows packed top to bottom.
struct GreyPixels
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> luma;
};

} // namespace vorlane
