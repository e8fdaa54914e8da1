#include "copies/video_frame_grabber.h"

#include "copies/cancellation.h"
#include "copies/display_orientation.h"
#include "copies/ffi/libav_handles.h"
#include "copies/libav_support.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <algorithm>
#include <vector>

namespace vorlane::VideoFrameGrabber {
namespace {

constexpr int kMaxPacketsToRead = 2000;

ffi::FramePtr decodeFrameNear(AVFormatContext *format, int streamIndex, AVCodecContext *decoder, int64_t target,
                              const std::stop_token &token)
{
    ffi::PacketPtr packet(av_packet_alloc());
    ffi::FramePtr frame(av_frame_alloc());
    ffi::FramePtr best;
    if (!packet || !frame)
        return nullptr;
    for (int read = 0; read < kMaxPacketsToRead; ++read) {
        checkCancellation(token);
        const int rc = av_read_frame(format, packet.get());
        const bool eof = rc < 0;
        if (!eof && packet->stream_index != streamIndex) {
            av_packet_unref(packet.get());
            continue;
        }
        avcodec_send_packet(decoder, eof ? nullptr : packet.get());
        av_packet_unref(packet.get());
        while (avcodec_receive_frame(decoder, frame.get()) == 0) {
            best.reset(av_frame_clone(frame.get()));
            av_frame_unref(frame.get());
            if (best && (best->best_effort_timestamp == AV_NOPTS_VALUE || best->best_effort_timestamp >= target))
                return best;
        }
        if (eof)
            break;
    }
    return best;
}

} // namespace

std::optional<vips::VImage> grab(const std::filesystem::path &path, int maxLongEdge, double atSeconds,
                                 std::stop_token token)
{
    LibavSupport::silenceLogging();
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return std::nullopt;
    ffi::InputFormatPtr format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return std::nullopt;
    const AVCodec *codec = nullptr;
    const int streamIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (streamIndex < 0 || !codec)
        return std::nullopt;
    AVStream *stream = format->streams[streamIndex];
    ffi::CodecContextPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0)
        return std::nullopt;
    decoder->thread_count = 1;
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return std::nullopt;

    double seconds = atSeconds;
    if (format->duration > 0)
        seconds = std::min(seconds, double(format->duration) / AV_TIME_BASE / 2);
    const int64_t target = av_rescale_q(int64_t(seconds * AV_TIME_BASE), AV_TIME_BASE_Q, stream->time_base)
        + (stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0);
    if (seconds > 0)
        av_seek_frame(format.get(), streamIndex, target, AVSEEK_FLAG_BACKWARD);

    ffi::FramePtr frame = decodeFrameNear(format.get(), streamIndex, decoder.get(), target, token);
    if (!frame || frame->width <= 0 || frame->height <= 0)
        return std::nullopt;

    // Scale while converting: the long edge of the stored frame goes to maxLongEdge.
    const int w = frame->width;
    const int h = frame->height;
    const double scale = maxLongEdge > 0 ? std::min(1.0, double(maxLongEdge) / std::max(w, h)) : 1.0;
    const int outW = std::max(1, int(w * scale + 0.5));
    const int outH = std::max(1, int(h * scale + 0.5));
    ffi::SwsPtr sws(sws_getContext(w, h, AVPixelFormat(frame->format), outW, outH, AV_PIX_FMT_RGB24, SWS_AREA,
                                   nullptr, nullptr, nullptr));
    if (!sws)
        return std::nullopt;
    std::vector<uint8_t> rgb(size_t(outW) * size_t(outH) * 3);
    uint8_t *dst[4] = {rgb.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {outW * 3, 0, 0, 0};
    sws_scale(sws.get(), frame->data, frame->linesize, 0, h, dst, dstStride);

    VipsImage *wrapped = vips_image_new_from_memory_copy(rgb.data(), rgb.size(), outW, outH, 3, VIPS_FORMAT_UCHAR);
    if (!wrapped)
        return std::nullopt;
    vips::VImage image(wrapped);
    image = image.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    const DisplayOrientation orientation = DisplayOrientation::of(stream);
    if (orientation.mirrored)
        image = image.flip(VIPS_DIRECTION_HORIZONTAL);
    switch ((360 - orientation.rotation) % 360) {
    case 90:
        image = image.rot90();
        break;
    case 180:
        image = image.rot180();
        break;
    case 270:
        image = image.rot270();
        break;
    default:
        break;
    }
    return image.copy_memory();
}

} // namespace vorlane::VideoFrameGrabber
