#pragma once

#include "copies/ffi/libav_handles.h"

#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

namespace vorlane::LibavSupport {

// FFmpeg's own description of an AVERROR code ("Invalid data found when processing input").
std::string errorText(int code);

// Sends frame to encoder (nullptr drains it) and writes every packet it yields to stream of muxer, with
// timestamps moved from the encoder's time base to the stream's; av_interleaved_write_frame keeps the
// streams interleaved. scratch is a reusable packet. Throws VideoCompressError(ProcessingFailed,
// prefix + description) when encoding or writing fails. Runs on the compress call's thread.
void encodeAndWrite(AVCodecContext *encoder, const AVFrame *frame, AVFormatContext *muxer, AVStream *stream,
                    AVPacket *scratch, const char *prefix);

// Opens a decoder for an input stream with the stream's parameters and time base. threads is the decoder's
// thread count and threadType its FF_THREAD_* mask (0 for the codec's default). Throws
// VideoCompressError(ReaderCreationFailed, "reader: ...") when there is no decoder or it cannot be opened.
ffi::CodecContextPtr openDecoder(const AVStream *input, const char *kind, int threads = 1, int threadType = 0);

// Quiets FFmpeg's logging for the whole process (it would otherwise print decoder complaints about damaged
// files to stderr); errors reach the caller as exceptions instead. Idempotent, thread-safe.
void silenceLogging();

} // namespace vorlane::LibavSupport
