#pragma once

#include "core/phrase.h"

#include <exception>
#include <filesystem>
#include <string>

namespace vorlane {

// Why a copy could not be made: a sentence, or for the video encoder's library errors "reader: …",
// "writer: …", "video append: …", "audio append: …" with FFmpeg's own description after the prefix. what()
// is it in English (the command line); message() in the interface's language (a failed cell's tooltip).
// Both compressors throw it (besides CancelledError).
class CopyError final : public std::exception
{
public:
    enum class Reason {
        DecodeFailed, // the picture of a still could not be decoded: damaged, truncated, not a picture, or in a
                      // format this build cannot read
        TooLarge,     // the picture of a still would take more memory to decode than a copy may: a file that
                      // may be perfectly good
        NoVideoTrack, // a video file with no video stream (an audio file, a zero-byte file)
        ReadFailed,   // the video could not be read or decoded through to its end
        WriteFailed,  // the copy could not be encoded or written: no rung produced data, a full disk,
                      // a folder that cannot be made
        SourceChanged, // an original was written to while its copy was being made: the copy is dropped
    };

    CopyError(Reason reason, const Phrase &message)
        : m_reason(reason)
        , m_message(message)
        , m_english(message.englishUtf8())
    {
    }
    // A library's own message, shown as it is.
    CopyError(Reason reason, const std::string &text)
        : CopyError(reason, Phrase::verbatim(text))
    {
    }

    Reason reason() const noexcept { return m_reason; }
    const char *what() const noexcept override { return m_english.c_str(); }
    const Phrase &message() const { return m_message; }

    // A folder that cannot be made or a copy that cannot be written: "Permission denied: /card/card_bside".
    static CopyError fromFileSystem(const std::filesystem::filesystem_error &error)
    {
        return CopyError(Reason::WriteFailed, error.code().message() + ": " + error.path1().string());
    }

private:
    Reason m_reason;
    Phrase m_message;
    std::string m_english;
};

} // namespace vorlane
