#pragma once

#include <stdexcept>
#include <string>

namespace vorlane {

// A picture could not be decoded: unreadable, not an image, damaged, truncated or beyond the pixel budget.
// The message says which, in words a user can act on.
class ImageDecodeError final : public std::runtime_error
{
public:
    explicit ImageDecodeError(const std::string &reason)
        : std::runtime_error(reason)
    {
    }
};

} // namespace vorlane
