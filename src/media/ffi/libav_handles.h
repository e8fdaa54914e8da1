#pragma once

// Owning handles for the FFmpeg C objects. Ownership only: each handle frees with the library's own
// function, so every exit path (error, cancellation) releases everything.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <type_traits>

namespace vorlane::ffi {

// Frees with Free, which FFmpeg declares taking either the object (sws_freeContext) or the address of the
// caller's pointer, which it then clears (av_frame_free).
template<auto Free>
struct Deleter
{
    template<typename T>
    void operator()(T *object) const
    {
        if constexpr (std::is_invocable_v<decltype(Free), T **>)
            Free(&object);
        else
            Free(object);
    }
};

// A muxer from avformat_alloc_output_context2 and the file it opened, if still open.
inline void freeOutput(AVFormatContext *context)
{
    if (context->pb && !(context->oformat->flags & AVFMT_NOFILE))
        avio_closep(&context->pb);
    avformat_free_context(context);
}

using InputFormatPtr = std::unique_ptr<AVFormatContext, Deleter<avformat_close_input>>;
using OutputFormatPtr = std::unique_ptr<AVFormatContext, Deleter<freeOutput>>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, Deleter<avcodec_free_context>>;
using FramePtr = std::unique_ptr<AVFrame, Deleter<av_frame_free>>;
using PacketPtr = std::unique_ptr<AVPacket, Deleter<av_packet_free>>;
using SwsPtr = std::unique_ptr<SwsContext, Deleter<sws_freeContext>>;
using SwrPtr = std::unique_ptr<SwrContext, Deleter<swr_free>>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, Deleter<av_audio_fifo_free>>;

} // namespace vorlane::ffi
