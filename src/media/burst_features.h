#pragma once

#include "media/rgb_pixels.h"

#include <array>
#include <filesystem>
#include <optional>
#include <stop_token>

namespace vorlane::BurstFeatures {

// What a photo looks like, for telling the frames of one burst from another scene: its luma averaged over a
// 32 x 32 grid, less its mean and divided by its spread. Blur, a few pixels of shake, sensor noise and an
// exposure change each move it only a little; another scene moves it a lot.
struct Looks
{
    static constexpr int kGrid = 32;
    std::array<float, kGrid * kGrid> cells{};
    bool flat = true; // no spread at all (a blank frame): alike nothing
};

Looks looksOf(const GreyPixels &pixels);

// How alike two looks are: their correlation, -1 … 1 (0 when either is flat).
double similarity(const Looks &a, const Looks &b);

// How sharp a photo is, from its luma at about half its size: at the strongest edges of the picture, how
// steep each edge is in the fine picture against the same edge in a picture four times coarser. A blurred
// edge is as strong as ever in the coarse picture and flatter in the fine one, so the score falls with blur;
// it is a ratio of two steepnesses of one edge, so a darker frame scores as its brighter twin; the fine
// picture is smoothed a little first and the expected lift of sensor noise taken off, so noise does not pass
// for detail. Higher is sharper; comparable between frames of one scene. 0 for a picture with no edge.
double sharpnessOf(const GreyPixels &pixels);

// A photo's features, read from its pixels. The luma is decoded at 1/8 of its size for the looks (at least
// 256 px on the long edge), and at 1/2 for the sharpness when asked for (at least 1,000 px): a JPEG through
// libjpeg's scaled decode of the luma alone; a camera RAW from its largest embedded preview; any other still
// through the general decoder. Any thread. Throws DecodeError, or CancelledError once the token is stopped.
struct Features
{
    Looks looks;
    std::optional<double> sharpness;
};
Features read(const std::filesystem::path &file, bool withSharpness, const std::stop_token &token);

// The luma of a photo with at least minLongEdge on its long edge where the file allows (as stored, not
// turned: the frames of one burst are stored alike). Throws as read() does.
GreyPixels decodeLuma(const std::filesystem::path &file, int minLongEdge, const std::stop_token &token);

} // namespace vorlane::BurstFeatures
