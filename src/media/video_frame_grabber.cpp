#include "media/video_frame_grabber.h"

#include "core/cancellation.h"
#include "media/decode_error.h"
#include "media/display_orientation.h"
#include "media/ffi/libav_handles.h"
#include "media/libav_support.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <QTransform>
#include <algorithm>

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

QImage grab(const std::filesystem::path &path, int maxLongEdge, double atSeconds, std::stop_token token)
{
    ffi::InputFormatPtr format;
    ffi::CodecContextPtr decoder;
    const AVStream *stream = nullptr;
    try {
        format = LibavSupport::openInput(path);
        stream = LibavSupport::videoStream(format.get());
        if (!stream)
            return {};
        decoder = LibavSupport::openDecoder(stream);
    } catch (const DecodeError &) {
        return {};
    }
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (format->streams[i] != stream)
            format->streams[i]->discard = AVDISCARD_ALL;
    }

    double seconds = atSeconds;
    if (format->duration > 0)
        seconds = std::min(seconds, double(format->duration) / AV_TIME_BASE / 2);
    const int64_t target = av_rescale_q(int64_t(seconds * AV_TIME_BASE), AV_TIME_BASE_Q, stream->time_base)
        + (stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0);
    if (seconds > 0)
        av_seek_frame(format.get(), stream->index, target, AVSEEK_FLAG_BACKWARD);

    ffi::FramePtr frame = decodeFrameNear(format.get(), stream->index, decoder.get(), target, token);
    if (!frame || frame->width <= 0 || frame->height <= 0)
        return {};

    // Scale while converting: the long edge of the stored frame goes to maxLongEdge.
    const int w = frame->width;
    const int h = frame->height;
    const double scale = maxLongEdge > 0 ? std::min(1.0, double(maxLongEdge) / std::max(w, h)) : 1.0;
    const int outW = std::max(1, int(w * scale + 0.5));
    const int outH = std::max(1, int(h * scale + 0.5));
    ffi::SwsPtr sws(sws_getContext(w, h, AVPixelFormat(frame->format), outW, outH, AV_PIX_FMT_RGB24, SWS_AREA, nullptr,
                                   nullptr, nullptr));
    if (!sws)
        return {};
    QImage image(outW, outH, QImage::Format_RGB888);
    if (image.isNull())
        return {};
    uint8_t *dst[4] = {image.bits(), nullptr, nullptr, nullptr};
    int dstStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    sws_scale(sws.get(), frame->data, frame->linesize, 0, h, dst, dstStride);

    const DisplayOrientation orientation = DisplayOrientation::of(stream);
    if (orientation.mirrored)
        image = image.mirrored(true, false);
    // The matrix turns counter-clockwise; QTransform::rotate turns clockwise on screen.
    if (orientation.rotation != 0)
        image = image.transformed(QTransform().rotate(360 - orientation.rotation));
    return image;
}

} // namespace vorlane::VideoFrameGrabber
