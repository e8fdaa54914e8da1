#pragma once

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

// Quiets FFmpeg's logging for the whole process (it would otherwise print decoder complaints about damaged
// files to stderr); errors reach the caller as exceptions instead. Idempotent, thread-safe.
void silenceLogging();

} // namespace vorlane::LibavSupport
