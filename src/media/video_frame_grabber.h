#pragma once

#include <QImage>

#include <filesystem>
#include <stop_token>

namespace vorlane::VideoFrameGrabber {

// One frame of a video, about atSeconds in (or the middle of a shorter clip), turned upright by the stream's
// display matrix, its long edge at most maxLongEdge. A null image when the file has no decodable video
// stream. Any thread; costs one seek and the decode of a group of pictures. Throws only CancelledError.
QImage grab(const std::filesystem::path &path, int maxLongEdge, double atSeconds = 1.0, std::stop_token token = {});

// As grab(), but the first frame decoded once the seek has landed: the keyframe at or before atSeconds,
// without decoding on to that time (a phone's keyframes are a second or two apart: decoding up to the time
// costs tens of frames). For thumbnails, where a frame near the start is as good as any.
QImage grabNear(const std::filesystem::path &path, int maxLongEdge, double atSeconds = 1.0, std::stop_token token = {});

} // namespace vorlane::VideoFrameGrabber
