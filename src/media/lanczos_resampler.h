#pragma once

#include "media/rgb_pixels.h"

#include <stop_token>

namespace vorlane::LanczosResampler {

// Scales a picture down (or up) to exactly width x height with a Lanczos-3 kernel stretched by the
// scale, so a shrink averages every source pixel it covers: vertically first, then each new row
// horizontally, through one row of intermediate, in 14-bit fixed point. Pixel centres line up
// ((x + 0.5) * scale - 0.5) and the kernel is cut and renormalised at the picture's edges. The sums run
// in SSE2 registers, eight 16-bit channels at a time; nothing is allocated per pixel.
// Any thread. Throws CancelledError once the token is stopped (checked every few dozen rows).
RgbPixels resample(const RgbPixels &source, int width, int height, const std::stop_token &token = {});

} // namespace vorlane::LanczosResampler
