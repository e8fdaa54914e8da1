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

ffi::CodecContextPtr openDecoder(const AVStream *input, const char *kind, int threads, int threadType)
{
    const AVCodecParameters *parameters = input->codecpar;
    const AVCodec *decoder = avcodec_find_decoder(parameters->codec_id);
    if (!decoder)
        throw VideoCompressor::VideoCompressError(VideoCompressor::CompressError::ReaderCreationFailed,
                                                  std::string("reader: no decoder for ") + kind + " codec "
                                                      + avcodec_get_name(parameters->codec_id));
    ffi::CodecContextPtr context(avcodec_alloc_context3(decoder));
    if (!context)
        throw std::bad_alloc();
    int rc = avcodec_parameters_to_context(context.get(), parameters);
    if (rc >= 0) {
        context->pkt_timebase = input->time_base;
        context->thread_count = threads;
        if (threadType)
            context->thread_type = threadType;
        rc = avcodec_open2(context.get(), decoder, nullptr);
    }
    if (rc < 0)
        throw VideoCompressor::VideoCompressError(VideoCompressor::CompressError::ReaderCreationFailed,
                                                  "reader: " + errorText(rc));
    return context;
}

void silenceLogging()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

} // namespace vorlane::LibavSupport
