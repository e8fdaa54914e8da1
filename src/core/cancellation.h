#pragma once

#include <exception>
#include <stop_token>

namespace vorlane {

// Thrown by an encoder at a cancellation check once its job's stop token has been requested.
class CancelledError final : public std::exception
{
public:
    const char *what() const noexcept override { return "cancelled"; }
};

inline void checkCancellation(const std::stop_token &token)
{
    if (token.stop_requested())
        throw CancelledError();
}

} // namespace vorlane
