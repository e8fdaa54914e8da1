#pragma once

// vips first: GLib's headers must not meet Qt's keyword macros.
#include <vips/vips8>

#include <filesystem>
#include <optional>
#include <stop_token>

namespace vorlane::VideoFrameGrabber {

// One frame of a video, about atSeconds in (or the first frame of a shorter clip), turned upright by the
// stream's display matrix, 8-bit sRGB, its long edge at most maxLongEdge. Nothing when the file has no
// decodable video stream. Any thread; costs one seek and the decode of a group of pictures.
std::optional<vips::VImage> grab(const std::filesystem::path &path, int maxLongEdge, double atSeconds = 1.0,
                                 std::stop_token token = {});

} // namespace vorlane::VideoFrameGrabber
