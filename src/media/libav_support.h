#pragma once

#include "media/ffi/libav_handles.h"

#include <filesystem>
#include <string>

namespace vorlane::LibavSupport {

// FFmpeg's own description of an AVERROR code ("Invalid data found when processing input").
std::string errorText(int code);

// Opens a media file for demuxing and, unless headerOnly, reads its stream information (which may decode a
// few frames). Throws DecodeError with FFmpeg's description when it cannot.
ffi::InputFormatPtr openInput(const std::filesystem::path &path, bool headerOnly = false);

// The video stream of a file, as the copy, the thumbnail and the preview all pick it: the first stream of
// video type that is not an attached picture (cover art of an audio file is not its video). Null when
// there is none.
AVStream *videoStream(const AVFormatContext *input);

// Opens a decoder for an input stream with the stream's parameters and time base. threads is the decoder's
// thread count and threadType its FF_THREAD_* mask (0 for the codec's default). Throws DecodeError when
// there is no decoder for the codec or it cannot be opened.
ffi::CodecContextPtr openDecoder(const AVStream *input, int threads = 1, int threadType = 0);

// Quiets FFmpeg's logging for the whole process (it would otherwise print decoder complaints about damaged
// files to stderr); errors reach the caller as exceptions instead. Idempotent, thread-safe.
void silenceLogging();

} // namespace vorlane::LibavSupport
