#pragma once

#include "media/ffi/libav_handles.h"

#include <string>

namespace vorlane {

// The decode-encode loop that the audio and the video transcoders share: a demuxed packet of the input
// stream goes to the decoder, each frame it yields to the subclass's consume(), and the subclass hands
// frames on to encode(), which sends them to the encoder and writes every packet it yields to the output
// stream of the muxer (interleaved with the other stream). A damaged packet in the middle of a file is
// skipped, as players do; anything else ends the copy with CopyError (ReadFailed "reader: …" on the decoding
// side, WriteFailed "<kind> append: …" on the encoding side). All calls come from the compress call's thread.
class StreamTranscoder
{
public:
    virtual ~StreamTranscoder() = default;
    StreamTranscoder(const StreamTranscoder &) = delete;
    StreamTranscoder &operator=(const StreamTranscoder &) = delete;

    // Decodes one packet of the input stream and encodes what it yields.
    void push(const AVPacket *packet);
    // Drains the decoder, lets the subclass flush what it holds, then drains the encoder.
    void finish();

protected:
    // kind is "video" or "audio"; threads and threadType go to the decoder (LibavSupport::openDecoder).
    StreamTranscoder(const AVStream *input, AVFormatContext *muxer, const char *kind, int threads = 1,
                     int threadType = 0);

    // Takes the opened encoder and adds the output stream for it to the muxer.
    void openOutput(ffi::CodecContextPtr encoder);
    // Sends a frame (nullptr drains) and writes what the encoder yields.
    void encode(const AVFrame *frame);

    virtual void consume(AVFrame *decoded) = 0;
    // After the decoder's last frame, before the encoder is drained.
    virtual void decoderDrained() { }

    [[noreturn]] static void failReading(const std::string &what);
    [[noreturn]] static void failWriting(const std::string &what);

    const AVStream *m_input;
    AVFormatContext *m_muxer;
    AVStream *m_output = nullptr;
    ffi::CodecContextPtr m_decoder;
    ffi::CodecContextPtr m_encoder;

private:
    void receiveFrames();

    std::string m_appendPrefix;
    ffi::FramePtr m_decoded;
    ffi::PacketPtr m_packet;
};

} // namespace vorlane
