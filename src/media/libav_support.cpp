#include "media/libav_support.h"

#include "media/decode_error.h"

extern "C" {
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

ffi::InputFormatPtr openInput(const std::filesystem::path &path, bool headerOnly)
{
    silenceLogging();
    AVFormatContext *raw = nullptr;
    int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (rc < 0) // avformat_open_input frees the context itself on failure
        throw DecodeError(errorText(rc));
    ffi::InputFormatPtr input(raw);
    if (headerOnly)
        return input;
    rc = avformat_find_stream_info(input.get(), nullptr);
    if (rc < 0)
        throw DecodeError(errorText(rc));
    return input;
}

AVStream *videoStream(const AVFormatContext *input)
{
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        AVStream *stream = input->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return stream;
    }
    return nullptr;
}

ffi::CodecContextPtr openDecoder(const AVStream *input, int threads, int threadType)
{
    const AVCodecParameters *parameters = input->codecpar;
    const AVCodec *decoder = avcodec_find_decoder(parameters->codec_id);
    const char *kind = av_get_media_type_string(parameters->codec_type);
    if (!decoder)
        throw DecodeError(std::string("no decoder for ") + (kind ? kind : "the") + " codec "
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
        throw DecodeError(errorText(rc));
    return context;
}

void silenceLogging()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

} // namespace vorlane::LibavSupport
