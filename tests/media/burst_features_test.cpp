// The looks and the sharpness of a frame, on pictures whose blur, noise, shake and exposure are known.
#include "media/burst_features.h"
#include "media/burst_pick.h"
#include "catalogue/burst_grouping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace vorlane {
namespace {

// A scene of overlapping grey rectangles, the same for the same seed.
GreyPixels scene(uint32_t seed, int width = 1200, int height = 800)
{
    GreyPixels p{width, height, std::vector<uint8_t>(size_t(width) * size_t(height), 128)};
    const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int r = 0; r < 160; ++r) {
        const int x0 = int(next() % uint32_t(width)), y0 = int(next() % uint32_t(height));
        const int w = 8 + int(next() % 200), h = 8 + int(next() % 150);
        const uint8_t level = uint8_t(20 + next() % 216);
        for (int y = y0; y < std::min(height, y0 + h); ++y)
            for (int x = x0; x < std::min(width, x0 + w); ++x)
                p.luma[size_t(y) * size_t(width) + size_t(x)] = level;
    }
    return p;
}

GreyPixels blurred(const GreyPixels &in, double sigma)
{
    const int r = int(std::ceil(3 * sigma));
    std::vector<double> k(size_t(2 * r + 1));
    double sum = 0;
    for (int i = -r; i <= r; ++i)
        sum += k[size_t(i + r)] = std::exp(-0.5 * i * i / (sigma * sigma));
    std::vector<double> tmp(in.luma.size());
    GreyPixels out = in;
    const auto at = [&](int x, int y) { return size_t(y) * size_t(in.width) + size_t(x); };
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            double acc = 0;
            for (int i = -r; i <= r; ++i)
                acc += k[size_t(i + r)] * in.luma[at(std::clamp(x + i, 0, in.width - 1), y)];
            tmp[at(x, y)] = acc / sum;
        }
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            double acc = 0;
            for (int i = -r; i <= r; ++i)
                acc += k[size_t(i + r)] * tmp[at(x, std::clamp(y + i, 0, in.height - 1))];
            out.luma[at(x, y)] = uint8_t(std::lround(std::clamp(acc / sum, 0.0, 255.0)));
        }
    return out;
}

// Gaussian sensor noise of this spread (grey levels), the same for the same seed.
GreyPixels noisy(GreyPixels p, double spread, uint32_t seed = 7)
{
    const auto uniform = [&seed] { return ((seed = seed * 1664525u + 1013904223u) >> 8) / double(1 << 24); };
    for (uint8_t &v : p.luma) {
        const double gauss = std::sqrt(-2 * std::log(uniform() + 1e-12)) * std::cos(2 * M_PI * uniform());
        v = uint8_t(std::lround(std::clamp(v + spread * gauss, 0.0, 255.0)));
    }
    return p;
}

// A stop darker: half the light, in the camera's sRGB curve.
GreyPixels darker(GreyPixels p)
{
    for (uint8_t &v : p.luma)
        v = uint8_t(std::lround(255 * std::pow(0.5 * std::pow(v / 255.0, 2.2), 1 / 2.2)));
    return p;
}

GreyPixels shifted(const GreyPixels &p, int dx, int dy)
{
    GreyPixels out{p.width - dx, p.height - dy, {}};
    for (int y = dy; y < p.height; ++y)
        out.luma.insert(out.luma.end(), p.luma.begin() + std::ptrdiff_t(size_t(y) * size_t(p.width) + size_t(dx)),
                        p.luma.begin() + std::ptrdiff_t(size_t(y + 1) * size_t(p.width)));
    return out;
}

// A frame's sharpness falls with blur, not with noise or exposure. Its looks survive what a burst does to a
// frame and tell scenes apart.
TEST(BurstFeatures, SharpnessFallsWithBlurAndTheLooksSurviveWhatABurstDoes)
{
    const GreyPixels sharp = blurred(scene(1), 0.5); // a lens is never perfect
    const double s = BurstFeatures::sharpnessOf(sharp);
    const double oneBlur = BurstFeatures::sharpnessOf(blurred(sharp, 0.8));
    const double twoBlur = BurstFeatures::sharpnessOf(blurred(sharp, 1.6));
    EXPECT_GT(s, oneBlur * 1.05);
    EXPECT_GT(oneBlur, twoBlur * 1.05);
    EXPECT_NEAR(BurstFeatures::sharpnessOf(darker(sharp)), s, s * 0.05) << "a darker frame is as sharp";
    EXPECT_GT(BurstFeatures::sharpnessOf(darker(sharp)), oneBlur);
    const double blurredHighIso = BurstFeatures::sharpnessOf(noisy(blurred(sharp, 0.8), 8));
    EXPECT_LT(blurredHighIso, s) << "noise is not detail";
    EXPECT_GT(BurstFeatures::sharpnessOf(noisy(sharp, 8)), blurredHighIso);
    EXPECT_EQ(BurstFeatures::sharpnessOf(GreyPixels{400, 300, std::vector<uint8_t>(400 * 300, 90)}), 0.0);

    const BurstFeatures::Looks looks = BurstFeatures::looksOf(sharp);
    for (const auto &[name, other] :
         std::vector<std::pair<const char *, GreyPixels>>{{"blurred", blurred(sharp, 2)},
                                                          {"noisy", noisy(sharp, 12)},
                                                          {"a stop darker", darker(sharp)},
                                                          {"shaken by a few pixels", shifted(sharp, 5, 3)}})
        EXPECT_GT(BurstFeatures::similarity(looks, BurstFeatures::looksOf(other)), 0.9) << name;
    for (uint32_t seed : {2u, 3u, 4u})
        EXPECT_LT(BurstFeatures::similarity(looks, BurstFeatures::looksOf(scene(seed))), 0.5) << seed;
    // Two scenes under one sky: bright above, dark below, their things apart.
    const auto underSky = [](GreyPixels p) {
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                uint8_t &v = p.luma[size_t(y) * size_t(p.width) + size_t(x)];
                v = uint8_t(std::clamp(0.35 * v + 230.0 - 200.0 * y / p.height, 0.0, 255.0));
            }
        return p;
    };
    EXPECT_LT(BurstFeatures::similarity(BurstFeatures::looksOf(underSky(scene(5))), BurstFeatures::looksOf(underSky(scene(6)))),
              BurstGrouping::kMinSimilarity)
        << "a shared sky is not a shared scene";
    const GreyPixels blank{64, 64, std::vector<uint8_t>(64 * 64, 9)};
    EXPECT_EQ(BurstFeatures::similarity(looks, BurstFeatures::looksOf(blank)), 0.0) << "a blank frame is like nothing";
}


// Looks a hand moved: a window of a larger smooth field, dx and dy cells across.
BurstFeatures::Looks movedLooks(int dx, int dy)
{
    constexpr int n = BurstFeatures::Looks::kGrid, side = n + 2 * BurstFeatures::kMaxShift;
    GreyPixels field{side * 8, side * 8, {}};
    for (int y = 0; y < field.height; ++y)
        for (int x = 0; x < field.width; ++x)
            field.luma.push_back(uint8_t(128 + 60 * std::sin(x * 0.05) * std::cos(y * 0.037) + 50 * std::sin((x + 2 * y) * 0.021)));
    GreyPixels window{n * 8, n * 8, {}};
    const int x0 = (BurstFeatures::kMaxShift + dx) * 8, y0 = (BurstFeatures::kMaxShift + dy) * 8;
    for (int y = 0; y < window.height; ++y)
        for (int x = 0; x < window.width; ++x)
            window.luma.push_back(field.luma[size_t(y0 + y) * size_t(field.width) + size_t(x0 + x)]);
    return BurstFeatures::looksOf(window);
}

TEST(BurstFeatures, AHandMovingTheFramingIsFollowed)
{
    for (const auto &[dx, dy] : std::vector<std::pair<int, int>>{{0, 0}, {4, 0}, {-3, 2}, {5, -5}}) {
        const BurstFeatures::Alignment a = BurstFeatures::align(movedLooks(0, 0), movedLooks(dx, dy));
        EXPECT_GT(a.similarity, 0.9) << dx << "," << dy;
        EXPECT_EQ(std::pair(a.dx, a.dy), std::pair(-dx, -dy));
    }
}

// One frame of a burst for the pick: moved by dx cells, its tiles' sharpness by a rule of the tile's
// column in its own frame, and its exposure.
struct Frame
{
    int dx = 0;
    std::function<float(int column)> sharpness;
    double exposure = 0.5;
    double clipped = 0;
    BurstFeatures::Features features() const
    {
        BurstFeatures::Features f{movedLooks(dx, 0), BurstFeatures::Focus{}};
        for (int t = 0; t < BurstFeatures::Focus::kTiles * BurstFeatures::Focus::kTiles; ++t)
            f.focus->tiles[size_t(t)] = sharpness(t % BurstFeatures::Focus::kTiles);
        f.focus->exposure = exposure;
        f.focus->clipped = clipped;
        return f;
    }
};

TEST(BurstPick, TheSharpestOverWhatTheFramesShareThenTheBetterExposed)
{
    const auto flat = [](float v) { return [v](int) { return v; }; };
    // name, frames, the best
    const std::vector<std::tuple<const char *, std::vector<Frame>, size_t>> rows{
        {"a pan brings crisp detail into the soft frame only", {{0, flat(5)}, {4, [](int c) { return c >= 14 ? 12.0f : 4.0f; }}}, 0},
        {"a twin a stop darker, as sharp", {{0, flat(4)}, {2, flat(5.1f), 0.37}, {2, flat(5)}}, 2},
        {"the same twins the other way round", {{0, flat(5)}, {0, flat(5.1f), 0.37}, {2, flat(4)}}, 0},
        {"a twin a stop brighter, blown", {{0, flat(4)}, {1, flat(5.1f), 0.62, 0.08}, {1, flat(5)}}, 2},
        {"a darker frame clearly sharper", {{0, flat(4)}, {1, flat(6), 0.37}, {1, flat(5)}}, 1},
        {"alike in exposure, the sharper", {{0, flat(5)}, {0, flat(5.2f)}}, 1},
        {"nothing to tell", {{0, flat(-1)}, {1, flat(-1)}}, 0},
    };
    for (const auto &[name, burst, best] : rows) {
        std::vector<BurstFeatures::Features> features;
        std::ranges::transform(burst, std::back_inserter(features), &Frame::features);
        std::vector<const BurstFeatures::Features *> frames;
        std::ranges::transform(features, std::back_inserter(frames), [](const auto &f) { return &f; });
        EXPECT_EQ(BurstPick::judge(frames).best, best) << name;
    }
}

} // namespace
} // namespace vorlane
