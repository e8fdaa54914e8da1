#pragma once

#include "copies/stream_transcoder.h"
#include "media/display_orientation.h"

#include <cstdint>

namespace vorlane {

// x264 speed preset of the copies. "veryfast" keeps a 1080p30 source at about 1.8x real time on two cores
// (bench/video_bench.sh) while still using CABAC, B-frames and sub-pixel motion search; at a fixed 2 Mbit/s
// the slower presets buy a little sharpness in a preview copy for a multiple of the time, and copies run in
// the background beside the browsing user.
inline constexpr const char *x264Preset = "veryfast";

// Decodes the source's video stream, scales every frame to the copy's coded size (stored orientation) and
// encodes it with libx264 into a new stream of the muxer. Timestamps are the source's, shifted by the
// file's start so that audio and video keep their offset; variable frame rates pass through unchanged.
// Decoder and x264 run `threads` threads of their own.
class VideoTranscoder final : public StreamTranscoder
{
public:
    // Opens the decoder and the encoder and output stream (CopyError on failure). bitRate is the copy's
    // average video bit rate; startTime is the first timestamp of the file, in AV_TIME_BASE units.
    VideoTranscoder(const AVStream *input, AVFormatContext *muxer, int width, int height,
                    DisplayOrientation orientation, int threads, int64_t bitRate, int64_t startTime);

private:
    void consume(AVFrame *decoded) override;
    // Fails (ReadFailed) when not a single frame could be decoded.
    void decoderDrained() override;

    ffi::SwsPtr m_scaler;
    ffi::FramePtr m_scaled;
    int64_t m_startOffset = 0; // in the input stream's time base
    int64_t m_lastPts = INT64_MIN;
    int64_t m_frames = 0;
};

} // namespace vorlane
