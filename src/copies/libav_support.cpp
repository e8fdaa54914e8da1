#include "copies/libav_support.h"

#include "copies/video_compressor.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <mutex>

namespace vorlane::LibavSupport {

std::string errorText(int code)
{
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buffer, sizeof buffer);
    return buffer;
}

void encodeAndWrite(AVCodecContext *encoder, const AVFrame *frame, AVFormatContext *muxer, AVStream *stream,
                    AVPacket *scratch, const char *prefix)
{
    const auto fail = [prefix](int code) {
        throw VideoCompressor::VideoCompressError(VideoCompressor::CompressError::ProcessingFailed,
                                                  prefix + errorText(code));
    };
    int rc = avcodec_send_frame(encoder, frame);
    if (rc < 0)
        fail(rc);
    for (;;) {
        rc = avcodec_receive_packet(encoder, scratch);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return;
        if (rc < 0)
            fail(rc);
        av_packet_rescale_ts(scratch, encoder->time_base, stream->time_base);
        scratch->stream_index = stream->index;
        rc = av_interleaved_write_frame(muxer, scratch); // takes the packet's reference
        if (rc < 0)
            fail(rc);
    }
}

void silenceLogging()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

} // namespace vorlane::LibavSupport
