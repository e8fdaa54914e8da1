#include "copies/quality_ladder.h"

#include "core/cancellation.h"

namespace vorlane::QualityLadder {
namespace {

// The size of each rung's encoding as a share of the top rung's, typical of photos scaled to 1920 px
// (0.42-0.43 at the floor for camera and phone JPEGs alike). Only the first guess depends on it.
constexpr std::array<double, qualities.size()> typicalShareOfTop{1.0, 0.73, 0.60, 0.51, 0.455, 0.42};

class Walk
{
public:
    Walk(const std::function<std::optional<std::string>(int)> &encode, int64_t targetBytes,
         const std::stop_token &token)
        : m_encode(encode)
        , m_targetBytes(targetBytes)
        , m_token(token)
    {
    }

    // Encodes the rung once (a stop check first); false when it could not be encoded.
    bool encodeAt(size_t rung)
    {
        if (!m_tried[rung]) {
            checkCancellation(m_token);
            m_tried[rung] = true;
            if (std::optional<std::string> bytes = m_encode(qualities[rung]))
                m_results[rung] = Rung{std::move(*bytes), qualities[rung]};
        }
        return m_results[rung].has_value();
    }

    bool fits(size_t rung) const { return m_results[rung] && int64_t(m_results[rung]->bytes.size()) <= m_targetBytes; }

    std::optional<Rung> take(size_t rung) { return std::move(m_results[rung]); }

    // The rung the top one's size suggests: the first whose typical size is within the target.
    size_t guess() const
    {
        const double top = double(m_results[0]->bytes.size());
        for (size_t rung = 1; rung < qualities.size(); ++rung) {
            if (top * typicalShareOfTop[rung] <= double(m_targetBytes))
                return rung;
        }
        return qualities.size() - 1;
    }

    // Every rung in order, reusing those already encoded: the first that fits, else the last that encoded.
    std::optional<Rung> inOrder()
    {
        std::optional<size_t> last;
        for (size_t rung = 0; rung < qualities.size(); ++rung) {
            if (!encodeAt(rung))
                continue;
            if (fits(rung))
                return take(rung);
            last = rung;
        }
        return last ? take(*last) : std::nullopt;
    }

private:
    const std::function<std::optional<std::string>(int)> &m_encode;
    const int64_t m_targetBytes;
    const std::stop_token &m_token;
    std::array<bool, qualities.size()> m_tried{};
    std::array<std::optional<Rung>, qualities.size()> m_results;
};

} // namespace

std::optional<Rung> walk(const std::function<std::optional<std::string>(int quality)> &encode, int64_t targetBytes,
                         const std::stop_token &token)
{
    Walk walk(encode, targetBytes, token);
    if (!walk.encodeAt(0))
        return walk.inOrder();
    if (walk.fits(0))
        return walk.take(0);
    // The size falls as the quality does (every rung scales the same quantisation tables), so the answer is
    // the rung that fits below one that does not. Start at the guess and move towards that boundary; a rung
    // that fails to encode drops the search for the plain walk through every rung.
    size_t rung = walk.guess();
    if (!walk.encodeAt(rung))
        return walk.inOrder();
    if (walk.fits(rung)) {
        for (; rung > 1; --rung) {
            if (!walk.encodeAt(rung - 1))
                return walk.inOrder();
            if (!walk.fits(rung - 1))
                break;
        }
        return walk.take(rung);
    }
    for (; rung + 1 < qualities.size(); ++rung) {
        if (!walk.encodeAt(rung + 1))
            return walk.inOrder();
        if (walk.fits(rung + 1))
            return walk.take(rung + 1);
    }
    return walk.take(rung);
}

} // namespace vorlane::QualityLadder
