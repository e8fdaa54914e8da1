#pragma once

#include <vips/vips8>

#include <filesystem>
#include <stop_token>

namespace vorlane::ImageDecoder {

// The one way still pictures are decoded: copies, thumbnails and the full-window preview all come here.
// Returns the file's picture upright (EXIF Orientation applied to the pixels; for HEIF the container's
// transform, which libheif applies, and never the EXIF tag on top of it), 8-bit sRGB, rendered into
// memory, its long edge at most maxLongEdge (0 = full size) with ImageGeometry::fitWithin's rounding.
//
// A camera RAW goes to RawDecoder; when that gets nothing, the file is tried as an ordinary picture only if
// its bytes are a plain photo format (never through libvips' TIFF loader, which would return a RAW's tiny
// first IFD). Everything else is decoded by libvips with shrink-on-load, inside a pixel budget.
//
// Any thread, several at once; memory stays bounded (decompression bombs fail on their header). Throws
// DecodeError with a readable reason (unreadable, not a picture, truncated, unsupported RAW; or of
// kind TooLarge, over a memory budget), or CancelledError once the token is stopped.
vips::VImage decode(const std::filesystem::path &path, int maxLongEdge, std::stop_token token = {});

} // namespace vorlane::ImageDecoder
