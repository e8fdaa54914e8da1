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
#include <limits>
#include <optional>

namespace vorlane::VideoFrameGrabber {
namespace {

constexpr int kMaxPacketsToRead = 2000;

// A file opened for its video stream alone: the other streams are discarded unread.
struct VideoInput
{
    ffi::InputFormatPtr format;
    const AVStream *stream = nullptr;
    ffi::CodecContextPtr decoder;
};

std::optional<VideoInput> openVideo(const std::filesystem::path &path)
{
    VideoInput input;
    try {
        input.format = LibavSupport::openInput(path);
        input.stream = LibavSupport::videoStream(input.format.get());
        if (!input.stream)
            return std::nullopt;
        input.decoder = LibavSupport::openDecoder(input.stream);
    } catch (const DecodeError &) {
        return std::nullopt;
    }
    for (unsigned i = 0; i < input.format->nb_streams; ++i) {
        if (input.format->streams[i] != input.stream)
            input.format->streams[i]->discard = AVDISCARD_ALL;
    }
    return input;
}

// seconds after the stream's start, in its time base.
int64_t timestampAt(const AVStream *stream, double seconds)
{
    return av_rescale_q(int64_t(seconds * AV_TIME_BASE), AV_TIME_BASE_Q, stream->time_base)
        + (stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0);
}

// The first frame at or after target (in the stream's time base), else the last one decoded before the
// packets or the file ran out; null when none decoded at all.
ffi::FramePtr decodeFrameNear(const VideoInput &input, int64_t target, const std::stop_token &token)
{
    ffi::PacketPtr packet(av_packet_alloc());
    ffi::FramePtr frame(av_frame_alloc());
    ffi::FramePtr best;
    if (!packet || !frame)
        return nullptr;
    for (int read = 0; read < kMaxPacketsToRead; ++read) {
        checkCancellation(token);
        const int rc = av_read_frame(input.format.get(), packet.get());
        const bool eof = rc < 0;
        if (!eof && packet->stream_index != input.stream->index) {
            av_packet_unref(packet.get());
            continue;
        }
        avcodec_send_packet(input.decoder.get(), eof ? nullptr : packet.get());
        av_packet_unref(packet.get());
        while (avcodec_receive_frame(input.decoder.get(), frame.get()) == 0) {
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

namespace {

QImage grabFrame(const std::filesystem::path &path, int maxLongEdge, double atSeconds, bool exact,
                 const std::stop_token &token)
{
    std::optional<VideoInput> input = openVideo(path);
    if (!input)
        return {};

    double seconds = atSeconds;
    if (input->format->duration > 0)
        seconds = std::min(seconds, double(input->format->duration) / AV_TIME_BASE / 2);
    const int64_t seekTo = timestampAt(input->stream, seconds);
    if (seconds > 0)
        av_seek_frame(input->format.get(), input->stream->index, seekTo, AVSEEK_FLAG_BACKWARD);
    const int64_t target = exact ? seekTo : std::numeric_limits<int64_t>::min();
    ffi::FramePtr frame = decodeFrameNear(*input, target, token);
    if (!frame) {
        // A transport stream has no index: FFmpeg seeks in one by a search that takes its timestamps to rise
        // through the file and stops on any packet, not on a picture the decoder can start from. Timestamps
        // that fall back part way lead the search past the last keyframe (to the last packet, even), and GOPs
        // that open on an I picture without a recovery point, or a single keyframe, leave the decoder nothing
        // to start from before the end. The clip still plays from its start: a fresh demuxer reads it from
        // the first byte, where seeking back by timestamp would search the same timestamps again.
        input = openVideo(path);
        if (!input)
            return {};
        frame = decodeFrameNear(*input, target, token);
    }
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

    const DisplayOrientation orientation = DisplayOrientation::of(input->stream);
    if (orientation.mirrored)
        image = image.mirrored(true, false);
    // The matrix turns counter-clockwise; QTransform::rotate turns clockwise on screen.
    if (orientation.rotation != 0)
        image = image.transformed(QTransform().rotate(360 - orientation.rotation));
    return image;
}

} // namespace

QImage grab(const std::filesystem::path &path, int maxLongEdge, double atSeconds, std::stop_token token)
{
    return grabFrame(path, maxLongEdge, atSeconds, true, token);
}

QImage grabNear(const std::filesystem::path &path, int maxLongEdge, double atSeconds, std::stop_token token)
{
    return grabFrame(path, maxLongEdge, atSeconds, false, token);
}

} // namespace vorlane::VideoFrameGrabber
