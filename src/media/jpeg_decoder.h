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
inline constexpr int64_t maxCoefficientBytes = int64_t(600) << 20;
inline constexpr int64_t maxDecodedBytes = int64_t(256) << 20;

// Decodes a JPEG at the smallest of libjpeg-turbo's DCT scales (n/8 for n = 1…8) that still gives at least
// minWidth x minHeight pixels: the inverse DCT itself does most of the shrinking, at a fraction of the cost
// of decoding in full and resampling after. For a 6000 x 4000 photo copied at 1920 px that is 3/8
// (2250 x 1500), where libvips' loader can only shrink by 2 (3000 x 2000). Where 1/8 still gives more than
// twice what was asked on each side (a 65,000 px wide panorama), the rows are averaged k x k pixels as
// they leave libjpeg, by the largest whole k that still covers minWidth x minHeight (the last block of a
// row or column averages what is left): the picture held is then under twice the size asked for on each
// side, whatever the file's size, and the full-size or even the 1/8 raster never exists.
//
// Nothing when the file is a JPEG this path leaves to the general decoder: CMYK or YCCK, or one carrying
// an ICC profile (whose colours the general decoder converts to sRGB). Throws DecodeError for a file that
// is damaged or ends early (Undecodable), or one over a memory budget (TooLarge); CancelledError once the
// token is stopped. Any thread.
//
// A hostile file cannot hold a thread: the token is checked between scans and rows of every scan (libjpeg's
// progress monitor), a file of more than maxScans scans or maxWarnings corrupt-data warnings fails, and so
// does one at its first sign of ending early. Memory is checked on the header before anything is allocated:
// a baseline (one-scan) file streams whatever its size, up to libjpeg's 65,500 pixels a side (a larger one
// is TooLarge); a progressive one, whose coefficients are all held until its last scan, may hold at most
// maxCoefficientBytes of them; the picture returned may take at most maxDecodedBytes.
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

// The header's part of the checks above, for a JPEG that another decoder (libvips') is about to read: throws
// DecodeError (TooLarge) when a decode of it would take more memory than allowed, whatever the size it is
// decoded at. Says nothing about a damaged header: the decoder that reads the file reports that. Costs a
// read of the header. Any thread.
void checkHeader(const std::filesystem::path &path);

// Whether a file whose bytes are a JPEG does not end at its end-of-image marker (zero padding after it
// allowed), read from its last bytes alone: a file cut short in the copy, or one carrying more after its
// picture (a phone's motion photo appends its clip), which only a decode tells apart. False for any other
// file and for one that cannot be read.
bool mayBeCutShort(const std::filesystem::path &path);
void checkHeader(std::string_view bytes);

} // namespace vorlane::JpegDecoder
