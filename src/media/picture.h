#pragma once

#include <QImage>

#include <filesystem>
#include <stop_token>

namespace vorlane::Picture {

// The pictures the interface shows, as QImage: the decoding libraries stay behind this header.

// A still picture or camera RAW upright, its long edge at most maxLongEdge (0 = full size), decoded as the
// copies decode it (ImageDecoder). Any thread. Throws DecodeError with a readable reason, or CancelledError
// once the token is stopped.
QImage still(const std::filesystem::path &path, int maxLongEdge, std::stop_token token = {});

// True for a picture that is a camera RAW's embedded preview (still or rawPreview chose it).
bool isEmbeddedPreview(const QImage &picture);

// The largest picture embedded in a camera RAW, upright, at most maxLongEdge: shown while the RAW itself is
// decoded. A null image for a file that is not a RAW or has none. Throws only CancelledError.
QImage rawPreview(const std::filesystem::path &path, int maxLongEdge, std::stop_token token = {});

// A frame of a video about atSeconds in, upright, its long edge at most maxLongEdge; a null image when the
// file has no decodable video stream. Any thread. Throws only CancelledError.
QImage videoFrame(const std::filesystem::path &path, int maxLongEdge, double atSeconds = 1.0,
                  std::stop_token token = {});
// The same for a thumbnail: the keyframe at or before atSeconds, without decoding on to that time.
QImage videoKeyframe(const std::filesystem::path &path, int maxLongEdge, double atSeconds = 1.0,
                     std::stop_token token = {});

} // namespace vorlane::Picture
