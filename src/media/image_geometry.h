#pragma once

namespace vorlane::ImageGeometry {

struct Size
{
    int width = 0;
    int height = 0;
    friend bool operator==(const Size &, const Size &) = default;
};

// The size of a width x height picture scaled down so that its long edge is at most maxLongEdge: unchanged
// when it already fits (a long edge equal to the cap included), else each side times maxLongEdge / long
// edge, rounded to the nearest integer with halves away from zero, and never below 1 pixel.
// maxLongEdge <= 0 means no cap.
Size fitWithin(int width, int height, double maxLongEdge);

// True for the EXIF orientations (5 to 8) whose upright picture swaps width and height.
bool swapsAxes(int orientation);

} // namespace vorlane::ImageGeometry
