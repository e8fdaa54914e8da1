#include "copies/audio_transcoder.h"

#include "copies/video_compressor.h"
#include "media/libav_support.h"


namespace vorlane {
namespace {

constexpr int outputRate = 44100;

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

AudioTranscoder::AudioTranscoder(const AVStream *input, AVFormatContext *muxer, int64_t startTime, int64_t bitRate)
    : StreamTranscoder(input, muxer, "audio")
    , m_converted(av_frame_alloc())
{
    if (!m_converted)
        throw std::bad_alloc();
    const AVCodec *encoder = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!encoder)
        failWriting("no AAC encoder available");
    ffi::CodecContextPtr context(avcodec_alloc_context3(encoder));
    if (!context)
        throw std::bad_alloc();
    AVCodecContext *enc = context.get();
    enc->sample_fmt = AV_SAMPLE_FMT_FLTP;
    enc->sample_rate = outputRate;
    av_channel_layout_default(&enc->ch_layout, 2);
    enc->bit_rate = bitRate;
    enc->time_base = AVRational{1, outputRate};
    if (muxer->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int rc = avcodec_open2(enc, encoder, nullptr);
    if (rc < 0)
        failWriting("cannot open the AAC encoder: " + LibavSupport::errorText(rc));
    openOutput(std::move(context));

    m_queue.reset(av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, enc->frame_size * 2));
    if (!m_queue)
        throw std::bad_alloc();
    if (startTime != AV_NOPTS_VALUE)
        m_startOffset = av_rescale_q(startTime, AV_TIME_BASE_Q, input->time_base);
}

void AudioTranscoder::consume(AVFrame *decoded)
{
    convert(decoded);
    encodeQueued(false);
}

void AudioTranscoder::decoderDrained()
{
    if (m_resampler)
        convert(nullptr); // the resampler's delayed tail
    encodeQueued(true);
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
                failReading("cannot convert the audio: " + LibavSupport::errorText(rc));
            m_inFormat = decoded->format;
            m_inRate = decoded->sample_rate;
            m_inChannels = layout.nb_channels;
            m_inMask = mask;
        }
        if (m_nextPts == INT64_MIN) {
            const int64_t pts = decoded->best_effort_timestamp;
            m_nextPts
                = pts == AV_NOPTS_VALUE ? 0 : av_rescale_q(pts - m_startOffset, m_input->time_base, enc->time_base);
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
        failReading("cannot convert the audio: " + LibavSupport::errorText(produced));
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
        encode(frame.get());
    }
}

} // namespace vorlane
