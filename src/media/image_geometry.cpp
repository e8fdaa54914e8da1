#include "media/image_geometry.h"

#include <algorithm>
#include <cmath>

namespace vorlane::ImageGeometry {

Size fitWithin(int width, int height, double maxLongEdge)
{
    const double w = width;
    const double h = height;
    const double longEdge = std::max(w, h);
    if (maxLongEdge <= 0 || longEdge <= maxLongEdge)
        return {width, height};
    const double scale = maxLongEdge / longEdge;
    return {std::max(1, int(std::lround(scale * w))), std::max(1, int(std::lround(scale * h)))};
}

bool swapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

} // namespace vorlane::ImageGeometry
