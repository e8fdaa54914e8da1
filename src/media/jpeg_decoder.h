#pragma once

#include "media/rgb_pixels.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string_view>

namespace vorlane::JpegDecoder {

inline constexpr int maxScans = 100;
inline constexpr long maxWarnings = 100;
inline constexpr int64_t maxPixels = 400'000'000;
inline constexpr int64_t maxCoefficientBytes = int64_t(600) << 20;

// Decodes a JPEG at the smallest of libjpeg-turbo's DCT scales (n/8 for n = 1…8) that still gives at least
// minWidth x minHeight pixels: the inverse DCT itself does most of the shrinking, at a fraction of the cost
// of decoding in full and resampling after. For a 6000 x 4000 photo copied at 1920 px that is 3/8
// (2250 x 1500), where libvips' loader can only shrink by 2 (3000 x 2000).
//
// Nothing when the file is a JPEG this path leaves to the general decoder: CMYK or YCCK, or one carrying
// an ICC profile (whose colours the general decoder converts to sRGB). Throws DecodeError for a file that
// is damaged or ends early, CancelledError once the token is stopped. Any thread.
//
// A hostile file cannot hold a thread: the token is checked between scans and rows of every scan (libjpeg's
// progress monitor), a file of more than maxScans scans or maxWarnings corrupt-data warnings fails, and the
// size is checked on the header before anything is allocated: at most maxPixels, and for a progressive file,
// whose coefficients are all held until its last scan, at most maxCoefficientBytes of them.
std::optional<RgbPixels> decodeScaled(const std::filesystem::path &path, int minWidth, int minHeight,
                                      const std::stop_token &token);
// The same for a JPEG held in memory (a camera RAW's embedded preview).
std::optional<RgbPixels> decodeScaled(std::string_view bytes, int minWidth, int minHeight,
                                      const std::stop_token &token);

// A JPEG's luma alone, as stored (no orientation applied), at the smallest scale n/8 that gives at least
// minLongEdge on the long edge and is at least minEighths/8: the colour planes are neither transformed nor
// converted, so this costs well under an RGB decode at the same scale. Nothing for a CMYK or YCCK file.
// Throws as decodeScaled does.
std::optional<GreyPixels> decodeLuma(const std::filesystem::path &path, int minLongEdge, int minEighths,
                                     const std::stop_token &token);

} // namespace vorlane::JpegDecoder
