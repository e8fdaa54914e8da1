#pragma once

#include <cstdint>

namespace vorlane {

// A finished copy: its size in pixels (for a video the coded frame, in stored orientation, as ffprobe
// reports width and height; a rotation travels in the display matrix) and on disk.
struct CopyInfo
{
    int width = 0;
    int height = 0;
    int64_t bytes = 0;
    int quality = 0; // a still's JPEG rung, 85 ... 40; 0 for a video
    int64_t videoBitrate = 0;        // a video's H.264 rate, bits per second; 0 for a still
    int64_t audioBitrate = 0;        // its AAC rate; 0 without sound
    bool largerThanOriginal = false; // a video whose smallest copy still has more bytes than its original

    bool operator==(const CopyInfo &) const = default;
};

} // namespace vorlane
