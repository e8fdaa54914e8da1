#include "copies/quality_ladder.h"

#include "media/cancellation.h"

namespace vorlane::QualityLadder {

std::optional<Rung> walk(const std::function<std::optional<std::string>(int quality)> &encode, int64_t targetBytes,
                         const std::stop_token &token)
{
    std::optional<Rung> candidate;
    for (const int quality : qualities) {
        checkCancellation(token);
        std::optional<std::string> bytes = encode(quality);
        if (!bytes)
            continue;
        candidate = Rung{std::move(*bytes), quality};
        if (int64_t(candidate->bytes.size()) <= targetBytes)
            break;
    }
    return candidate;
}

} // namespace vorlane::QualityLadder
