#pragma once

#include <vips/vips8>

#include <filesystem>
#include <optional>
#include <stop_token>

namespace vorlane::RawDecoder {

// A usable picture out of a camera RAW file, or nothing when neither an embedded preview nor the sensor
// data can be decoded (the caller may then try the file as an ordinary image).
//
// Choice: the largest embedded preview that decodes (exiv2's PreviewManager lists them), when its long
// edge covers maxDimension or it is as large as the sensor picture; otherwise the sensor data through
// LibRaw (a half-size decode, which skips demosaicing, when that still covers maxDimension); when LibRaw
// cannot decode it either, the largest preview after all. A RAW whose bytes are really a plain photo
// format (a JPEG named .nef) gives nothing here, so that the ordinary decoder reads it whole.
//
// The result is upright (the RAW's own EXIF orientation is applied to a preview; LibRaw applies it to the
// sensor picture), 8-bit sRGB, in memory, with its long edge at most maxDimension when one is given.
// Any thread, several at once; costs one preview decode (tens of ms) or one LibRaw decode (seconds at
// full size). Throws only CancelledError, when the token is stopped.
std::optional<vips::VImage> decode(const std::filesystem::path &path, std::optional<int> maxDimension,
                                   std::stop_token token = {});

// The largest embedded preview of a RAW that decodes, upright, its long edge at most maxDimension (0 = as
// stored): what the preview shows at once while the full decode runs. Nothing when the file has none (or is
// not a RAW by its content). Costs one preview decode. Throws only CancelledError.
std::optional<vips::VImage> embeddedPreview(const std::filesystem::path &path, int maxDimension,
                                            std::stop_token token = {});

} // namespace vorlane::RawDecoder
