#include "media/burst_pick.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

namespace vorlane::BurstPick {
namespace {

using BurstFeatures::Focus;
using BurstFeatures::Looks;

constexpr int kTiles = Focus::kTiles;
constexpr int kCellsPerTile = Looks::kGrid / kTiles;

// How far a frame's exposure is from the burst's usual one: its distance from it (0 … 1 of the range) and
// the share of its pixels clipped. Two frames are exposed alike when these differ by less than kExposureStep.
constexpr double kExposureStep = 0.01;
double badness(const Focus &frame, double usual)
{
    return std::abs(frame.exposure - usual) + frame.clipped;
}

struct Offset
{
    int x = 0;
    int y = 0;
};

// Where each frame sits against the first, in tiles: the shifts between neighbours, added up (a pan drifts
// further than any one step).
std::vector<Offset> offsetsOf(const std::vector<const BurstFeatures::Features *> &frames,
                              const std::vector<BurstFeatures::Alignment> &steps)
{
    std::vector<Offset> cells(frames.size());
    for (size_t i = 1; i < frames.size(); ++i) {
        const BurstFeatures::Alignment step
            = i - 1 < steps.size() ? steps[i - 1] : BurstFeatures::align(frames[i - 1]->looks, frames[i]->looks);
        cells[i] = {cells[i - 1].x + step.dx, cells[i - 1].y + step.dy};
    }
    std::vector<Offset> tiles(frames.size());
    const auto toTiles = [](int c) { return int(std::lround(double(c) / kCellsPerTile)); };
    for (size_t i = 0; i < frames.size(); ++i)
        tiles[i] = {toTiles(cells[i].x), toTiles(cells[i].y)};
    return tiles;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

Verdict judge(const std::vector<const BurstFeatures::Features *> &frames,
              const std::vector<BurstFeatures::Alignment> &steps)
{
    Verdict verdict;
    verdict.sharpness.assign(frames.size(), 0.0);
    if (frames.empty())
        return verdict;
    const std::vector<Offset> offsets = offsetsOf(frames, steps);

    // The places of the first frame's tile grid that every frame shows, with each frame's sharpness there
    // (0 where a frame has no edge to tell: a defocused subject loses its edges).
    struct Place
    {
        std::vector<float> scores;
        float sharpest = 0;
    };
    std::vector<Place> shared;
    for (int ty = 0; ty < kTiles; ++ty) {
        for (int tx = 0; tx < kTiles; ++tx) {
            Place place;
            bool inside = true;
            for (size_t i = 0; i < frames.size() && inside; ++i) {
                const int x = tx + offsets[i].x, y = ty + offsets[i].y;
                inside = x >= 0 && x < kTiles && y >= 0 && y < kTiles;
                if (inside)
                    place.scores.push_back(std::max(0.0f, frames[i]->focus->tiles[size_t(y * kTiles + x)]));
            }
            if (!inside)
                continue;
            place.sharpest = *std::max_element(place.scores.begin(), place.scores.end());
            if (place.sharpest > 0)
                shared.push_back(std::move(place));
        }
    }

    // The subject: the shared places where the burst is sharpest, a quarter of them (at least three).
    const size_t top = std::min(shared.size(), std::max<size_t>(3, shared.size() / 4));
    std::partial_sort(shared.begin(), shared.begin() + std::ptrdiff_t(top), shared.end(),
                      [](const Place &a, const Place &b) { return a.sharpest > b.sharpest; });
    for (size_t i = 0; i < frames.size(); ++i) {
        double sum = 0;
        for (size_t p = 0; p < top; ++p)
            sum += shared[p].scores[i];
        verdict.sharpness[i] = top ? sum / double(top) : 0.0;
    }

    const double sharpest = *std::max_element(verdict.sharpness.begin(), verdict.sharpness.end());
    std::vector<double> exposures;
    for (const auto *frame : frames)
        exposures.push_back(frame->focus->exposure);
    const double usual = median(exposures);
    std::optional<size_t> best;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (verdict.sharpness[i] < sharpest * (1.0 - kTieShare))
            continue;
        if (!best) {
            best = i;
            continue;
        }
        const double worse = badness(*frames[i]->focus, usual) - badness(*frames[*best]->focus, usual);
        if (worse < -kExposureStep || (worse <= kExposureStep && verdict.sharpness[i] > verdict.sharpness[*best]))
            best = i;
    }
    verdict.best = best.value_or(0);
    return verdict;
}

} // namespace vorlane::BurstPick
