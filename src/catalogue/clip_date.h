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

// The recording date a clip carries, its first bytes deciding the container: clipCreationTime for QuickTime
// and MP4; for an AVI, the IDIT chunk of its header list ("MON SEP 10 20:52:00 2012", or "2012/09/10
// 20:52:00") that still cameras write, which is the camera's wall-clock time, local like an EXIF date, to the
// second. Nothing for an AVI without the chunk, or whose text is not one whole, valid date.
//
// An AVI is as untrusted as any file: every chunk must fit its list and the file, the walk looks at a bounded
// number of chunk headers and skips the media by its size, and no more than a line of the date is read.
// Thread-safe.
std::optional<QDateTime> clipRecordingTime(const std::filesystem::path &path);

} // namespace vorlane
