#pragma once

struct AVStream;

namespace vorlane {

// Which way a video is meant to be shown, read from a stream's display matrix and written back to the copy's
// stream unchanged while the frames themselves stay in stored orientation. Pure; any thread.
struct DisplayOrientation
{
    int rotation = 0;      // av_display_rotation_get's angle rounded to a quarter turn, in [0, 360)
    bool mirrored = false; // the matrix also flips the picture horizontally

    bool operator==(const DisplayOrientation &) const = default;

    static DisplayOrientation of(const AVStream *stream);
    // Adds this orientation as the stream's display matrix; call before avformat_write_header.
    void applyTo(AVStream *stream) const;
};

} // namespace vorlane
