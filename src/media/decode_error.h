#pragma once

#include "core/phrase.h"

#include <QSize>

#include <stdexcept>
#include <string>

namespace vorlane {

// A file could not be decoded. Kind says whose fault that is: the file's (unreadable, not a picture or a
// video, damaged, truncated, or in a format this build cannot read), or the memory a decode may take (a
// picture whose header asks for more: nothing says the file is broken, and a copy of it is still wanted).
// The reason says which, in words a user can act on: what() in English, reason() in the interface's
// language where it is shown.
class DecodeError final : public std::runtime_error
{
public:
    enum class Kind {
        Undecodable,
        TooLarge,
    };

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
    // A picture of size (as its header gives it) that is over a memory budget.
    static DecodeError tooLarge(const Phrase &reason, QSize size)
    {
        DecodeError error(reason);
        error.m_kind = Kind::TooLarge;
        error.m_size = size;
        return error;
    }

    const Phrase &reason() const { return m_reason; }
    Kind kind() const { return m_kind; }
    // The picture's size when TooLarge, else invalid.
    QSize size() const { return m_size; }

private:
    Phrase m_reason;
    Kind m_kind = Kind::Undecodable;
    QSize m_size;
};

} // namespace vorlane
