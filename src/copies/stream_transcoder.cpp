#include "copies/stream_transcoder.h"

#include "copies/copy_error.h"
#include "media/decode_error.h"
#include "media/libav_support.h"

namespace vorlane {
namespace {

bool isDamagedData(int rc) { return rc == AVERROR_INVALIDDATA || rc == AVERROR(EIO); }

} // namespace

StreamTranscoder::StreamTranscoder(const AVStream *input, AVFormatContext *muxer, const char *kind, int threads,
                                   int threadType)
    : m_input(input)
    , m_muxer(muxer)
    , m_appendPrefix(std::string(kind) + " append: ")
    , m_decoded(av_frame_alloc())
    , m_packet(av_packet_alloc())
{
    if (!m_decoded || !m_packet)
        throw std::bad_alloc();
    try {
        m_decoder = LibavSupport::openDecoder(input, threads, threadType);
    } catch (const DecodeError &error) {
        failReading(error.what());
    }
}

void StreamTranscoder::failReading(const std::string &what)
{
    throw CopyError(CopyError::Reason::ReadFailed, "reader: " + what);
}

void StreamTranscoder::failWriting(const std::string &what)
{
    throw CopyError(CopyError::Reason::WriteFailed, "writer: " + what);
}

void StreamTranscoder::openOutput(ffi::CodecContextPtr encoder)
{
    m_encoder = std::move(encoder);
    m_output = avformat_new_stream(m_muxer, nullptr);
    if (!m_output)
        throw std::bad_alloc();
    m_output->time_base = m_encoder->time_base;
    const int rc = avcodec_parameters_from_context(m_output->codecpar, m_encoder.get());
    if (rc < 0)
        failWriting(LibavSupport::errorText(rc));
}

void StreamTranscoder::push(const AVPacket *packet)
{
    const int rc = avcodec_send_packet(m_decoder.get(), packet);
    if (rc < 0 && !isDamagedData(rc))
        failReading(LibavSupport::errorText(rc));
    receiveFrames();
}

void StreamTranscoder::finish()
{
    avcodec_send_packet(m_decoder.get(), nullptr);
    receiveFrames();
    decoderDrained();
    encode(nullptr);
}

void StreamTranscoder::receiveFrames()
{
    for (;;) {
        const int rc = avcodec_receive_frame(m_decoder.get(), m_decoded.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return;
        if (isDamagedData(rc))
            continue;
        if (rc < 0)
            failReading(LibavSupport::errorText(rc));
        consume(m_decoded.get());
        av_frame_unref(m_decoded.get());
    }
}

void StreamTranscoder::encode(const AVFrame *frame)
{
    const auto fail = [this](int code) {
        throw CopyError(CopyError::Reason::WriteFailed, m_appendPrefix + LibavSupport::errorText(code));
    };
    AVCodecContext *encoder = m_encoder.get();
    int rc = avcodec_send_frame(encoder, frame);
    if (rc < 0)
        fail(rc);
    for (;;) {
        rc = avcodec_receive_packet(encoder, m_packet.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return;
        if (rc < 0)
            fail(rc);
        av_packet_rescale_ts(m_packet.get(), encoder->time_base, m_output->time_base);
        m_packet->stream_index = m_output->index;
        rc = av_interleaved_write_frame(m_muxer, m_packet.get()); // takes the packet's reference
        if (rc < 0)
            fail(rc);
    }
}

} // namespace vorlane
