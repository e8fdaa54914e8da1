#pragma once

#include "media/display_orientation.h"

#include <QSize>

#include <filesystem>
#include <optional>

namespace vorlane::VideoProbe {

// How a video file's video stream (LibavSupport::videoStream) is stored and meant to be shown.
struct Shape
{
    DisplayOrientation orientation;
    QSize stored; // frame size as stored, before any turn
    qint64 durationMs = 0; // the container's length, 0 when it does not say
};

// Reads only the container's header: about a millisecond even for a long file. Nothing when the file has no
// video stream or cannot be opened. Any thread.
std::optional<Shape> shape(const std::filesystem::path &path);

} // namespace vorlane::VideoProbe
