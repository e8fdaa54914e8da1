#pragma once

#include "media/rgb_pixels.h"

#include <array>
#include <filesystem>
#include <optional>
#include <stop_token>

namespace vorlane::BurstFeatures {

// What a photo looks like, for telling the frames of one burst from another scene: its mean luma over a
// 32 x 32 grid of cells.
struct Looks
{
    static constexpr int kGrid = 32;
    std::array<float, kGrid * kGrid> cells{};
    bool flat = true; // no spread at all (a blank frame): alike nothing
};

Looks looksOf(const GreyPixels &pixels);

// How far a hand may move the framing between two frames of one burst, in cells of the looks: 5 of 32 is
// about 15 % of the frame.
inline constexpr int kMaxShift = 5;

// Two looks laid over each other: b's cell (x + dx, y + dy) shows what a's cell (x, y) shows, and how alike
// they are there. The shift is the best of every shift up to kMaxShift cells each way, with either look
// zoomed in by about 9 % or neither, by the correlation of the cells the two frames share (each side less its
// own mean and divided by its own spread there, so an exposure step moves it little); the smaller shift of
// equals. The likeness is the lesser of that correlation and the same one of their details (each cell less
// the cells around it): two scenes whose large areas happen to match, a sky above and a street below, differ
// in their details, while blur, noise and exposure leave one scene's details alike. -1 … 1, 0 when either
// is flat.
struct Alignment
{
    double similarity = 0;
    int dx = 0;
    int dy = 0;
};
Alignment align(const Looks &a, const Looks &b);

// align(a, b).similarity.
double similarity(const Looks &a, const Looks &b);

// Where a photo is sharp: a map of sharpness over a kTiles x kTiles grid of tiles, and its exposure.
// A tile's sharpness is measured at its strongest edges: how steep each edge is in the fine picture against
// the same edge in a picture four times coarser. A blurred edge is as strong as ever in the coarse picture
// and flatter in the fine one, so the score falls with blur; it is a ratio of two steepnesses of one edge,
// so a darker frame scores about as its brighter twin; the fine picture is smoothed a little first and the
// expected lift of sensor noise taken off, so noise does not pass for detail. Higher is sharper; comparable
// between frames of one scene at the same place in it. Negative where a tile has too few edges to tell.
struct Focus
{
    static constexpr int kTiles = 16;
    std::array<float, kTiles * kTiles> tiles{};
    double exposure = 0; // mean luma, 0 … 1
    double clipped = 0;  // the share of pixels blown to white or blocked to black
};

Focus focusOf(const GreyPixels &pixels);

// A photo's sharpness alone: that of its best-focused region, the mean of its sharpest quarter of tiles
// (at least three). 0 for a picture with no edge.
double sharpnessOf(const Focus &focus);
double sharpnessOf(const GreyPixels &pixels);

// A photo's features, read from its pixels. The luma is decoded at 1/8 of its size for the looks (at least
// 256 px on the long edge), and at 1/2 for the focus map when asked for (at least 1,000 px): a JPEG through
// libjpeg's scaled decode of the luma alone; a camera RAW from its largest embedded preview; any other still
// through the general decoder. Any thread. Throws DecodeError, or CancelledError once the token is stopped.
struct Features
{
    Looks looks;
    std::optional<Focus> focus; // when asked for
};
Features read(const std::filesystem::path &file, bool withSharpness, const std::stop_token &token);

// The luma of a photo with at least minLongEdge on its long edge where the file allows (as stored, not
// turned: the frames of one burst are stored alike). Throws as read() does.
GreyPixels decodeLuma(const std::filesystem::path &file, int minLongEdge, const std::stop_token &token);

} // namespace vorlane::BurstFeatures
