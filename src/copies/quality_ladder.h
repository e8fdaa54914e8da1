#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

namespace vorlane::QualityLadder {

// JPEG qualities (libjpeg's 0-100 scale) tried in order: 85 to 45 in steps of 10, then the floor 40.
inline constexpr std::array<int, 6> qualities{85, 75, 65, 55, 45, 40};

struct Rung
{
    std::string bytes;
    int quality = 0;
};

// The first quality, in the order above, whose encoding is at most targetBytes; when none fits, the last one
// that encoded; nothing when no quality produced bytes. encode returns nothing for a quality it could not
// encode. Not every rung is encoded: after the top one, the search starts at the rung its size suggests and
// stops once it holds a rung that fits whose rung above does not (usually two or three encodes in all).
// A stop check comes before each encode; throws CancelledError.
std::optional<Rung> walk(const std::function<std::optional<std::string>(int quality)> &encode, int64_t targetBytes,
                         const std::stop_token &token);

} // namespace vorlane::QualityLadder
