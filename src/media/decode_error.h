#pragma once

#include <stdexcept>
#include <string>

namespace vorlane {

// A file could not be decoded: unreadable, not a picture or a video, damaged, truncated, beyond the pixel
// budget, or in a format this build cannot read. The message says which, in words a user can act on.
class DecodeError final : public std::runtime_error
{
public:
    explicit DecodeError(const std::string &reason)
        : std::runtime_error(reason)
    {
    }
};

} // namespace vorlane
