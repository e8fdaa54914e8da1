#pragma once

#include "media/phrase.h"

#include <stdexcept>
#include <string>

namespace vorlane {

// A file could not be decoded: unreadable, not a picture or a video, damaged, truncated, beyond the pixel
// budget, or in a format this build cannot read. The reason says which, in words a user can act on: what()
// in English, reason() in the interface's language where it is shown.
class DecodeError final : public std::runtime_error
{
public:
    explicit DecodeError(const Phrase &reason)
        : std::runtime_error(reason.englishUtf8())
        , m_reason(reason)
    {
    }
    // A library's own message, shown as it is.
    explicit DecodeError(const std::string &text)
        : DecodeError(Phrase::verbatim(text))
    {
    }

    const Phrase &reason() const { return m_reason; }

private:
    Phrase m_reason;
};

} // namespace vorlane
