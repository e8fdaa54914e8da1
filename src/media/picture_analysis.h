#pragma once

#include <QImage>
#include <QRect>

#include <array>
#include <cstdint>
#include <vector>

namespace vorlane {

// How a picture's tones are spread: 256 counts for red, green, blue and luma (Rec. 709 weights).
struct Histogram
{
    std::array<std::array<uint64_t, 256>, 4> counts{};
    uint64_t pixels = 0;
    enum Channel { Red, Green, Blue, Luma };
    bool isEmpty() const { return pixels == 0; }
};

// What a photographer checks in a shown picture, computed from its pixels. Pure; any thread; each costs one
// pass over the pixels looked at.
namespace PictureAnalysis {

// Every pixel's counts; with step > 1, every step-th pixel of every step-th row (the shape of a large
// picture for a panel, in a fraction of the time).
Histogram histogram(const QImage &image, int step = 1);

// The colours drawn over the picture.
inline constexpr QRgb kClippedColour = 0xffff2d2d; // highlights: a channel at 255
inline constexpr QRgb kBlockedColour = 0xff2d6dff; // shadows: every channel at 0
inline constexpr QRgb kPeakingColour = 0xff39ff14; // edges in focus

// An overlay of area (a part of image, in its pixels) at the same size: clipped highlights and blocked
// shadows in their colours when clipping is set, the edges in focus when peaking is set (clipping wins on a
// pixel with both), transparent elsewhere. An empty area means the whole picture.
QImage overlay(const QImage &image, QRect area, bool clipping, bool peaking);

// The peaking test alone, on a luma plane of width x height: the pixels whose fine local contrast stands
// out, both against the picture's own strongest edges and against a floor that a soft picture does not reach.
std::vector<bool> peakingMask(const std::vector<uint8_t> &luma, int width, int height);

} // namespace PictureAnalysis
} // namespace vorlane
