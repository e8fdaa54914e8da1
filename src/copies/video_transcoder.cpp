#include "copies/video_transcoder.h"

#include "copies/video_compressor.h"
#include "media/libav_support.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <string>

namespace vorlane {
namespace {

bool isYuv(AVPixelFormat format)
{
    const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(format);
    return descriptor && !(descriptor->flags & AV_PIX_FMT_FLAG_RGB) && descriptor->nb_components >= 3;
}

bool isFullRangeFormat(AVPixelFormat format)
{
    return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P
        || format == AV_PIX_FMT_YUVJ440P || format == AV_PIX_FMT_YUVJ411P;
}

} // namespace

VideoTranscoder::VideoTranscoder(const AVStream *input, AVFormatContext *muxer, int width, int height,
                                 DisplayOrientation orientation, int threads, int64_t bitRate, int64_t startTime)
    // One frame thread more than cores keeps them busy while this thread scales and feeds x264.
    : StreamTranscoder(input, muxer, "video", threads > 1 ? threads + 1 : 1, FF_THREAD_FRAME | FF_THREAD_SLICE)
    , m_scaled(av_frame_alloc())
{
    if (!m_scaled)
        throw std::bad_alloc();
    const AVCodecParameters *parameters = input->codecpar;

    const AVCodec *encoder = avcodec_find_encoder_by_name("libx264");
    if (!encoder)
        failWriting("the libx264 H.264 encoder is not available");
    ffi::CodecContextPtr context(avcodec_alloc_context3(encoder));
    if (!context)
        throw std::bad_alloc();
    AVCodecContext *enc = context.get();
    enc->width = width;
    enc->height = height;
    enc->pix_fmt = AV_PIX_FMT_YUV420P;
    enc->sample_aspect_ratio = AVRational{1, 1};
    enc->time_base = input->time_base; // the source's clock: timestamps go through untouched
    const AVRational rate = av_guess_frame_rate(nullptr, const_cast<AVStream *>(input), nullptr);
    enc->framerate = rate.num > 0 && rate.den > 0 ? rate : AVRational{30, 1};
    enc->bit_rate = bitRate;
    enc->gop_size = 60;
    // x264 keeps about 1.5 threads per core busy (its own default); one core gets exactly one.
    enc->thread_count = threads > 1 ? threads + threads / 2 : 1;
    if (isYuv(AVPixelFormat(parameters->format))) {
        enc->color_primaries = parameters->color_primaries;
        enc->color_trc = parameters->color_trc;
        enc->colorspace = parameters->color_space;
        // Frames keep their range through the scaler, except the full-range "J" formats, which it narrows.
        enc->color_range
            = isFullRangeFormat(AVPixelFormat(parameters->format)) ? AVCOL_RANGE_MPEG : parameters->color_range;
    }
    if (muxer->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(enc->priv_data, "preset", x264Preset, 0);
    av_opt_set(enc->priv_data, "profile", "high", 0);
    const int rc = avcodec_open2(enc, encoder, nullptr);
    if (rc < 0)
        failWriting("cannot open the H.264 encoder: " + LibavSupport::errorText(rc));
    openOutput(std::move(context));
    orientation.applyTo(m_output);

    if (startTime != AV_NOPTS_VALUE)
        m_startOffset = av_rescale_q(startTime, AV_TIME_BASE_Q, input->time_base);

    m_scaled->format = enc->pix_fmt;
    m_scaled->width = width;
    m_scaled->height = height;
    if (av_frame_get_buffer(m_scaled.get(), 0) < 0)
        throw std::bad_alloc();
}

void VideoTranscoder::decoderDrained()
{
    if (m_frames == 0)
        failReading("no video frame could be decoded");
}

void VideoTranscoder::consume(AVFrame *decoded)
{
    AVCodecContext *enc = m_encoder.get();
    // Source timestamps, moved to start at the file's start; the encoder needs them strictly increasing.
    int64_t pts = decoded->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE)
        pts = m_lastPts == INT64_MIN ? 0 : m_lastPts + 1;
    else
        pts -= m_startOffset;
    if (m_lastPts != INT64_MIN && pts <= m_lastPts)
        pts = m_lastPts + 1;
    m_lastPts = pts;

    AVFrame *frame = decoded;
    if (decoded->format != enc->pix_fmt || decoded->width != enc->width || decoded->height != enc->height) {
        // sws_getCachedContext frees the old context itself when the input changes shape.
        m_scaler.reset(sws_getCachedContext(m_scaler.release(), decoded->width, decoded->height,
                                            AVPixelFormat(decoded->format), enc->width, enc->height, enc->pix_fmt,
                                            SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (!m_scaler)
            failReading("cannot convert frames of " + std::to_string(decoded->width) + "x"
                        + std::to_string(decoded->height));
        if (av_frame_make_writable(m_scaled.get()) < 0) // the encoder may still hold the previous one
            throw std::bad_alloc();
        sws_scale(m_scaler.get(), decoded->data, decoded->linesize, 0, decoded->height, m_scaled->data,
                  m_scaled->linesize);
        frame = m_scaled.get();
    }
    frame->pts = pts;
    frame->pict_type = AV_PICTURE_TYPE_NONE; // the encoder picks its own key frames
    frame->sample_aspect_ratio = enc->sample_aspect_ratio;
    ++m_frames;
    encode(frame);
}

} // namespace vorlane
