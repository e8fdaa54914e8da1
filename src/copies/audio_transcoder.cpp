#include "copies/audio_transcoder.h"

#include "copies/libav_support.h"
#include "copies/video_compressor.h"

#include <string>

namespace vorlane {
namespace {

using VideoCompressor::CompressError;
using VideoCompressor::VideoCompressError;

constexpr int outputRate = 44100;

[[noreturn]] void fail(CompressError code, const std::string &message)
{
    throw VideoCompressError(code, message);
}

bool isDamagedData(int rc) { return rc == AVERROR_INVALIDDATA || rc == AVERROR(EIO); }

// The layout the resampler is told the input has: the stream's own when it names its channels, else the
// usual layout for that many channels (a stream that only says "6 channels" is mixed down as 5.1).
AVChannelLayout inputLayout(const AVFrame *frame)
{
    AVChannelLayout layout{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_NATIVE)
        layout = frame->ch_layout; // native layouts own no memory, so a plain copy is safe
    else
        av_channel_layout_default(&layout, frame->ch_layout.nb_channels);
    return layout;
}

} // namespace

AudioTranscoder::AudioTranscoder(const AVStream *input, AVFormatContext *muxer, int64_t startTime)
    : m_input(input)
    , m_muxer(muxer)
    , m_decoded(av_frame_alloc())
    , m_converted(av_frame_alloc())
    , m_packet(av_packet_alloc())
{
    if (!m_decoded || !m_converted || !m_packet)
        throw std::bad_alloc();
    m_decoder = LibavSupport::openDecoder(input, "audio");

    const AVCodec *encoder = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!encoder)
        fail(CompressError::WriterCreationFailed, "writer: no AAC encoder available");
    m_encoder.reset(avcodec_alloc_context3(encoder));
    if (!m_encoder)
        throw std::bad_alloc();
    AVCodecContext *enc = m_encoder.get();
    enc->sample_fmt = AV_SAMPLE_FMT_FLTP;
    enc->sample_rate = outputRate;
    av_channel_layout_default(&enc->ch_layout, 2);
    enc->bit_rate = VideoCompressor::audioBitrate;
    enc->time_base = AVRational{1, outputRate};
    if (muxer->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int rc = avcodec_open2(enc, encoder, nullptr);
    if (rc < 0)
        fail(CompressError::WriterCreationFailed, "writer: cannot open the AAC encoder: " + LibavSupport::errorText(rc));

    m_output = avformat_new_stream(muxer, nullptr);
    if (!m_output)
        throw std::bad_alloc();
    m_output->time_base = enc->time_base;
    rc = avcodec_parameters_from_context(m_output->codecpar, enc);
    if (rc < 0)
        fail(CompressError::WriterCreationFailed, "writer: " + LibavSupport::errorText(rc));

    m_queue.reset(av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, enc->frame_size * 2));
    if (!m_queue)
        throw std::bad_alloc();
    if (startTime != AV_NOPTS_VALUE)
        m_startOffset = av_rescale_q(startTime, AV_TIME_BASE_Q, input->time_base);
}

void AudioTranscoder::push(const AVPacket *packet)
{
    const int rc = avcodec_send_packet(m_decoder.get(), packet);
    if (rc < 0 && !isDamagedData(rc))
        fail(CompressError::ProcessingFailed, "reader: " + LibavSupport::errorText(rc));
    decodeSent();
}

void AudioTranscoder::finish()
{
    avcodec_send_packet(m_decoder.get(), nullptr);
    decodeSent();
    if (m_resampler)
        convert(nullptr); // the resampler's delayed tail
    encodeQueued(true);
    LibavSupport::encodeAndWrite(m_encoder.get(), nullptr, m_muxer, m_output, m_packet.get(), "audio append: ");
}

void AudioTranscoder::decodeSent()
{
    for (;;) {
        const int rc = avcodec_receive_frame(m_decoder.get(), m_decoded.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return;
        if (isDamagedData(rc))
            continue;
        if (rc < 0)
            fail(CompressError::ProcessingFailed, "reader: " + LibavSupport::errorText(rc));
        convert(m_decoded.get());
        av_frame_unref(m_decoded.get());
        encodeQueued(false);
    }
}

void AudioTranscoder::convert(const AVFrame *decoded)
{
    AVCodecContext *enc = m_encoder.get();
    if (decoded) {
        AVChannelLayout layout = inputLayout(decoded);
        const uint64_t mask = layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0;
        if (!m_resampler || decoded->format != m_inFormat || decoded->sample_rate != m_inRate
            || layout.nb_channels != m_inChannels || mask != m_inMask) {
            if (m_resampler)
                convert(nullptr); // keep what the old resampler still holds
            SwrContext *raw = nullptr;
            int rc = swr_alloc_set_opts2(&raw, &enc->ch_layout, enc->sample_fmt, enc->sample_rate, &layout,
                                         AVSampleFormat(decoded->format), decoded->sample_rate, 0, nullptr);
            m_resampler.reset(raw);
            if (rc >= 0)
                rc = swr_init(m_resampler.get());
            if (rc < 0)
                fail(CompressError::ProcessingFailed, "reader: cannot convert the audio: " + LibavSupport::errorText(rc));
            m_inFormat = decoded->format;
            m_inRate = decoded->sample_rate;
            m_inChannels = layout.nb_channels;
            m_inMask = mask;
        }
        if (m_nextPts == INT64_MIN) {
            const int64_t pts = decoded->best_effort_timestamp;
            m_nextPts = pts == AV_NOPTS_VALUE
                ? 0
                : av_rescale_q(pts - m_startOffset, m_input->time_base, enc->time_base);
        }
    }

    const int capacity = swr_get_out_samples(m_resampler.get(), decoded ? decoded->nb_samples : 0);
    if (capacity <= 0)
        return;
    if (m_converted->nb_samples < capacity) {
        av_frame_unref(m_converted.get());
        m_converted->format = enc->sample_fmt;
        m_converted->nb_samples = capacity;
        av_channel_layout_copy(&m_converted->ch_layout, &enc->ch_layout);
        if (av_frame_get_buffer(m_converted.get(), 0) < 0)
            throw std::bad_alloc();
    }
    const int produced = swr_convert(m_resampler.get(), m_converted->data, capacity,
                                     decoded ? const_cast<const uint8_t **>(decoded->extended_data) : nullptr,
                                     decoded ? decoded->nb_samples : 0);
    if (produced < 0)
        fail(CompressError::ProcessingFailed, "reader: cannot convert the audio: " + LibavSupport::errorText(produced));
    if (produced > 0
        && av_audio_fifo_write(m_queue.get(), reinterpret_cast<void **>(m_converted->data), produced) < produced)
        throw std::bad_alloc();
}

void AudioTranscoder::encodeQueued(bool final)
{
    AVCodecContext *enc = m_encoder.get();
    for (;;) {
        const int queued = av_audio_fifo_size(m_queue.get());
        // Every frame holds frame_size samples; only the last one may be shorter.
        if (queued == 0 || (queued < enc->frame_size && !final))
            return;
        const int count = std::min(queued, enc->frame_size);
        ffi::FramePtr frame(av_frame_alloc());
        if (!frame)
            throw std::bad_alloc();
        frame->format = enc->sample_fmt;
        frame->nb_samples = count;
        frame->sample_rate = enc->sample_rate;
        av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout);
        if (av_frame_get_buffer(frame.get(), 0) < 0)
            throw std::bad_alloc();
        av_audio_fifo_read(m_queue.get(), reinterpret_cast<void **>(frame->data), count);
        frame->pts = m_nextPts == INT64_MIN ? 0 : m_nextPts;
        m_nextPts = frame->pts + count;
        LibavSupport::encodeAndWrite(enc, frame.get(), m_muxer, m_output, m_packet.get(), "audio append: ");
    }
}

} // namespace vorlane
