#pragma once

#include <QDateTime>

#include <filesystem>
#include <optional>

namespace vorlane {

// The recording date a QuickTime or MP4 clip (.mov, .mp4, .m4v, .3gp) carries: the creation time of its
// movie header ("mvhd" in "moov"), which cameras and phones set when they record and which survives a copy
// of the card, unlike the file's own times. UTC, to the second. Nothing for other containers, a clip without
// a movie header, or a time of 0 (not set).
//
// The file is untrusted: box sizes are checked against the file and against each other, and the walk reads
// at most a few hundred box headers (the movie box may come after the media data; it is found by skipping,
// never by reading the media). Thread-safe.
std::optional<QDateTime> clipCreationTime(const std::filesystem::path &path);

} // namespace vorlane
