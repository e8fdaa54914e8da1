#pragma once

#include "copies/stream_transcoder.h"

#include <cstdint>

namespace vorlane {

// Decodes the source's first audio stream, converts whatever it carries (mono, 5.1, 48 kHz, 8-bit,
// planar or packed, integer or float) to stereo planar float at 44.1 kHz, cuts it into the 1024-sample
// frames the AAC encoder wants and encodes it into a new stream of the muxer at audioBitrate. The first
// sample keeps its source time (shifted by the file's start like the video), later ones follow on by count.
class AudioTranscoder final : public StreamTranscoder
{
public:
    // Opens the decoder and the encoder and output stream (CopyError on failure).
    // bitRate: the AAC rate, VideoCompressor::audioBitrate unless a smaller copy is being made.
    AudioTranscoder(const AVStream *input, AVFormatContext *muxer, int64_t startTime, int64_t bitRate);

private:
    void consume(AVFrame *decoded) override;
    void decoderDrained() override;
    void convert(const AVFrame *decoded);
    void encodeQueued(bool final);

    ffi::SwrPtr m_resampler;
    ffi::AudioFifoPtr m_queue;
    ffi::FramePtr m_converted;
    // The resampler's input shape, so a stream that changes format midway gets a new one.
    int m_inFormat = -1;
    int m_inRate = 0;
    int m_inChannels = 0;
    uint64_t m_inMask = 0;
    int64_t m_startOffset = 0;     // in the input stream's time base
    int64_t m_nextPts = INT64_MIN; // next encoder frame, in samples at 44.1 kHz
};

} // namespace vorlane
