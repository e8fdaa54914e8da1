#pragma once

#include <QImage>

#include <filesystem>
#include <stop_token>

namespace vorlane::EmbeddedThumbnail {

// The small picture a camera or phone stores beside a photo: the EXIF thumbnail of a JPEG or TIFF (about
// 160 x 120), the smallest preview of a RAW that is at least minLongEdge (or its largest when none is),
// upright by the photo's Orientation, trimmed to the photo's own proportions (cameras pad a 3:2 frame into
// a 4:3 thumbnail with black bars) and scaled to at most maxLongEdge; or a HEIF's thumbnail image, upright,
// at its own size (at most 1,024 px). Only the file's metadata is read, so
// it costs a millisecond or two where decoding the photo costs tens to hundreds.
// A null image when the file carries none, is not a still picture by its content, or the bytes do not
// decode. Any thread. Throws only CancelledError.
QImage read(const std::filesystem::path &path, int minLongEdge, int maxLongEdge, std::stop_token token = {});

} // namespace vorlane::EmbeddedThumbnail
